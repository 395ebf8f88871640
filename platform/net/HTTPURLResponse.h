#pragma once
// The response of an HTTP exchange.

#include "platform/net/HTTPHeaders.h"
#include "platform/net/URLResponse.h"

#include <cstdint>
#include <memory>

namespace morvix::platform {

/// A URL response with the HTTP status and header fields. Repeated header fields arrive joined
/// with ", " (Set-Cookie included). The MIME type, text encoding and expected length are read
/// from Content-Type and Content-Length. When a Content-Encoding is present the expected
/// length is -1, since the body is delivered decoded and its length is then unknown.
/// Immutable; any thread.
class HTTPURLResponse final : public URLResponse {
public:
    static std::shared_ptr<const HTTPURLResponse> create(std::optional<Url> url, int statusCode, HTTPHeaders headers);

    int statusCode() const { return m_statusCode; }
    const HTTPHeaders& allHeaderFields() const { return m_headers; }
    std::optional<std::string> valueForHeader(std::string_view name) const { return m_headers.value(name); }
    /// Whether the response's Content-Range ("bytes <first>-<last>/<length>") begins at
    /// `offset`: only then does a partial response continue the `offset` bytes already held.
    /// False when it has none or it cannot be read.
    bool contentRangeStartsAt(std::int64_t offset) const;

    /// The registered reason phrase of a status code ("Not Found"); the name of its class
    /// ("Informational", "Success", "Redirection", "Client Error", "Server Error") for codes
    /// without one of their own.
    static std::string localizedStringForStatusCode(int statusCode);

    std::string description() const override;

    HTTPURLResponse(std::optional<Url> url, int statusCode, HTTPHeaders headers, std::optional<std::string> mimeType,
        std::int64_t expectedContentLength, std::optional<std::string> textEncodingName);

private:
    int m_statusCode;
    HTTPHeaders m_headers;
};

} // namespace morvix::platform
