#include "platform/foundation/Value.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>

namespace morvix::platform {

bool isNumber(const Value& value)
{
    return value.is_number() || value.is_boolean();
}

std::optional<double> numberValue(const Value& value)
{
    if (value.is_boolean())
        return value.get<bool>() ? 1.0 : 0.0;
    if (value.is_number_unsigned())
        return static_cast<double>(value.get<std::uint64_t>());
    if (value.is_number_integer())
        return static_cast<double>(value.get<std::int64_t>());
    if (value.is_number_float())
        return value.get<double>();
    return std::nullopt;
}

static bool numbersEqual(const Value& a, const Value& b)
{
    bool aIsInteger = a.is_boolean() || a.is_number_integer();
    bool bIsInteger = b.is_boolean() || b.is_number_integer();
    if (aIsInteger && bIsInteger && !a.is_number_unsigned() && !b.is_number_unsigned()) {
        auto asInteger = [](const Value& v) -> std::int64_t {
            return v.is_boolean() ? (v.get<bool>() ? 1 : 0) : v.get<std::int64_t>();
        };
        return asInteger(a) == asInteger(b);
    }
    return *numberValue(a) == *numberValue(b);
}

static bool objectsEqual(const Value& a, const Value& b)
{
    if (a.size() != b.size())
        return false;
    for (const auto& [key, value] : a.items()) {
        auto other = b.find(key);
        if (other == b.end() || !valuesEqual(value, *other))
            return false;
    }
    return true;
}

bool boolValue(const Value& value)
{
    if (value.is_boolean())
        return value.get<bool>();
    if (value.is_number())
        return value.get<double>() != 0;
    if (!value.is_string())
        return false;
    const auto& text = value.get_ref<const std::string&>();
    std::size_t index = text.find_first_not_of(" \t\n\r\v\f");
    if (index == std::string::npos)
        return false;
    if (text[index] == '+' || text[index] == '-')
        ++index;
    while (index < text.size() && text[index] == '0')
        ++index;
    if (index == text.size())
        return false;
    char first = text[index];
    return first == 'Y' || first == 'y' || first == 'T' || first == 't' || (first >= '1' && first <= '9');
}

bool valuesEqual(const Value& a, const Value& b)
{
    if (isNumber(a) || isNumber(b))
        return isNumber(a) && isNumber(b) && numbersEqual(a, b);
    if (a.type() != b.type())
        return false;
    if (a.is_object())
        return objectsEqual(a, b);
    if (a.is_array()) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (!valuesEqual(a[i], b[i]))
                return false;
        }
        return true;
    }
    return a == b;
}

std::string describe(const Value& value)
{
    if (value.is_string())
        return value.get<std::string>();
    return value.dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace);
}

void dismantle(Value& value)
{
    if (auto* items = value.get_ptr<Value::array_t*>()) {
        for (auto& item : *items)
            dismantle(item);
        items->clear();
    } else if (auto* members = value.get_ptr<Value::object_t*>()) {
        for (auto& member : *members)
            dismantle(member.second);
        members->clear();
    }
}

std::string kindName(const Value& value)
{
    if (value.is_null())
        return "null";
    if (value.is_boolean())
        return "boolean";
    if (value.is_number())
        return "number";
    if (value.is_string())
        return "string";
    if (value.is_array())
        return "array";
    if (value.is_object())
        return "object";
    return "binary";
}

std::string numberText(const Value& value)
{
    assert(isNumber(value) && "numberText needs a number");
    if (value.is_boolean())
        return value.get<bool>() ? "1" : "0";
    if (value.is_number_unsigned())
        return std::to_string(value.get<std::uint64_t>());
    if (value.is_number_integer())
        return std::to_string(value.get<std::int64_t>());
    double number = value.get<double>();
    if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 1e15)
        return std::to_string(static_cast<std::int64_t>(number));
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

std::size_t jsonNestingDepth(std::string_view text, std::size_t stopPast)
{
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > stopPast)
                return deepest;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

} // namespace morvix::platform
