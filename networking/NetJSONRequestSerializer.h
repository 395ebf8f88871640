#pragma once
// Writes request parameters as a JSON body.

#include "networking/NetHTTPRequestSerializer.h"

namespace morvix {

/// A request serializer that writes the parameters of a request as a JSON body ("Content-Type:
/// application/json" unless the request has a content type). Methods whose parameters go into
/// the URL (GET, HEAD and DELETE by default) are serialised as the base class does. Parameters
/// JSON cannot hold (a non-finite number, text that is not UTF-8, bytes, a top level that is
/// neither a dictionary nor a list) give no request and an error naming the value.
///
/// Configure, then use from one thread at a time.
class NetJSONRequestSerializer : public NetHTTPRequestSerializer {
public:
    /// Writing option 1: indented output; 0 (the default) writes compact text.
    static constexpr unsigned long kPrettyPrinted = 1;

    static std::shared_ptr<NetJSONRequestSerializer> serializer() { return serializerWithWritingOptions(0); }
    static std::shared_ptr<NetJSONRequestSerializer> serializerWithWritingOptions(unsigned long options);

    unsigned long writingOptions() const { return m_writingOptions; }
    void setWritingOptions(unsigned long options) { m_writingOptions = options; }

    /// The base class's copy, plus the writing options.
    std::shared_ptr<NetHTTPRequestSerializer> copy() const override;

    /// Archiving: the base class's keys and "writingOptions".
    static constexpr const char* kArchiveClassName = "NetJSONRequestSerializer";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeWithCoder(platform::KeyedUnarchiver& coder) override;

    std::optional<platform::URLRequest> requestBySerializingRequest(const platform::URLRequest& request,
        const std::optional<platform::Value>& parameters, std::optional<platform::Error>* error) const override;

protected:
    NetJSONRequestSerializer() = default;
    std::shared_ptr<NetHTTPRequestSerializer> makeEmpty() const override;

private:
    unsigned long m_writingOptions = 0;
};

} // namespace morvix
