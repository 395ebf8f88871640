#include "platform/foundation/ObjectDescription.h"

#include <algorithm>
#include <limits>
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

// The writer stops as soon as the text passes its size or the value its depth, so that a result
// nested deeply (whose description grows with the square of its depth) costs no more than the
// bound.
struct Writer {
    std::string out;
    std::size_t maximumSize = 0;
    std::size_t maximumDepth = 0;

    bool fits() const { return out.size() <= maximumSize; }
    bool append(const Value& value, std::size_t level, bool nested);
};

bool Writer::append(const Value& value, std::size_t level, bool nested)
{
    if (level > maximumDepth)
        return false;
    std::string inner((level + 1) * 4, ' ');
    std::string own(level * 4, ' ');
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
            if (!fits() || !append(value[i], level + 1, true))
                return false;
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
            if (!fits() || !append(value.at(key), level + 1, true))
                return false;
            out += ";\n";
        }
        out += own + "}";
    }
    return fits();
}

} // namespace

std::string objectDescription(const Value& value)
{
    Writer writer { {}, std::numeric_limits<std::size_t>::max(), std::numeric_limits<std::size_t>::max() };
    writer.append(value, 0, false);
    return std::move(writer.out);
}

std::optional<std::string> objectDescription(const Value& value, std::size_t maximumSize, std::size_t maximumDepth)
{
    Writer writer { {}, maximumSize, maximumDepth };
    if (!writer.append(value, 0, false))
        return std::nullopt;
    return std::move(writer.out);
}

} // namespace morvix::platform
