#include "platform/foundation/Format.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace morvix::platform {

FormatArg::FormatArg(const char* text)
{
    if (text)
        m_value = std::string(text);
}

FormatArg::FormatArg(const Value& value)
{
    if (value.is_null())
        m_value = std::string("<null>");
    else if (value.is_boolean())
        m_value = static_cast<std::int64_t>(value.get<bool>());
    else if (value.is_number_unsigned())
        m_value = value.get<std::uint64_t>();
    else if (value.is_number_integer())
        m_value = value.get<std::int64_t>();
    else if (value.is_number_float())
        m_value = value.get<double>();
    else
        m_value = describe(value);
}

namespace {

struct Conversion {
    std::string flags;     // flags, width and precision as written
    char letter = 0;
};

std::string printfString(const std::string& spec, auto value)
{
    int size = std::snprintf(nullptr, 0, spec.c_str(), value);
    if (size < 0)
        return {};
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
    std::snprintf(buffer.data(), buffer.size(), spec.c_str(), value);
    return std::string(buffer.data(), static_cast<std::size_t>(size));
}

std::string asText(const FormatArg::Storage& value)
{
    if (std::holds_alternative<std::monostate>(value))
        return "(null)";
    if (auto text = std::get_if<std::string>(&value))
        return *text;
    if (auto integer = std::get_if<std::int64_t>(&value))
        return std::to_string(*integer);
    if (auto integer = std::get_if<std::uint64_t>(&value))
        return std::to_string(*integer);
    return numberText(Value(std::get<double>(value)));
}

long long asInteger(const FormatArg::Storage& value)
{
    if (auto integer = std::get_if<std::int64_t>(&value))
        return *integer;
    if (auto integer = std::get_if<std::uint64_t>(&value))
        return static_cast<long long>(*integer);
    if (auto number = std::get_if<double>(&value))
        return static_cast<long long>(*number);
    return 0;
}

double asDouble(const FormatArg::Storage& value)
{
    if (auto number = std::get_if<double>(&value))
        return *number;
    if (auto integer = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*integer);
    if (auto integer = std::get_if<std::uint64_t>(&value))
        return static_cast<double>(*integer);
    return 0;
}

std::string convert(const Conversion& conversion, const FormatArg::Storage& value)
{
    std::string spec = "%" + conversion.flags;
    switch (conversion.letter) {
    case '@':
    case 's':
        return printfString(spec + "s", asText(value).c_str());
    case 'd':
    case 'i':
        return printfString(spec + "lld", asInteger(value));
    case 'u':
    case 'x':
    case 'X':
    case 'o':
        return printfString(spec + "ll" + conversion.letter, static_cast<unsigned long long>(asInteger(value)));
    case 'c':
        return printfString(spec + "c", static_cast<int>(asInteger(value)));
    default:
        return printfString(spec + conversion.letter, asDouble(value));
    }
}

bool isLengthModifier(char c)
{
    return c == 'h' || c == 'l' || c == 'q' || c == 'z' || c == 't' || c == 'j' || c == 'L';
}

bool isKnownConversion(char c)
{
    return std::string_view("@sdiuxXocfFeEgGaA").find(c) != std::string_view::npos;
}

} // namespace

std::string formatArgs(std::string_view format, std::initializer_list<FormatArg> args)
{
    std::string out;
    auto next = args.begin();
    std::size_t i = 0;
    while (i < format.size()) {
        char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            out += c;
            ++i;
            continue;
        }
        if (format[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        std::size_t j = i + 1;
        Conversion conversion;
        while (j < format.size() && std::string_view("-+ #0123456789.").find(format[j]) != std::string_view::npos)
            conversion.flags += format[j++];
        while (j < format.size() && isLengthModifier(format[j]))
            ++j;
        if (j == format.size() || !isKnownConversion(format[j])) {
            out.append(format.substr(i, j - i));
            i = j;
            continue;
        }
        conversion.letter = format[j];
        FormatArg::Storage value;
        if (next != args.end())
            value = (next++)->storage();
        out += convert(conversion, value);
        i = j + 1;
    }
    return out;
}

} // namespace morvix::platform
