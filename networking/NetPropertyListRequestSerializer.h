#pragma once
// Writes request parameters as a property-list body.

#include "networking/NetHTTPRequestSerializer.h"
#include "networking/NetPropertyListReading.h"

namespace morvix {

/// A request serializer that writes the parameters of a request as an XML (the default) or
/// binary property list ("Content-Type: application/x-plist" unless the request has a content
/// type). Methods whose parameters go into the URL are serialised as the base class does. The
/// old text format cannot be written and is refused with an error, as are values a property
/// list cannot hold as they are (null, a non-finite number, text that is not UTF-8 or holds a
/// NUL or, in XML, a character XML cannot carry, an integer above the signed 64-bit range, a
/// top level that is neither a dictionary nor a list): no request is answered then.
///
/// Configure, then use from one thread at a time.
class NetPropertyListRequestSerializer : public NetHTTPRequestSerializer {
public:
    static std::shared_ptr<NetPropertyListRequestSerializer> serializer() { return serializerWithFormat(NetPropertyListFormat::XML, 0); }
    static std::shared_ptr<NetPropertyListRequestSerializer> serializerWithFormat(NetPropertyListFormat format, unsigned long writeOptions);

    NetPropertyListFormat format() const { return m_format; }
    void setFormat(NetPropertyListFormat format) { m_format = format; }
    /// Kept for callers; the writer has no options.
    unsigned long writeOptions() const { return m_writeOptions; }
    void setWriteOptions(unsigned long options) { m_writeOptions = options; }

    /// The base class's copy, plus the format and the write options.
    std::shared_ptr<NetHTTPRequestSerializer> copy() const override;

    /// Archiving: the base class's keys, "format" and "writeOptions".
    static constexpr const char* kArchiveClassName = "NetPropertyListRequestSerializer";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeWithCoder(platform::KeyedUnarchiver& coder) override;

    std::optional<platform::URLRequest> requestBySerializingRequest(const platform::URLRequest& request,
        const std::optional<platform::Value>& parameters, std::optional<platform::Error>* error) const override;

protected:
    NetPropertyListRequestSerializer() = default;
    std::shared_ptr<NetHTTPRequestSerializer> makeEmpty() const override;

private:
    NetPropertyListFormat m_format = NetPropertyListFormat::XML;
    unsigned long m_writeOptions = 0;
};

/// Nothing when `value` can be written as a property list in `format` and read back as it
/// was; otherwise the reason, naming the first value that cannot. Besides what
/// `NetUnwritableParametersReason` refuses: a NUL in a text or a key (the writer would cut the
/// text there, and two keys could become one), an integer above the signed 64-bit range (it
/// would read back negative) and, in XML, a character XML 1.0 cannot carry (a C0 control other
/// than tab, line feed and carriage return; U+FFFE; U+FFFF), which would leave a file other
/// readers refuse. Any thread.
std::optional<std::string> NetPropertyListUnwritableReason(const platform::Value& value, NetPropertyListFormat format);

/// `value` written as a property list in `format` (XML or binary). Dates cannot be told apart
/// from numbers in a Value, so every number is written as a number. Nothing, with the reason in
/// `error`, for the values `NetPropertyListUnwritableReason` refuses and for the text format:
/// nothing is ever written changed.
std::optional<std::string> NetPropertyListData(const platform::Value& value, NetPropertyListFormat format,
    std::optional<platform::Error>* error);

} // namespace morvix
