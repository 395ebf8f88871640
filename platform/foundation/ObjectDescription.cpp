#include "platform/foundation/ObjectDescription.h"

#include <algorithm>
#include <vector>

namespace morvix::platform {

namespace {

bool standsBare(const std::string& text)
{
    if (text.empty())
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

std::string quotedIfNeeded(const std::string& text)
{
    if (standsBare(text))
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        if (c == '\n') {
            quoted += "\\n";
            continue;
        }
        quoted += c;
    }
    return quoted + '"';
}

void append(std::string& out, const Value& value, int level, bool nested)
{
    std::string inner(static_cast<std::size_t>(level + 1) * 4, ' ');
    std::string own(static_cast<std::size_t>(level) * 4, ' ');
    if (value.is_null()) {
        out += "<null>";
    } else if (isNumber(value)) {
        out += numberText(value);
    } else if (value.is_string()) {
        out += nested ? quotedIfNeeded(value.get<std::string>()) : value.get<std::string>();
    } else if (value.is_array()) {
        out += "(\n";
        for (std::size_t i = 0; i < value.size(); ++i) {
            out += inner;
            append(out, value[i], level + 1, true);
            out += i + 1 < value.size() ? ",\n" : "\n";
        }
        out += own + ")";
    } else if (value.is_object()) {
        std::vector<std::string> keys;
        for (const auto& [key, member] : value.items())
            keys.push_back(key);
        std::sort(keys.begin(), keys.end());
        out += "{\n";
        for (const auto& key : keys) {
            out += inner + quotedIfNeeded(key) + " = ";
            append(out, value.at(key), level + 1, true);
            out += ";\n";
        }
        out += own + "}";
    }
}

} // namespace

std::string objectDescription(const Value& value)
{
    std::string out;
    append(out, value, 0, false);
    return out;
}

} // namespace morvix::platform
