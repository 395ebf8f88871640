#include "platform/net/HTTPHeaders.h"

#include <algorithm>
#include <strings.h>

namespace morvix::platform {

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

void HTTPHeaders::set(std::string_view name, std::string value)
{
    for (auto& field : m_fields) {
        if (namesEqual(field.first, name)) {
            field.second = std::move(value);
            return;
        }
    }
    m_fields.emplace_back(std::string(name), std::move(value));
}

void HTTPHeaders::add(std::string_view name, std::string_view value)
{
    for (auto& field : m_fields) {
        if (namesEqual(field.first, name)) {
            field.second += ", ";
            field.second += value;
            return;
        }
    }
    m_fields.emplace_back(std::string(name), std::string(value));
}

void HTTPHeaders::remove(std::string_view name)
{
    std::erase_if(m_fields, [&](const Field& field) { return namesEqual(field.first, name); });
}

} // namespace morvix::platform
