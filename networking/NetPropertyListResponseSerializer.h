#pragma once
// Decodes property-list bodies.

#include "networking/NetHTTPResponseSerializer.h"
#include "networking/NetPropertyListReading.h"

namespace morvix {

/// Validates like its base (content type "application/x-plist") and reads an XML or binary
/// property list into a `platform::Value` (see `NetPropertyListWithData`). A read error is
/// reported with the validation error chained under it. Any thread; immutable while in use.
class NetPropertyListResponseSerializer : public NetHTTPResponseSerializer {
public:
    static std::shared_ptr<NetPropertyListResponseSerializer> serializer()
    {
        return serializerWithFormat(NetPropertyListFormat::XML, 0);
    }
    static std::shared_ptr<NetPropertyListResponseSerializer> serializerWithFormat(NetPropertyListFormat format,
        unsigned long readOptions);

    /// Carries `format` and `readOptions`; the validation sets are the defaults.
    std::shared_ptr<NetHTTPResponseSerializer> copy() const override;

    /// Archiving: the base class's keys, "format" and "readOptions".
    static constexpr const char* kArchiveClassName = "NetPropertyListResponseSerializer";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeWithCoder(platform::KeyedUnarchiver& coder) override;

    /// Kept for callers; reading accepts every supported format.
    NetPropertyListFormat format() const { return m_format; }
    void setFormat(NetPropertyListFormat format) { m_format = format; }
    unsigned long readOptions() const { return m_readOptions; }
    void setReadOptions(unsigned long options) { m_readOptions = options; }

    std::any responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
        const std::string* data, std::optional<platform::Error>* error) const override;

protected:
    NetPropertyListResponseSerializer();

private:
    NetPropertyListFormat m_format = NetPropertyListFormat::XML;
    unsigned long m_readOptions = 0;
};

} // namespace morvix
