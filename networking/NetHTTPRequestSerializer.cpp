#include "networking/NetHTTPRequestSerializer.h"

#include "networking/NetArchiving.h"
#include "networking/NetMultipartBodyStream.h"
#include "networking/NetQueryStringPair.h"
#include "networking/NetRequestBodyWriting.h"
#include "networking/NetStreamingMultipartFormData.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/net/DispatchQueue.h"
#include "platform/net/FileOutputStream.h"
#include "platform/net/Url.h"

#include <openssl/evp.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace morvix {

namespace {

bool isASCII(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::optional<std::string> transliteratedToASCII(const std::string& text)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> transliterator(icu::Transliterator::createInstance(
        icu::UnicodeString::fromUTF8("Any-Latin; Latin-ASCII; [:^ASCII:] Remove"), UTRANS_FORWARD, status));
    if (U_FAILURE(status) || !transliterator)
        return std::nullopt;
    auto converted = icu::UnicodeString::fromUTF8(text);
    transliterator->transliterate(converted);
    std::string result;
    converted.toUTF8String(result);
    return result;
}

std::string base64(std::string_view bytes)
{
    std::string encoded(4 * ((bytes.size() + 2) / 3), '\0');
    auto length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    encoded.resize(static_cast<std::size_t>(length));
    return encoded;
}

std::string upperCased(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// `text` (UTF-8) in `encoding`; nothing when a character has no place in it, or the encoding
// is not known. UTF-8 is taken as it is. UTF-16 and UTF-32 without an order start with a
// byte-order mark and go little-endian, as the platform writes them.
std::optional<std::string> encodedText(std::string_view text, platform::StringEncoding encoding)
{
    if (encoding == platform::kUTF8StringEncoding)
        return std::string(text);
    std::string mark;
    if (encoding == platform::kUTF16StringEncoding) {
        mark = "\xFF\xFE";
        encoding = platform::kUTF16LittleEndianStringEncoding;
    } else if (encoding == platform::kUTF32StringEncoding) {
        mark = std::string("\xFF\xFE\0\0", 4);
        encoding = platform::kUTF32LittleEndianStringEncoding;
    }
    auto encoded = platform::encodeString(text, encoding);
    if (!encoded)
        return std::nullopt;
    return mark + *encoded;
}

// The query string is ASCII once escaped, which every known encoding can hold.
std::string encodedBody(const std::string& ascii, platform::StringEncoding encoding)
{
    return encodedText(ascii, encoding).value_or(ascii);
}

} // namespace

std::string NetAcceptLanguageHeaderValue(const std::vector<std::string>& languages)
{
    std::string value;
    for (std::size_t index = 0; index < languages.size(); ++index) {
        // Computed in single precision, as the platform does: the sixth entry is just below
        // 0.5, which ends the list and still prints as 0.5.
        float q = 1.0f - 0.1f * static_cast<float>(index);
        if (index > 0)
            value += ", ";
        value += platform::format("%@;q=%0.1g", languages[index], q);
        if (q <= 0.5f)
            break;
    }
    return value;
}

std::string NetDefaultUserAgentHeaderValue()
{
    auto bundle = platform::BundleInfo::main();
    auto device = platform::DeviceInfo::current();
    auto name = bundle.stringForInfoDictionaryKey(platform::BundleInfo::kExecutableKey);
    if (!name)
        name = bundle.stringForInfoDictionaryKey(platform::BundleInfo::kIdentifierKey);
    auto version = bundle.stringForInfoDictionaryKey(platform::BundleInfo::kShortVersionKey);
    if (!version)
        version = bundle.stringForInfoDictionaryKey(platform::BundleInfo::kVersionKey);
    auto text = [](const std::optional<std::string>& value) { return value ? platform::FormatArg(*value) : platform::FormatArg(nullptr); };
    auto userAgent = platform::format("%@/%@ (%@; iOS %@; Scale/%0.2f)", text(name), text(version), device.model,
        device.systemVersion, device.screenScale);
    if (isASCII(userAgent))
        return userAgent;
    return transliteratedToASCII(userAgent).value_or(userAgent);
}

std::shared_ptr<NetHTTPRequestSerializer> NetHTTPRequestSerializer::serializer()
{
    return std::shared_ptr<NetHTTPRequestSerializer>(new NetHTTPRequestSerializer());
}

NetHTTPRequestSerializer::NetHTTPRequestSerializer()
{
    m_headers["Accept-Language"] = NetAcceptLanguageHeaderValue(platform::DeviceInfo::current().preferredLanguages);
    m_headers["User-Agent"] = NetDefaultUserAgentHeaderValue();
}

std::shared_ptr<NetHTTPRequestSerializer> NetHTTPRequestSerializer::makeEmpty() const
{
    return serializer();
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetHTTPRequestSerializer>("",
    [](platform::KeyedUnarchiver&) { return NetHTTPRequestSerializer::serializer(); });

} // namespace

void NetHTTPRequestSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    coder.encodeValue(platform::Value(m_headers), "mutableHTTPRequestHeaders");
    coder.encodeInt64(static_cast<std::int64_t>(m_queryStringStyle), "queryStringSerializationStyle");
}

