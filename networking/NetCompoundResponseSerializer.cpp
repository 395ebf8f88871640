#include "networking/NetCompoundResponseSerializer.h"

#include "networking/NetArchiving.h"
#include "platform/foundation/KeyedArchiver.h"

namespace morvix {

std::shared_ptr<NetCompoundResponseSerializer> NetCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
    Members serializers)
{
    auto compound = std::shared_ptr<NetCompoundResponseSerializer>(new NetCompoundResponseSerializer);
    compound->m_responseSerializers = std::move(serializers);
    return compound;
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetCompoundResponseSerializer>(NetHTTPResponseSerializer::kArchiveClassName,
    [](platform::KeyedUnarchiver&) { return NetCompoundResponseSerializer::compoundSerializerWithResponseSerializers({}); });

} // namespace

void NetCompoundResponseSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    NetHTTPResponseSerializer::encodeWithCoder(coder);
    std::vector<std::shared_ptr<const platform::KeyedCoding>> members;
    for (const auto& member : m_responseSerializers) {
        if (auto serializer = std::dynamic_pointer_cast<const NetHTTPResponseSerializer>(member))
            members.push_back(serializer);
    }
    coder.encodeObjectList(members, "responseSerializers");
}

void NetCompoundResponseSerializer::decodeWithCoder(platform::KeyedUnarchiver& coder)
{
    NetHTTPResponseSerializer::decodeWithCoder(coder);
    auto members = coder.decodeObjectList<NetHTTPResponseSerializer>("responseSerializers");
    if (!members)
        return;
    m_responseSerializers.assign(members->begin(), members->end());
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
