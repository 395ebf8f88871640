#include "networking/NetQueryStringPair.h"

#include <algorithm>
#include <charconv>

namespace morvix {

namespace {

bool isUnescaped(unsigned char byte)
{
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9'))
        return true;
    return byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/' || byte == '?';
}

void appendPairs(const std::optional<std::string>& key, const platform::Value& value, std::vector<NetQueryStringPair>& pairs)
{
    if (value.is_object()) {
        std::vector<std::string> keys;
        for (const auto& [inner, unused] : value.items())
            keys.push_back(inner);
        std::sort(keys.begin(), keys.end());
        for (const auto& inner : keys)
            appendPairs(key ? *key + "[" + inner + "]" : inner, value.at(inner), pairs);
        return;
    }
    if (value.is_array()) {
        auto nested = key.value_or("(null)") + "[]";
        for (const auto& element : value)
            appendPairs(nested, element, pairs);
        return;
    }
    pairs.emplace_back(key.value_or("(null)"), value);
}

} // namespace

std::string NetPercentEscapedStringFromString(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (unsigned char byte : text) {
        if (isUnescaped(byte)) {
            escaped.push_back(static_cast<char>(byte));
            continue;
        }
        escaped.push_back('%');
        escaped.push_back(kHex[byte >> 4]);
        escaped.push_back(kHex[byte & 0xF]);
    }
    return escaped;
}

std::string NetQueryStringDescription(const platform::Value& value)
{
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_boolean())
        return value.get<bool>() ? "1" : "0";
    if (value.is_number_float()) {
        char buffer[64];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value.get<double>());
        return std::string(buffer, result.ptr);
    }
    return value.dump();
}

std::string NetQueryStringPair::URLEncodedStringValue() const
{
    if (!m_value || m_value->is_null())
        return NetPercentEscapedStringFromString(m_field);
    return NetPercentEscapedStringFromString(m_field) + "=" + NetPercentEscapedStringFromString(NetQueryStringDescription(*m_value));
}

std::vector<NetQueryStringPair> NetQueryStringPairsFromKeyAndValue(const std::optional<std::string>& key, const platform::Value& value)
{
    std::vector<NetQueryStringPair> pairs;
    appendPairs(key, value, pairs);
    return pairs;
}

std::vector<NetQueryStringPair> NetQueryStringPairsFromDictionary(const platform::Value& parameters)
{
    return NetQueryStringPairsFromKeyAndValue(std::nullopt, parameters);
}

std::string NetQueryStringFromParameters(const platform::Value& parameters)
{
    std::string query;
    auto pairs = NetQueryStringPairsFromDictionary(parameters);
    for (std::size_t index = 0; index < pairs.size(); ++index) {
        if (index > 0)
            query += '&';
        query += pairs[index].URLEncodedStringValue();
    }
    return query;
}

} // namespace morvix
