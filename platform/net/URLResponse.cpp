#include "platform/net/URLResponse.h"

namespace morvix::platform {

URLResponse::URLResponse(std::optional<Url> url, std::optional<std::string> mimeType, std::int64_t expectedContentLength,
    std::optional<std::string> textEncodingName)
    : m_url(std::move(url))
    , m_mimeType(std::move(mimeType))
    , m_expectedContentLength(expectedContentLength)
    , m_textEncodingName(std::move(textEncodingName))
{
}

std::string URLResponse::description() const
{
    return "<URLResponse: " + (m_url ? m_url->absoluteString() : std::string("(null)")) + ">";
}

} // namespace morvix::platform
