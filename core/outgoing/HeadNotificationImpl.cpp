#include "core/outgoing/HeadNotificationImpl.h"

namespace morvix {

std::shared_ptr<HeadNotificationImpl> HeadNotificationImpl::create()
{
    return std::make_shared<HeadNotificationImpl>(Key());
}

HeadNotificationImpl& HeadNotificationImpl::setAttribute(platform::Value value, const std::string& key)
{
    m_dictionary[key] = std::move(value);
    return *this;
}

HeadNotificationImpl& HeadNotificationImpl::zubInitialize()
{
    return setAttribute(true, "zub_initialize");
}

HeadNotificationImpl& HeadNotificationImpl::shutdown()
{
    setAttribute(true, "shutdown");
    send();
    return *this;
}

HeadNotificationImpl& HeadNotificationImpl::ping()
{
    setAttribute(true, "ping");
    send();
    return *this;
}

HeadNotificationImpl& HeadNotificationImpl::setRequestCounter(std::int64_t counter)
{
    return setAttribute(counter, "requestCounter");
}

std::string HeadNotificationImpl::description() const
{
    return platform::describe(m_dictionary);
}

} // namespace morvix