void NetHTTPRequestSerializer::decodeWithCoder(platform::KeyedUnarchiver& coder)
{
    auto headers = coder.decodeValue("mutableHTTPRequestHeaders");
    auto style = coder.decodeInt64("queryStringSerializationStyle");
    if (!headers || !style)
        return;
    if (!headers->is_object() || *style < 0) {
        coder.fail(platform::kKeyedArchiveValueError, "the default headers or the query-string style are not of their kind");
        return;
    }
    std::map<std::string, std::string> fields;
    for (const auto& [name, value] : headers->items()) {
        if (!value.is_string()) {
            coder.fail(platform::kKeyedArchiveValueError, "\"mutableHTTPRequestHeaders\" holds a value that is not a text");
            return;
        }
        fields[name] = value.get<std::string>();
    }
    m_headers = std::move(fields);
    m_queryStringStyle = static_cast<unsigned long>(*style);
    m_queryStringSerialization = nullptr;
}

std::shared_ptr<NetHTTPRequestSerializer> NetHTTPRequestSerializer::copy() const
{
    auto copy = makeEmpty();
    copy->m_headers = m_headers;
    copy->m_queryStringStyle = m_queryStringStyle;
    copy->m_queryStringSerialization = m_queryStringSerialization;
    return copy;
}

void NetHTTPRequestSerializer::setAllowsCellularAccess(bool allows)
{
    m_allowsCellularAccess = allows;
    m_setSettings.insert(Setting::AllowsCellularAccess);
}

void NetHTTPRequestSerializer::setCachePolicy(int policy)
{
    m_cachePolicy = policy;
    m_setSettings.insert(Setting::CachePolicy);
}

void NetHTTPRequestSerializer::setHTTPShouldHandleCookies(bool handle)
{
    m_shouldHandleCookies = handle;
    m_setSettings.insert(Setting::ShouldHandleCookies);
}

void NetHTTPRequestSerializer::setHTTPShouldUsePipelining(bool use)
{
    m_shouldUsePipelining = use;
    m_setSettings.insert(Setting::ShouldUsePipelining);
}

void NetHTTPRequestSerializer::setNetworkServiceType(int type)
{
    m_networkServiceType = type;
    m_setSettings.insert(Setting::NetworkServiceType);
}

void NetHTTPRequestSerializer::setTimeoutInterval(double seconds)
{
    m_timeoutInterval = seconds;
    m_setSettings.insert(Setting::TimeoutInterval);
}

void NetHTTPRequestSerializer::setValueForHTTPHeaderField(std::optional<std::string> value, const std::string& field)
{
    if (!value) {
        m_headers.erase(field);
        return;
    }
    m_headers[field] = std::move(*value);
}

std::optional<std::string> NetHTTPRequestSerializer::valueForHTTPHeaderField(const std::string& field) const
{
    auto found = m_headers.find(field);
    if (found == m_headers.end())
        return std::nullopt;
    return found->second;
}

void NetHTTPRequestSerializer::setAuthorizationHeaderFieldWithUsername(const std::string& username, const std::string& password)
{
    setValueForHTTPHeaderField("Basic " + base64(username + ":" + password), "Authorization");
}

void NetHTTPRequestSerializer::setAuthorizationHeaderFieldWithToken(const std::string& token)
{
    setValueForHTTPHeaderField("Token token=\"" + token + "\"", "Authorization");
}

