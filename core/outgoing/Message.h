#pragma once
// The base of every outgoing message.

#include <memory>

namespace morvix {

namespace platform {
class NotificationCenter;
}

/// An outgoing message: property changes, calls and events of one remote object
/// (`Notification`) or head attributes of the next request (`HeadNotification`). A message is
/// filled by its maker and then handed on in one of three modes:
///
///   store     queue its content; it rides with the next request
///   schedule  queue its content and flush shortly
///   send      queue its content and flush now
///
/// Handing on posts the matching notification on the default notification centre, with the
/// message (as a `std::shared_ptr<Message>`) as the notification's object. Posting is
/// synchronous: every binding has taken a snapshot of the content before the call returns, so
/// changes made to the message afterwards reach nothing already queued. A message may be handed
/// on more than once; each time queues its whole content again.
///
/// Messages are shared objects made by their factories (`Notifications`). A message is not
/// locked: it is meant to be filled and handed on by one thread at a time.
class Message : public std::enable_shared_from_this<Message> {
public:
    static constexpr const char* kStoreNotification = "com.zerivoquastel.morvix.notifications.store";
    static constexpr const char* kScheduleNotification = "com.zerivoquastel.morvix.notifications.schedule";
    static constexpr const char* kSendNotification = "com.zerivoquastel.morvix.notifications.send";

    virtual ~Message() = default;
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;

    /// Posts `kStoreNotification`, `kScheduleNotification` or `kSendNotification` with this
    /// message as object and no user info. Any thread; the bindings run on it.
    void store();
    void schedule();
    void send();

    /// The centre messages are posted on: always the process's default centre.
    static std::shared_ptr<platform::NotificationCenter> notificationCenter();

protected:
    Message() = default;

private:
    void post(const char* name);
};

} // namespace morvix
