#include "platform/net/HTTPURLResponse.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace morvix::platform {

namespace {

std::string trimmed(std::string_view text)
{
    auto begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    auto end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Splits "text/html; charset=UTF-8" into the MIME type and the charset.
void parseContentType(const std::string& contentType, std::optional<std::string>& mimeType, std::optional<std::string>& charset)
{
    auto semicolon = contentType.find(';');
    auto type = lowered(trimmed(std::string_view(contentType).substr(0, semicolon)));
    if (!type.empty())
        mimeType = type;
    while (semicolon != std::string::npos) {
        auto next = contentType.find(';', semicolon + 1);
        auto parameter = trimmed(std::string_view(contentType).substr(semicolon + 1, next == std::string::npos ? std::string::npos : next - semicolon - 1));
        semicolon = next;
        auto equals = parameter.find('=');
        if (equals == std::string::npos || lowered(trimmed(parameter.substr(0, equals))) != "charset")
            continue;
        auto value = trimmed(parameter.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (!value.empty())
            charset = value;
    }
}

} // namespace

std::shared_ptr<const HTTPURLResponse> HTTPURLResponse::create(std::optional<Url> url, int statusCode, HTTPHeaders headers)
{
    std::optional<std::string> mimeType;
    std::optional<std::string> charset;
    if (auto contentType = headers.value("Content-Type"))
        parseContentType(*contentType, mimeType, charset);
    std::int64_t length = -1;
    auto lengthText = headers.value("Content-Length");
    if (lengthText && !headers.contains("Content-Encoding")) {
        auto digits = trimmed(*lengthText);
        if (!digits.empty() && digits.size() < 19 && std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
            length = std::stoll(digits);
    }
    return std::make_shared<const HTTPURLResponse>(std::move(url), statusCode, std::move(headers), std::move(mimeType), length, std::move(charset));
}

HTTPURLResponse::HTTPURLResponse(std::optional<Url> url, int statusCode, HTTPHeaders headers, std::optional<std::string> mimeType,
    std::int64_t expectedContentLength, std::optional<std::string> textEncodingName)
    : URLResponse(std::move(url), std::move(mimeType), expectedContentLength, std::move(textEncodingName))
    , m_statusCode(statusCode)
    , m_headers(std::move(headers))
{
}

std::string HTTPURLResponse::localizedStringForStatusCode(int statusCode)
{
    static const std::map<int, const char*> phrases {
        { 100, "continue" }, { 101, "switching protocols" }, { 200, "no error" }, { 201, "created" },
        { 202, "accepted" }, { 203, "non-authoritative information" }, { 204, "no content" },
        { 205, "reset content" }, { 206, "partial content" }, { 300, "multiple choices" },
        { 301, "moved permanently" }, { 302, "found" }, { 303, "see other" }, { 304, "not modified" },
        { 305, "needs proxy" }, { 307, "temporarily redirected" }, { 308, "permanently redirected" },
        { 400, "bad request" }, { 401, "unauthorized" }, { 402, "payment required" }, { 403, "forbidden" },
        { 404, "not found" }, { 405, "method not allowed" }, { 406, "unacceptable" },
        { 407, "proxy authentication required" }, { 408, "request timed out" }, { 409, "conflict" },
        { 410, "no longer exists" }, { 411, "length required" }, { 412, "precondition failed" },
        { 413, "request too large" }, { 414, "requested URL too long" }, { 415, "unsupported media type" },
        { 416, "requested range not satisfiable" }, { 417, "expectation failed" }, { 500, "internal server error" },
        { 501, "unimplemented" }, { 502, "bad gateway" }, { 503, "service unavailable" },
        { 504, "gateway timed out" }, { 505, "unsupported version" },
    };
    if (auto found = phrases.find(statusCode); found != phrases.end())
        return found->second;
    if (statusCode >= 100 && statusCode < 200)
        return "informational";
    if (statusCode >= 200 && statusCode < 300)
        return "success";
    if (statusCode >= 300 && statusCode < 400)
        return "redirected";
    if (statusCode >= 400 && statusCode < 500)
        return "client error";
    return "server error";
}

std::string HTTPURLResponse::description() const
{
    return "<HTTPURLResponse: " + (url() ? url()->absoluteString() : std::string("(null)")) + " { Status Code: "
        + std::to_string(m_statusCode) + " }>";
}

} // namespace morvix::platform
