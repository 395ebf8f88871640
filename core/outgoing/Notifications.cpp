#include "core/outgoing/Notifications.h"

#include "core/outgoing/HeadNotificationImpl.h"
#include "core/outgoing/NotificationImpl.h"

namespace morvix {

std::shared_ptr<HeadNotification> Notifications::forHead()
{
    return HeadNotificationImpl::create();
}

std::shared_ptr<Notification> Notifications::forObject(const std::string& objectId)
{
    return NotificationImpl::create(objectId);
}

std::shared_ptr<Notification> Notifications::forType(const std::string& typeName)
{
    return NotificationImpl::create(typeName);
}

} // namespace morvix
