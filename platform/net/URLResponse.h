#pragma once
// What the HTTP layer received.

#include "platform/net/Url.h"

#include <cstdint>
#include <optional>
#include <string>

namespace morvix::platform {

/// The metadata of a response: the URL it came from (after redirects), the MIME type, the
/// expected length and the text encoding's name. Immutable once made; shared as
/// `std::shared_ptr<const URLResponse>`. Any thread.
class URLResponse {
public:
    URLResponse(std::optional<Url> url, std::optional<std::string> mimeType, std::int64_t expectedContentLength,
        std::optional<std::string> textEncodingName);
    virtual ~URLResponse() = default;

    const std::optional<Url>& url() const { return m_url; }
    /// Lower-cased, without parameters ("text/html"); nothing when unknown.
    const std::optional<std::string>& mimeType() const { return m_mimeType; }
    /// The body's length in bytes, or -1 when unknown.
    std::int64_t expectedContentLength() const { return m_expectedContentLength; }
    /// The charset parameter of the content type ("iso-8859-1"), or nothing.
    const std::optional<std::string>& textEncodingName() const { return m_textEncodingName; }

    virtual std::string description() const;

private:
    std::optional<Url> m_url;
    std::optional<std::string> m_mimeType;
    std::int64_t m_expectedContentLength;
    std::optional<std::string> m_textEncodingName;
};

} // namespace morvix::platform
