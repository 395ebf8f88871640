#include "core/outgoing/Message.h"

#include "platform/foundation/NotificationCenter.h"

namespace morvix {

void Message::store()
{
    post(kStoreNotification);
}

void Message::schedule()
{
    post(kScheduleNotification);
}

void Message::send()
{
    post(kSendNotification);
}

std::shared_ptr<platform::NotificationCenter> Message::notificationCenter()
{
    return platform::NotificationCenter::defaultCenter();
}

void Message::post(const char* name)
{
    std::shared_ptr<Message> self = shared_from_this();
    notificationCenter()->post(name, this, nullptr, std::any(std::move(self)));
}

} // namespace morvix
