#include "platform/net/HTTPURLResponse.h"

#include <algorithm>
#include <cctype>
#include <charconv>
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
    // The reason phrases registered for HTTP (RFC 9110 and its extensions).
    static const std::map<int, const char*> phrases {
        { 100, "Continue" }, { 101, "Switching Protocols" }, { 102, "Processing" }, { 103, "Early Hints" },
        { 200, "OK" }, { 201, "Created" }, { 202, "Accepted" }, { 203, "Non-Authoritative Information" },
        { 204, "No Content" }, { 205, "Reset Content" }, { 206, "Partial Content" }, { 207, "Multi-Status" },
        { 208, "Already Reported" }, { 226, "IM Used" }, { 300, "Multiple Choices" }, { 301, "Moved Permanently" },
        { 302, "Found" }, { 303, "See Other" }, { 304, "Not Modified" }, { 305, "Use Proxy" },
        { 307, "Temporary Redirect" }, { 308, "Permanent Redirect" }, { 400, "Bad Request" },
        { 401, "Unauthorized" }, { 402, "Payment Required" }, { 403, "Forbidden" }, { 404, "Not Found" },
        { 405, "Method Not Allowed" }, { 406, "Not Acceptable" }, { 407, "Proxy Authentication Required" },
        { 408, "Request Timeout" }, { 409, "Conflict" }, { 410, "Gone" }, { 411, "Length Required" },
        { 412, "Precondition Failed" }, { 413, "Request Entity Too Large" }, { 414, "Request-URI Too Long" },
        { 415, "Unsupported Media Type" }, { 416, "Requested Range Not Satisfiable" }, { 417, "Expectation Failed" },
        { 418, "I'm a Teapot" }, { 421, "Misdirected Request" }, { 422, "Unprocessable Entity" }, { 423, "Locked" },
        { 424, "Failed Dependency" }, { 425, "Too Early" }, { 426, "Upgrade Required" },
        { 428, "Precondition Required" }, { 429, "Too Many Requests" }, { 431, "Request Header Fields Too Large" },
        { 451, "Unavailable For Legal Reasons" }, { 500, "Internal Server Error" }, { 501, "Not Implemented" },
        { 502, "Bad Gateway" }, { 503, "Service Unavailable" }, { 504, "Gateway Timeout" },
        { 505, "HTTP Version Not Supported" }, { 506, "Variant Also Negotiates" }, { 507, "Insufficient Storage" },
        { 508, "Loop Detected" }, { 510, "Not Extended" }, { 511, "Network Authentication Required" },
    };
    if (auto found = phrases.find(statusCode); found != phrases.end())
        return found->second;
    if (statusCode >= 100 && statusCode < 200)
        return "Informational";
    if (statusCode >= 200 && statusCode < 300)
        return "Success";
    if (statusCode >= 300 && statusCode < 400)
        return "Redirection";
    if (statusCode >= 400 && statusCode < 500)
        return "Client Error";
    return "Server Error";
}

std::string HTTPURLResponse::description() const
{
    return "<HTTPURLResponse: " + (url() ? url()->absoluteString() : std::string("(null)")) + " { Status Code: "
        + std::to_string(m_statusCode) + " }>";
}

bool HTTPURLResponse::contentRangeStartsAt(std::int64_t offset) const
{
    auto range = valueForHeader("Content-Range");
    if (!range)
        return false;
    constexpr std::string_view kUnit = "bytes ";
    std::string_view text = *range;
    if (text.size() < kUnit.size() || !HTTPHeaders::namesEqual(text.substr(0, kUnit.size()), kUnit))
        return false;
    text.remove_prefix(kUnit.size());
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    std::int64_t first = -1;
    auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), first);
    return failure == std::errc() && end != text.data() + text.size() && *end == '-' && first == offset;
}

} // namespace morvix::platform
