#include "core/Notifications.h"

#include "core/HeadNotificationImpl.h"
#include "core/NotificationImpl.h"

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
