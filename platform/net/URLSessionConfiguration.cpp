#include "platform/net/URLSessionConfiguration.h"

namespace morvix::platform {

URLSessionConfiguration URLSessionConfiguration::backgroundSessionConfiguration(std::string identifier)
{
    URLSessionConfiguration configuration;
    configuration.m_identifier = std::move(identifier);
    return configuration;
}

bool URLSessionConfiguration::operator==(const URLSessionConfiguration& other) const
{
    if (m_identifier != other.m_identifier || m_timeoutIntervalForRequest != other.m_timeoutIntervalForRequest
        || m_HTTPShouldSetCookies != other.m_HTTPShouldSetCookies || m_HTTPAdditionalHeaders.size() != other.m_HTTPAdditionalHeaders.size())
        return false;
    for (const auto& [name, value] : m_HTTPAdditionalHeaders.fields()) {
        if (other.m_HTTPAdditionalHeaders.value(name) != value)
            return false;
    }
    return true;
}

} // namespace morvix::platform
