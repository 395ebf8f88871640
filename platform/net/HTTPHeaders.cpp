#include "platform/net/HTTPHeaders.h"

#include <algorithm>
#include <strings.h>

namespace morvix::platform {

namespace {

bool isTokenCharacter(char character)
{
    if ((character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z') || (character >= '0' && character <= '9'))
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(character) != std::string_view::npos;
}

} // namespace

std::optional<Error> HTTPHeaders::validate(std::string_view name, std::string_view value)
{
    if (name.empty() || !std::all_of(name.begin(), name.end(), isTokenCharacter))
        return Error(HTTPHeaderErrorDomain, kHTTPHeaderErrorInvalidName, "The header field name is not valid.",
            "\"" + std::string(name) + "\" is not an HTTP token");
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return Error(HTTPHeaderErrorDomain, kHTTPHeaderErrorInvalidValue, "The header field value is not valid.",
            "the value of \"" + std::string(name) + "\" holds a CR, LF or NUL character");
    return std::nullopt;
}

bool HTTPHeaders::namesEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::optional<std::string> HTTPHeaders::value(std::string_view name) const
{
    for (const auto& [key, value] : m_fields) {
        if (namesEqual(key, name))
            return value;
    }
    return std::nullopt;
}

std::optional<Error> HTTPHeaders::set(std::string_view name, std::string value)
{
    if (auto refused = validate(name, value))
        return refused;
    for (auto& field : m_fields) {
        if (namesEqual(field.first, name)) {
            field.second = std::move(value);
            return std::nullopt;
        }
    }
    m_fields.emplace_back(std::string(name), std::move(value));
    return std::nullopt;
}

std::optional<Error> HTTPHeaders::add(std::string_view name, std::string_view value)
{
    if (auto refused = validate(name, value))
        return refused;
    for (auto& field : m_fields) {
        if (namesEqual(field.first, name)) {
            field.second += ", ";
            field.second += value;
            return std::nullopt;
        }
    }
    m_fields.emplace_back(std::string(name), std::string(value));
    return std::nullopt;
}

void HTTPHeaders::remove(std::string_view name)
{
    std::erase_if(m_fields, [&](const Field& field) { return namesEqual(field.first, name); });
}

} // namespace morvix::platform
