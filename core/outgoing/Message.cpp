#include "core/outgoing/Message.h"

#include "platform/foundation/NotificationCenter.h"

#include <any>

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

namespace {

// A notification kept by a thread for one of the three names: its name and its object's slot are
// made once, and each post only fills in the message and the sender.
struct PostingSlot {
    explicit PostingSlot(const char* name)
        : notification { name, nullptr, std::any(std::shared_ptr<Message>()), nullptr }
    {
    }

    platform::Notification notification;
    bool inUse = false;
};

// Empties the slot once its post is over, however it ends: the slot keeps no message alive.
class SlotUse {
public:
    explicit SlotUse(PostingSlot& slot)
        : m_slot(slot)
    {
        m_slot.inUse = true;
    }
    ~SlotUse()
    {
        message() = nullptr;
        m_slot.notification.sender = nullptr;
        m_slot.inUse = false;
    }
    SlotUse(const SlotUse&) = delete;
    SlotUse& operator=(const SlotUse&) = delete;

    std::shared_ptr<Message>& message() { return *std::any_cast<std::shared_ptr<Message>>(&m_slot.notification.object); }

private:
    PostingSlot& m_slot;
};

// The thread's three slots, in one place so that a post looks up one thread-local object.
struct PostingSlots {
    PostingSlot store { Message::kStoreNotification };
    PostingSlot schedule { Message::kScheduleNotification };
    PostingSlot send { Message::kSendNotification };
};

PostingSlot* slotFor(const char* name)
{
    thread_local PostingSlots slots;
    PostingSlot* slot = name == Message::kStoreNotification ? &slots.store
        : name == Message::kScheduleNotification            ? &slots.schedule
        : name == Message::kSendNotification                ? &slots.send
                                                            : nullptr;
    return slot && !slot->inUse ? slot : nullptr;
}

} // namespace

void Message::post(const char* name)
{
    std::shared_ptr<Message> self = shared_from_this();
    auto center = notificationCenter();
    // An observer that hands on another message of the same mode on this thread finds the slot
    // in use; that post builds a notification of its own.
    PostingSlot* slot = slotFor(name);
    if (!slot)
        return center->post(name, this, nullptr, std::any(std::move(self)));
    SlotUse use(*slot);
    use.message() = std::move(self);
    slot->notification.sender = this;
    center->post(slot->notification);
}

} // namespace morvix