void NetHTTPRequestSerializer::clearAuthorizationHeader()
{
    m_headers.erase("Authorization");
}

void NetHTTPRequestSerializer::setQueryStringSerializationWithStyle(unsigned long style)
{
    m_queryStringStyle = style;
    m_queryStringSerialization = nullptr;
}

void NetHTTPRequestSerializer::applySettings(platform::URLRequest& request) const
{
    // In the order the settings are listed, each only once it has been set.
    for (auto setting : m_setSettings) {
        switch (setting) {
        case Setting::AllowsCellularAccess:
            request.setAllowsCellularAccess(m_allowsCellularAccess);
            break;
        case Setting::CachePolicy:
            request.setCachePolicy(m_cachePolicy);
            break;
        case Setting::ShouldHandleCookies:
            request.setShouldHandleCookies(m_shouldHandleCookies);
            break;
        case Setting::ShouldUsePipelining:
            request.setShouldUsePipelining(m_shouldUsePipelining);
            break;
        case Setting::NetworkServiceType:
            request.setNetworkServiceType(m_networkServiceType);
            break;
        case Setting::TimeoutInterval:
            request.setTimeoutInterval(m_timeoutInterval);
            break;
        }
    }
}

std::optional<platform::URLRequest> NetHTTPRequestSerializer::requestWithMethod(const std::string& method,
    const std::string& URLString, const std::optional<platform::Value>& parameters, std::optional<platform::Error>* error) const
{
    platform::URLRequest request(platform::Url::parse(URLString));
    request.setMethod(method);
    applySettings(request);
    return requestBySerializingRequest(request, parameters, error);
}

bool NetHTTPRequestSerializer::encodesParametersInURI(const platform::URLRequest& request) const
{
    return m_methodsEncodingParametersInURI.count(upperCased(request.method())) != 0;
}

std::optional<platform::URLRequest> NetHTTPRequestSerializer::requestWithWrittenBody(const platform::URLRequest& request,
    const std::optional<platform::Value>& parameters, std::optional<platform::Error>* error, const std::string& contentType,
    const BodyWriter& write) const
{
    if (encodesParametersInURI(request))
        return NetHTTPRequestSerializer::requestBySerializingRequest(request, parameters, error);
    // Without parameters this class adds only the default headers the request lacks.
    auto serialized = NetHTTPRequestSerializer::requestBySerializingRequest(request, std::nullopt, error);
    if (!serialized || !parameters)
        return serialized;
    auto body = write(*parameters, error);
    if (!body)
        return std::nullopt;
    if (!serialized->valueForHeader("Content-Type"))
        serialized->setValueForHeader(contentType, "Content-Type");
    serialized->setBody(std::move(*body));
    return serialized;
}

std::optional<std::string> NetHTTPRequestSerializer::queryString(const platform::URLRequest& request,
    const platform::Value& parameters, std::optional<platform::Error>* error) const
{
    if (m_queryStringSerialization) {
        std::optional<platform::Error> failure;
        auto query = m_queryStringSerialization(request, parameters, &failure);
        if (failure) {
            if (error)
                *error = std::move(failure);
            return std::nullopt;
        }
        return query;
    }
    if (m_queryStringStyle == 0)
        return NetQueryStringFromParameters(parameters);
    return std::nullopt;
}

std::optional<platform::URLRequest> NetHTTPRequestSerializer::requestBySerializingRequest(const platform::URLRequest& request,
    const std::optional<platform::Value>& parameters, std::optional<platform::Error>* error) const
{
    platform::URLRequest serialized = request;
    for (const auto& [field, value] : m_headers) {
        if (request.valueForHeader(field))
            continue;
        // A default field the request cannot carry (a token with a line break, say) answers no
        // request: without it the request would go out other than configured, unauthenticated.
        if (auto refused = serialized.setValueForHeader(value, field)) {
            if (error)
                *error = std::move(*refused);
            return std::nullopt;
        }
    }
    if (!parameters)
        return serialized;

    std::optional<platform::Error> failure;
    auto query = queryString(request, *parameters, &failure);
    if (failure) {
        if (error)
            *error = std::move(failure);
        return std::nullopt;
    }
    // A style without a query form leaves the request as it is.
    if (!query)
        return serialized;
    if (encodesParametersInURI(request)) {
        if (serialized.url()) {
            const auto& url = *serialized.url();
            serialized.setURL(platform::Url::parse(url.absoluteString() + (url.query() ? "&" : "?") + *query));
        }
        return serialized;
    }
    if (!serialized.valueForHeader("Content-Type"))
        serialized.setValueForHeader("application/x-www-form-urlencoded", "Content-Type");
    serialized.setBody(encodedBody(*query, m_stringEncoding));
    return serialized;
}

