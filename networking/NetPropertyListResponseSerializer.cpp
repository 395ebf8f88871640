#include "networking/NetPropertyListResponseSerializer.h"

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
