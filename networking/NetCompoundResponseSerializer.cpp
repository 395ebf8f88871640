#include "networking/NetCompoundResponseSerializer.h"

namespace morvix {

std::shared_ptr<NetCompoundResponseSerializer> NetCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
    Members serializers)
{
    auto compound = std::shared_ptr<NetCompoundResponseSerializer>(new NetCompoundResponseSerializer);
    compound->m_responseSerializers = std::move(serializers);
    return compound;
}

std::shared_ptr<NetHTTPResponseSerializer> NetCompoundResponseSerializer::copy() const
{
    return compoundSerializerWithResponseSerializers(m_responseSerializers);
}

std::any NetCompoundResponseSerializer::responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
    const std::string* data, std::optional<platform::Error>* error) const
{
    for (const auto& member : m_responseSerializers) {
        if (!dynamic_cast<const NetHTTPResponseSerializer*>(member.get()))
            continue;
        std::optional<platform::Error> memberError;
        std::any object = member->responseObjectForResponse(response, data, &memberError);
        if (!object.has_value())
            continue;
        if (error)
            *error = NetErrorWithUnderlyingError(std::move(memberError), *error);
        return object;
    }
    return NetHTTPResponseSerializer::responseObjectForResponse(response, data, error);
}

} // namespace morvix
