#include "networking/NetJSONResponseSerializer.h"

#include "networking/NetArchiving.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/net/URLResponse.h"

namespace morvix {

std::shared_ptr<NetJSONResponseSerializer> NetJSONResponseSerializer::serializerWithReadingOptions(unsigned long readingOptions)
{
    auto serializer = std::shared_ptr<NetJSONResponseSerializer>(new NetJSONResponseSerializer);
    serializer->m_readingOptions = readingOptions;
    return serializer;
}

NetJSONResponseSerializer::NetJSONResponseSerializer()
{
    setAcceptableContentTypes(std::set<std::string> { "application/json", "text/json", "text/javascript" });
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetJSONResponseSerializer>(NetHTTPResponseSerializer::kArchiveClassName,
    [](platform::KeyedUnarchiver&) { return NetJSONResponseSerializer::serializer(); });

} // namespace

void NetJSONResponseSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    NetHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeInt64(static_cast<std::int64_t>(m_readingOptions), "readingOptions");
    coder.encodeBool(m_removesKeysWithNullValues, "removesKeysWithNullValues");
}

void NetJSONResponseSerializer::decodeWithCoder(platform::KeyedUnarchiver& coder)
{
    NetHTTPResponseSerializer::decodeWithCoder(coder);
    auto options = NetDecodeUnsigned(coder, "readingOptions");
    auto removes = coder.decodeBool("removesKeysWithNullValues");
    if (!options || !removes)
        return;
    m_readingOptions = *options;
    m_removesKeysWithNullValues = *removes;
}

std::shared_ptr<NetHTTPResponseSerializer> NetJSONResponseSerializer::copy() const
{
    auto other = serializerWithReadingOptions(m_readingOptions);
    other->m_removesKeysWithNullValues = m_removesKeysWithNullValues;
    return other;
}

std::any NetJSONResponseSerializer::responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
    const std::string* data, std::optional<platform::Error>* error) const
{
    if (!shouldDecode(response, data, error))
        return {};
    std::string charset = stringEncoding();
    if (response && response->textEncodingName() && NetIsKnownCharset(*response->textEncodingName()))
        charset = *response->textEncodingName();

    std::string_view bytes = data ? std::string_view(*data) : std::string_view();
    std::optional<std::string> text = NetDecodeText(bytes, charset);
    std::optional<platform::Error> decodingError;
    std::optional<platform::Value> result;
    if (!text) {
        // Bytes that are not valid in the character set are a decoding failure, not "no
        // object": a caller must not take a corrupt body for an empty one.
        platform::Error failure(NetURLResponseSerializationErrorDomain, NetURLErrorCannotDecodeContentData,
            NetLocalizedString("Data failed decoding as a UTF-8 string"),
            platform::format(NetLocalizedString("Could not decode string: %@"), NetDecodeTextLossily(bytes, charset)));
        decodingError = std::move(failure);
    } else if (*text == " ") {
        // A lone space is how some servers say "no content"; it decodes to nothing.
    } else if (text->empty()) {
        return {};
    } else {
        result = NetJSONObjectWithData(*text, m_readingOptions, &decodingError);
    }
    if (result && m_removesKeysWithNullValues)
        result = NetJSONObjectByRemovingKeysWithNullValues(*result, m_readingOptions);
    if (error)
        *error = NetDecodingErrorAfterValidation(std::move(decodingError), std::move(*error));
    if (!result)
        return {};
    return std::move(*result);
}

} // namespace morvix
