#include "networking/NetJSONRequestSerializer.h"

#include "networking/NetArchiving.h"
#include "networking/NetRequestBodyWriting.h"
#include "platform/foundation/KeyedArchiver.h"

namespace morvix {

std::shared_ptr<NetJSONRequestSerializer> NetJSONRequestSerializer::serializerWithWritingOptions(unsigned long options)
{
    std::shared_ptr<NetJSONRequestSerializer> serializer(new NetJSONRequestSerializer());
    serializer->m_writingOptions = options;
    return serializer;
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetJSONRequestSerializer>(NetHTTPRequestSerializer::kArchiveClassName,
    [](platform::KeyedUnarchiver&) { return NetJSONRequestSerializer::serializer(); });

} // namespace

void NetJSONRequestSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    NetHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInt64(static_cast<std::int64_t>(m_writingOptions), "writingOptions");
}

void NetJSONRequestSerializer::decodeWithCoder(platform::KeyedUnarchiver& coder)
{
    NetHTTPRequestSerializer::decodeWithCoder(coder);
    if (auto options = NetDecodeUnsigned(coder, "writingOptions"))
        m_writingOptions = *options;
}

std::shared_ptr<NetHTTPRequestSerializer> NetJSONRequestSerializer::makeEmpty() const
{
    return serializer();
}

std::shared_ptr<NetHTTPRequestSerializer> NetJSONRequestSerializer::copy() const
{
    auto copy = NetHTTPRequestSerializer::copy();
    static_cast<NetJSONRequestSerializer&>(*copy).m_writingOptions = m_writingOptions;
    return copy;
}

std::optional<platform::URLRequest> NetJSONRequestSerializer::requestBySerializingRequest(const platform::URLRequest& request,
    const std::optional<platform::Value>& parameters, std::optional<platform::Error>* error) const
{
    return requestWithWrittenBody(request, parameters, error, "application/json",
        [this](const platform::Value& parameters, std::optional<platform::Error>* error) -> std::optional<std::string> {
            if (auto reason = NetUnwritableParametersReason(parameters, NetBodyFormat::JSON)) {
                if (error)
                    *error = NetBodyWritingError(*reason);
                return std::nullopt;
            }
            return parameters.dump((m_writingOptions & kPrettyPrinted) ? 2 : -1);
        });
}

} // namespace morvix
