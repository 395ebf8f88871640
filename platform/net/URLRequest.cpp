#include "platform/net/URLRequest.h"

#include "platform/net/InputStream.h"

namespace morvix::platform {

void URLRequest::setBody(std::optional<std::string> body)
{
    m_body = std::move(body);
    if (m_body)
        m_bodyStream.reset();
}

void URLRequest::setBodyStream(std::shared_ptr<InputStream> stream)
{
    m_bodyStream = std::move(stream);
    if (m_bodyStream)
        m_body.reset();
}

std::string URLRequest::description() const
{
    return "<URLRequest: " + m_method + " " + (m_url ? m_url->absoluteString() : std::string("(null)")) + ">";
}

} // namespace morvix::platform
