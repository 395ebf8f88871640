#include "networking/NetArchiving.h"

#include "platform/foundation/KeyedArchiver.h"

namespace morvix {

using namespace platform;

namespace {

Value headerList(const HTTPHeaders& headers)
{
    // A list of pairs, so that the fields keep their order and spelling.
    Value list = Value::array();
    for (const auto& [name, value] : headers.fields())
        list.push_back(Value::array({ name, value }));
    return list;
}

void refuse(KeyedUnarchiver& coder, const std::string& reason)
{
    coder.fail(kKeyedArchiveValueError, reason);
}

[[maybe_unused]] const bool kRequestRegistered = [] {
    KeyedUnarchiver::registerClass(NetArchivedURLRequest::kArchiveClassName, "",
        [](KeyedUnarchiver& coder) -> std::shared_ptr<KeyedCoding> { return NetArchivedURLRequest::decode(coder); });
    KeyedUnarchiver::registerClass(NetArchivedHTTPURLResponse::kArchiveClassName, "",
        [](KeyedUnarchiver& coder) -> std::shared_ptr<KeyedCoding> { return NetArchivedHTTPURLResponse::decode(coder); });
    return true;
}();

std::optional<Url> decodeURL(KeyedUnarchiver& coder)
{
    if (!coder.contains("URL"))
        return std::nullopt;
    auto text = coder.decodeString("URL");
    if (!text)
        return std::nullopt;
    auto url = Url::parse(*text);
    if (!url)
        refuse(coder, "\"URL\" holds no URL");
    return url;
}

} // namespace

std::optional<unsigned long> NetDecodeUnsigned(KeyedUnarchiver& coder, const std::string& key)
{
    auto value = coder.decodeInt64(key);
    if (value && *value < 0) {
        refuse(coder, "\"" + key + "\" is negative");
        return std::nullopt;
    }
    return value ? std::optional(static_cast<unsigned long>(*value)) : std::nullopt;
}

std::optional<NetPropertyListFormat> NetDecodePropertyListFormat(KeyedUnarchiver& coder, const std::string& key)
{
    auto value = coder.decodeInt64(key);
    if (!value)
        return std::nullopt;
    auto format = static_cast<NetPropertyListFormat>(*value);
    if (format != NetPropertyListFormat::OpenStep && format != NetPropertyListFormat::XML && format != NetPropertyListFormat::Binary) {
        refuse(coder, "\"" + key + "\" is not a property-list format");
        return std::nullopt;
    }
    return format;
}

bool NetDecodeHeaderFields(KeyedUnarchiver& coder, const std::string& key, HTTPHeaders& headers)
{
    auto list = coder.decodeValue(key);
    if (!list)
        return false;
    if (!list->is_array()) {
        refuse(coder, "\"" + key + "\" does not hold header fields");
        return false;
    }
    for (const auto& field : *list) {
        if (!field.is_array() || field.size() != 2 || !field[0].is_string() || !field[1].is_string()) {
            refuse(coder, "\"" + key + "\" holds a header field that is not a name and a text");
            return false;
        }
        if (auto refused = headers.add(field[0].get<std::string>(), field[1].get<std::string>())) {
            refuse(coder, "\"" + key + "\" holds a header field a request refuses: " + refused->description());
            return false;
        }
    }
    return true;
}

void NetArchivedURLRequest::encodeWithCoder(KeyedArchiver& coder) const
{
    if (m_request.url())
        coder.encodeString(m_request.url()->absoluteString(), "URL");
    coder.encodeString(m_request.method(), "method");
    coder.encodeValue(headerList(m_request.headers()), "headers");
    if (m_request.body())
        coder.encodeData(*m_request.body(), "body");
    coder.encodeDouble(m_request.timeoutInterval(), "timeoutInterval");
    coder.encodeBool(m_request.shouldHandleCookies(), "shouldHandleCookies");
    coder.encodeInt64(m_request.cachePolicy(), "cachePolicy");
    coder.encodeBool(m_request.shouldUsePipelining(), "shouldUsePipelining");
    coder.encodeBool(m_request.allowsCellularAccess(), "allowsCellularAccess");
    coder.encodeInt64(m_request.networkServiceType(), "networkServiceType");
}

std::shared_ptr<NetArchivedURLRequest> NetArchivedURLRequest::decode(KeyedUnarchiver& coder)
{
    URLRequest request(decodeURL(coder));
    auto method = coder.decodeString("method");
    auto timeout = coder.decodeDouble("timeoutInterval");
    auto cookies = coder.decodeBool("shouldHandleCookies");
    auto cachePolicy = coder.decodeInt64("cachePolicy");
    auto pipelining = coder.decodeBool("shouldUsePipelining");
    auto cellular = coder.decodeBool("allowsCellularAccess");
    auto serviceType = coder.decodeInt64("networkServiceType");
    if (!NetDecodeHeaderFields(coder, "headers", request.headers()) || coder.error())
        return nullptr;
    if (coder.contains("body")) {
        auto body = coder.decodeData("body");
        if (!body)
            return nullptr;
        request.setBody(std::move(*body));
    }
    request.setMethod(*method);
    request.setTimeoutInterval(*timeout);
    request.setShouldHandleCookies(*cookies);
    request.setCachePolicy(static_cast<int>(*cachePolicy));
    request.setShouldUsePipelining(*pipelining);
    request.setAllowsCellularAccess(*cellular);
    request.setNetworkServiceType(static_cast<int>(*serviceType));
    return std::make_shared<NetArchivedURLRequest>(std::move(request));
}

void NetArchivedHTTPURLResponse::encodeWithCoder(KeyedArchiver& coder) const
{
    if (m_response->url())
        coder.encodeString(m_response->url()->absoluteString(), "URL");
    coder.encodeInt64(m_response->statusCode(), "statusCode");
    coder.encodeValue(headerList(m_response->allHeaderFields()), "headers");
}

std::shared_ptr<NetArchivedHTTPURLResponse> NetArchivedHTTPURLResponse::decode(KeyedUnarchiver& coder)
{
    auto url = decodeURL(coder);
    auto status = coder.decodeInt64("statusCode");
    HTTPHeaders headers;
    if (!NetDecodeHeaderFields(coder, "headers", headers) || coder.error())
        return nullptr;
    if (*status < 0 || *status > 999) {
        refuse(coder, "\"statusCode\" is not an HTTP status");
        return nullptr;
    }
    return std::make_shared<NetArchivedHTTPURLResponse>(HTTPURLResponse::create(std::move(url), static_cast<int>(*status), std::move(headers)));
}

} // namespace morvix
