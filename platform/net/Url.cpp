#include "platform/net/Url.h"

#include <algorithm>
#include <cctype>

namespace morvix::platform {

namespace {

bool isAllowed(unsigned char c)
{
    if (c <= 0x20 || c >= 0x7f)
        return false;
    switch (c) {
    case '"':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
        return false;
    default:
        return true;
    }
}

bool isValidScheme(std::string_view scheme)
{
    if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme[0])))
        return false;
    return std::all_of(scheme.begin(), scheme.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '+' || c == '-' || c == '.';
    });
}

// RFC 3986, section 5.2.4.
std::string removeDotSegments(std::string_view input)
{
    std::string output;
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../") || input == "/..") {
            input = input.size() == 3 ? std::string_view("/") : input.substr(3);
            auto slash = output.rfind('/');
            output.erase(slash == std::string::npos ? 0 : slash);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            auto next = input.find('/', input[0] == '/' ? 1 : 0);
            output += input.substr(0, next);
            input = next == std::string_view::npos ? std::string_view() : input.substr(next);
        }
    }
    return output;
}

std::string merge(const Url& base, std::string_view path)
{
    if (base.hasAuthority() && base.path().empty())
        return "/" + std::string(path);
    auto slash = base.path().rfind('/');
    if (slash == std::string::npos)
        return std::string(path);
    return base.path().substr(0, slash + 1) + std::string(path);
}

std::string authorityText(const Url& url)
{
    std::string text;
    if (!url.user().empty() || !url.password().empty())
        text += url.user() + (url.password().empty() ? "" : ":" + url.password()) + "@";
    text += url.host().find(':') != std::string::npos ? "[" + url.host() + "]" : url.host();
    if (url.port())
        text += ":" + std::to_string(*url.port());
    return text;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<Url> Url::parse(std::string_view text)
{
    if (!std::all_of(text.begin(), text.end(), [](char c) { return isAllowed(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    Url url;
    url.m_text = std::string(text);
    std::string_view rest = text;
    if (auto hash = rest.find('#'); hash != std::string_view::npos) {
        url.m_fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (auto question = rest.find('?'); question != std::string_view::npos) {
        url.m_query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    auto colon = rest.find(':');
    if (colon != std::string_view::npos && isValidScheme(rest.substr(0, colon)) && rest.substr(0, colon).find('/') == std::string_view::npos) {
        url.m_scheme = std::string(rest.substr(0, colon));
        std::transform(url.m_scheme.begin(), url.m_scheme.end(), url.m_scheme.begin(), [](unsigned char c) { return std::tolower(c); });
        rest.remove_prefix(colon + 1);
    }
    if (rest.starts_with("//")) {
        url.m_hasAuthority = true;
        rest.remove_prefix(2);
        auto end = rest.find('/');
        std::string_view authority = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
        if (auto at = authority.rfind('@'); at != std::string_view::npos) {
            auto userInfo = authority.substr(0, at);
            auto separator = userInfo.find(':');
            url.m_user = std::string(userInfo.substr(0, separator));
            if (separator != std::string_view::npos)
                url.m_password = std::string(userInfo.substr(separator + 1));
            authority.remove_prefix(at + 1);
        }
        std::string_view portText;
        if (authority.starts_with("[")) {
            auto close = authority.find(']');
            if (close == std::string_view::npos)
                return std::nullopt;
            url.m_host = std::string(authority.substr(1, close - 1));
            auto after = authority.substr(close + 1);
            if (!after.empty() && after[0] != ':')
                return std::nullopt;
            portText = after.empty() ? after : after.substr(1);
        } else {
            auto portColon = authority.rfind(':');
            url.m_host = std::string(authority.substr(0, portColon));
            if (portColon != std::string_view::npos)
                portText = authority.substr(portColon + 1);
        }
        if (!portText.empty()) {
            if (portText.size() > 5 || !std::all_of(portText.begin(), portText.end(), [](unsigned char c) { return std::isdigit(c); }))
                return std::nullopt;
            int port = std::stoi(std::string(portText));
            if (port > 65535)
                return std::nullopt;
            url.m_port = port;
        }
    }
    url.m_path = std::string(rest);
    return url;
}

std::optional<Url> Url::resolve(const Url& base, std::string_view reference)
{
    auto ref = parse(reference);
    if (!ref)
        return std::nullopt;
    if (!ref->m_scheme.empty())
        return ref;
    if (base.m_scheme.empty())
        return std::nullopt;
    std::string text = base.m_scheme + ":";
    std::string authority;
    bool hasAuthority = false;
    std::string path;
    std::optional<std::string> query;
    if (ref->m_hasAuthority) {
        hasAuthority = true;
        authority = authorityText(*ref);
        path = removeDotSegments(ref->m_path);
        query = ref->m_query;
    } else {
        hasAuthority = base.m_hasAuthority;
        authority = authorityText(base);
        if (ref->m_path.empty()) {
            path = base.m_path;
            query = ref->m_query ? ref->m_query : base.m_query;
        } else {
            path = removeDotSegments(ref->m_path.starts_with("/") ? ref->m_path : merge(base, ref->m_path));
            query = ref->m_query;
        }
    }
    if (hasAuthority)
        text += "//" + authority;
    text += path;
    if (query)
        text += "?" + *query;
    if (ref->m_fragment)
        text += "#" + *ref->m_fragment;
    return parse(text);
}

Url Url::fileURL(std::string_view path)
{
    std::string text = "file://";
    for (unsigned char c : path) {
        if (isAllowed(c) && c != '?' && c != '#' && c != '%') {
            text += static_cast<char>(c);
            continue;
        }
        static const char* digits = "0123456789ABCDEF";
        text += '%';
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return *parse(text);
}

int Url::effectivePort() const
{
    if (m_port)
        return *m_port;
    if (m_scheme == "http")
        return 80;
    if (m_scheme == "https")
        return 443;
    return 0;
}

Url Url::appendingEmptyComponent() const
{
    if (m_path.ends_with("/"))
        return *this;
    std::string text = m_text;
    auto insertAt = m_text.find_first_of("?#", m_hasAuthority ? m_text.find("//") + 2 : 0);
    if (insertAt == std::string::npos)
        text += "/";
    else
        text.insert(insertAt, "/");
    return *parse(text);
}

std::optional<std::string> Url::decodedPath() const
{
    std::string decoded;
    decoded.reserve(m_path.size());
    for (std::size_t index = 0; index < m_path.size(); ++index) {
        if (m_path[index] != '%') {
            decoded += m_path[index];
            continue;
        }
        if (index + 2 >= m_path.size())
            return std::nullopt;
        int high = hexValue(m_path[index + 1]);
        int low = hexValue(m_path[index + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        index += 2;
    }
    return decoded;
}

} // namespace morvix::platform
