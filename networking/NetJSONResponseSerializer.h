#pragma once
// Decodes JSON bodies.

#include "networking/NetHTTPResponseSerializer.h"
#include "networking/NetJSONReading.h"

namespace morvix {

/// Validates like its base (content types "application/json", "text/json" and
/// "text/javascript") and decodes the body as JSON into an ordered `platform::Value`, in the
/// response's character set (or `stringEncoding`). The response object is a `platform::Value`,
/// or empty: for a body that is empty or exactly one space, after a content-type rejection,
/// or on a decoding error, which is then reported with the validation error chained under it.
/// Any thread; immutable while in use.
class NetJSONResponseSerializer : public NetHTTPResponseSerializer {
public:
    static std::shared_ptr<NetJSONResponseSerializer> serializer() { return serializerWithReadingOptions(0); }
    /// `readingOptions` are bits of `NetJSONReadingOptions`.
    static std::shared_ptr<NetJSONResponseSerializer> serializerWithReadingOptions(unsigned long readingOptions);

    /// Carries `readingOptions` and `removesKeysWithNullValues`; the validation sets are the
    /// defaults.
    std::shared_ptr<NetHTTPResponseSerializer> copy() const override;

    /// Archiving: the base class's keys, "readingOptions" and "removesKeysWithNullValues".
    static constexpr const char* kArchiveClassName = "NetJSONResponseSerializer";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeWithCoder(platform::KeyedUnarchiver& coder) override;

    unsigned long readingOptions() const { return m_readingOptions; }
    void setReadingOptions(unsigned long options) { m_readingOptions = options; }
    /// When set, map entries whose value is null are removed from the result, at every depth.
    bool removesKeysWithNullValues() const { return m_removesKeysWithNullValues; }
    void setRemovesKeysWithNullValues(bool removes) { m_removesKeysWithNullValues = removes; }

    std::any responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
        const std::string* data, std::optional<platform::Error>* error) const override;

protected:
    NetJSONResponseSerializer();

private:
    unsigned long m_readingOptions = 0;
    bool m_removesKeysWithNullValues = false;
};

} // namespace morvix
