#include "networking/NetXMLParserResponseSerializer.h"

#include "networking/NetArchiving.h"

namespace morvix {

std::shared_ptr<NetXMLParserResponseSerializer> NetXMLParserResponseSerializer::serializer()
{
    return std::shared_ptr<NetXMLParserResponseSerializer>(new NetXMLParserResponseSerializer);
}

NetXMLParserResponseSerializer::NetXMLParserResponseSerializer()
{
    setAcceptableContentTypes(std::set<std::string> { "application/xml", "text/xml" });
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetXMLParserResponseSerializer>(NetHTTPResponseSerializer::kArchiveClassName,
    [](platform::KeyedUnarchiver&) { return NetXMLParserResponseSerializer::serializer(); });

} // namespace

std::shared_ptr<NetHTTPResponseSerializer> NetXMLParserResponseSerializer::copy() const
{
    auto other = serializer();
    copyValidationSetsTo(*other);
    return other;
}

std::any NetXMLParserResponseSerializer::responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
    const std::string* data, std::optional<platform::Error>* error) const
{
    if (!shouldDecode(response, data, error))
        return {};
    return std::make_shared<XMLParser>(data ? *data : std::string());
}

} // namespace morvix
