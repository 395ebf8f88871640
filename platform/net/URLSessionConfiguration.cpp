#include "platform/net/URLSessionConfiguration.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace morvix::platform {

namespace {

constexpr const char* kIdentifierKey = "identifier";
constexpr const char* kTimeoutKey = "timeoutIntervalForRequest";
constexpr const char* kCookiesKey = "HTTPShouldSetCookies";
constexpr const char* kHeadersKey = "HTTPAdditionalHeaders";

[[maybe_unused]] const bool kRegistered = [] {
    KeyedUnarchiver::registerClass(URLSessionConfiguration::kArchiveClassName, "",
        [](KeyedUnarchiver& coder) -> std::shared_ptr<KeyedCoding> { return URLSessionConfiguration::decode(coder); });
    return true;
}();

} // namespace

URLSessionConfiguration URLSessionConfiguration::backgroundSessionConfiguration(std::string identifier)
{
    URLSessionConfiguration configuration;
    configuration.m_identifier = std::move(identifier);
    return configuration;
}

bool URLSessionConfiguration::operator==(const URLSessionConfiguration& other) const
{
    if (m_identifier != other.m_identifier || m_timeoutIntervalForRequest != other.m_timeoutIntervalForRequest
        || m_HTTPShouldSetCookies != other.m_HTTPShouldSetCookies || m_HTTPAdditionalHeaders.size() != other.m_HTTPAdditionalHeaders.size())
        return false;
    for (const auto& [name, value] : m_HTTPAdditionalHeaders.fields()) {
        if (other.m_HTTPAdditionalHeaders.value(name) != value)
            return false;
    }
    return true;
}

void URLSessionConfiguration::encodeWithCoder(KeyedArchiver& coder) const
{
    if (m_identifier)
        coder.encodeString(*m_identifier, kIdentifierKey);
    coder.encodeDouble(m_timeoutIntervalForRequest, kTimeoutKey);
    coder.encodeBool(m_HTTPShouldSetCookies, kCookiesKey);
    // A list of pairs, so that the fields keep their order and spelling.
    Value headers = Value::array();
    for (const auto& [name, value] : m_HTTPAdditionalHeaders.fields())
        headers.push_back(Value::array({ name, value }));
    coder.encodeValue(headers, kHeadersKey);
}

std::shared_ptr<URLSessionConfiguration> URLSessionConfiguration::decode(KeyedUnarchiver& coder)
{
    std::shared_ptr<URLSessionConfiguration> configuration(new URLSessionConfiguration());
    if (coder.contains(kIdentifierKey))
        configuration->m_identifier = coder.decodeString(kIdentifierKey);
    if (coder.contains(kTimeoutKey))
        configuration->m_timeoutIntervalForRequest = coder.decodeDouble(kTimeoutKey).value_or(60);
    if (coder.contains(kCookiesKey))
        configuration->m_HTTPShouldSetCookies = coder.decodeBool(kCookiesKey).value_or(true);
    if (coder.contains(kHeadersKey)) {
        auto headers = coder.decodeValue(kHeadersKey);
        if (!headers || !headers->is_array()) {
            coder.fail(kKeyedArchiveValueError, "\"HTTPAdditionalHeaders\" holds no list of header fields");
            return nullptr;
        }
        for (const auto& field : *headers) {
            if (!field.is_array() || field.size() != 2 || !field[0].is_string() || !field[1].is_string()
                || configuration->m_HTTPAdditionalHeaders.add(field[0].get<std::string>(), field[1].get<std::string>())) {
                coder.fail(kKeyedArchiveValueError, "\"HTTPAdditionalHeaders\" holds a field that is not a valid name and value");
                return nullptr;
            }
        }
    }
    if (coder.error())
        return nullptr;
    return configuration;
}

} // namespace morvix::platform
