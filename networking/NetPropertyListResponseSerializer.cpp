#include "networking/NetPropertyListResponseSerializer.h"

#include "networking/NetArchiving.h"
#include "platform/foundation/KeyedArchiver.h"

namespace morvix {

std::shared_ptr<NetPropertyListResponseSerializer> NetPropertyListResponseSerializer::serializerWithFormat(
    NetPropertyListFormat format, unsigned long readOptions)
{
    auto serializer = std::shared_ptr<NetPropertyListResponseSerializer>(new NetPropertyListResponseSerializer);
    serializer->m_format = format;
    serializer->m_readOptions = readOptions;
    return serializer;
}

NetPropertyListResponseSerializer::NetPropertyListResponseSerializer()
{
    setAcceptableContentTypes(std::set<std::string> { "application/x-plist" });
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetPropertyListResponseSerializer>(NetHTTPResponseSerializer::kArchiveClassName,
    [](platform::KeyedUnarchiver&) { return NetPropertyListResponseSerializer::serializer(); });

} // namespace

void NetPropertyListResponseSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    NetHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeInt64(static_cast<std::int64_t>(m_format), "format");
    coder.encodeInt64(static_cast<std::int64_t>(m_readOptions), "readOptions");
}

void NetPropertyListResponseSerializer::decodeWithCoder(platform::KeyedUnarchiver& coder)
{
    NetHTTPResponseSerializer::decodeWithCoder(coder);
    auto format = NetDecodePropertyListFormat(coder, "format");
    auto options = NetDecodeUnsigned(coder, "readOptions");
    if (!format || !options)
        return;
    m_format = *format;
    m_readOptions = *options;
}

std::shared_ptr<NetHTTPResponseSerializer> NetPropertyListResponseSerializer::copy() const
{
    return serializerWithFormat(m_format, m_readOptions);
}

std::any NetPropertyListResponseSerializer::responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
    const std::string* data, std::optional<platform::Error>* error) const
{
    if (!shouldDecode(response, data, error))
        return {};
    std::optional<platform::Error> readError;
    std::optional<platform::Value> result;
    if (data)
        result = NetPropertyListWithData(*data, m_readOptions, nullptr, &readError);
    if (error)
        *error = NetDecodingErrorAfterValidation(std::move(readError), std::move(*error));
    if (!result)
        return {};
    return std::move(*result);
}

} // namespace morvix