std::optional<platform::URLRequest> NetHTTPRequestSerializer::multipartFormRequestWithMethod(const std::string& method,
    const std::string& URLString, const std::optional<platform::Value>& parameters,
    const std::function<void(NetMultipartFormData&)>& constructingBody, std::optional<platform::Error>* error) const
{
    auto request = requestWithMethod(method, URLString, std::nullopt, error);
    if (!request)
        return std::nullopt;
    NetStreamingMultipartFormData form(std::move(*request), m_stringEncoding);
    if (parameters) {
        for (const auto& pair : NetQueryStringPairsFromDictionary(*parameters)) {
            const auto& value = pair.value();
            std::string data;
            if (value && value->is_binary()) {
                data.assign(value->get_binary().begin(), value->get_binary().end());
            } else if (value && !value->is_null()) {
                auto encoded = encodedText(NetQueryStringDescription(*value), m_stringEncoding);
                if (!encoded) {
                    if (error)
                        *error = NetBodyWritingError(platform::format("the value of the form field \"%@\" has a character that string encoding %@ cannot hold",
                            pair.field(), m_stringEncoding));
                    return std::nullopt;
                }
                data = std::move(*encoded);
            }
            form.appendPartWithFormData(std::move(data), pair.field());
        }
    }
    if (constructingBody)
        constructingBody(form);
    return form.requestByFinalizingMultipartFormData();
}

namespace {

std::optional<platform::Error> copyStream(platform::InputStream& input, platform::OutputStream& output)
{
    auto* throttled = dynamic_cast<NetMultipartBodyStream*>(&input);
    char buffer[1024];
    while (input.hasBytesAvailable() && output.hasSpaceAvailable()) {
        long got = input.read(buffer, sizeof buffer);
        if (got < 0 || input.streamError())
            return input.streamError().value_or(platform::Error(NetURLRequestSerializationErrorDomain, -1000, "The request body could not be read."));
        for (long written = 0; written < got;) {
            long count = output.write(buffer + written, static_cast<std::size_t>(got - written));
            if (count <= 0)
                return output.streamError().value_or(platform::Error(NetURLRequestSerializationErrorDomain, -1000, "The request body could not be written."));
            written += count;
        }
        if (got == 0)
            break;
        // Not the network thread: this reader may sleep as the throttled stream asks.
        if (throttled && throttled->delayBeforeNextRead() > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(throttled->delayBeforeNextRead()));
    }
    return input.streamError() ? input.streamError() : output.streamError();
}

} // namespace

platform::URLRequest NetHTTPRequestSerializer::requestWithMultipartFormRequest(const platform::URLRequest& request,
    const platform::Url& fileURL, std::function<void(const std::optional<platform::Error>& error)> completionHandler)
{
    auto input = request.bodyStream();
    auto path = fileURL.isFileURL() ? fileURL.decodedPath() : std::nullopt;
    platform::globalDispatchQueue()([input, path, completionHandler = std::move(completionHandler)] {
        std::optional<platform::Error> failure;
        if (!path) {
            failure = platform::Error(NetURLRequestSerializationErrorDomain, -1000, "The body could not be written.", "Expected URL to be a file URL");
        } else if (!input) {
            failure = platform::Error(NetURLRequestSerializationErrorDomain, -1000, "The body could not be written.", "The request has no body stream.");
        } else {
            auto output = platform::FileOutputStream::create(*path, platform::FileMode::Truncate);
            output->open();
            input->open();
            failure = output->streamError() ? output->streamError() : copyStream(*input, *output);
            output->close();
            input->close();
            if (!failure && output->streamError())
                failure = output->streamError();
        }
        if (completionHandler)
            platform::mainDispatchQueue()([completionHandler, failure] { completionHandler(failure); });
    });
    platform::URLRequest stripped = request;
    stripped.setBodyStream(nullptr);
    return stripped;
}

} // namespace morvix
