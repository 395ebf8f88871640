#pragma once
// Hands outgoing messages and the session's life-cycle calls to every binding.

#include "core/outgoing/Binding.h"
#include "platform/foundation/NotificationCenter.h"

#include <memory>
#include <mutex>
#include <vector>

namespace morvix {

/// Observes the three message notifications (`Message::kStoreNotification`,
/// `kScheduleNotification`, `kSendNotification`) on its centre and hands each posted message to
/// every binding's `storeMessage`, `scheduleMessage` or `sendMessage`; fans the session's
/// life-cycle calls out to every binding. Owned by the session; owns its bindings. Stops
/// observing when destroyed.
///
/// Rules:
///  1. Every fan-out (messages, life-cycle calls, `isActive`, `isProcessing`,
///     `receivedRequestCounter`) holds the dispatcher's lock for the whole walk, so bindings see
///     one message or call at a time, in the order the threads obtained the lock.
///  2. The lock is re-entrant: a binding that posts a message while handling a call (a resume
///     that sends a "ping") reaches the dispatcher again on the same thread without deadlock.
///  3. Bindings are visited in the order they were added, on the posting thread.
///  4. Never wait, inside a binding call, for another thread that posts a message.
/// `addBinding` and `removeBinding` wait for a walk under way on another thread; one made by a
/// binding call on the walking thread takes effect from the next walk on. `bindings` waits for
/// no walk.
class NotificationsDispatcher final : public std::enable_shared_from_this<NotificationsDispatcher> {
public:
    static std::shared_ptr<NotificationsDispatcher> create(std::shared_ptr<platform::NotificationCenter> center);
    ~NotificationsDispatcher() = default;
    NotificationsDispatcher(const NotificationsDispatcher&) = delete;
    NotificationsDispatcher& operator=(const NotificationsDispatcher&) = delete;

    /// Adding a binding already present, or removing an absent one, does nothing.
    void addBinding(std::shared_ptr<Binding> binding);
    void removeBinding(const std::shared_ptr<Binding>& binding);
    std::vector<std::shared_ptr<Binding>> bindings() const;
    const std::shared_ptr<platform::NotificationCenter>& notificationCenter() const { return m_center; }

    void start();
    void suspend();
    void resume();
    void retry();
    void stop();
    void reset();

    /// True when there is at least one binding and every binding is active; stops asking at
    /// the first inactive one.
    bool isActive();
    /// True as soon as one binding is processing; false without bindings.
    bool isProcessing();
    void receivedRequestCounter(std::int64_t counter);

private:
    explicit NotificationsDispatcher(std::shared_ptr<platform::NotificationCenter> center);
    void observe();
    void dispatch(const platform::Notification& notification, void (Binding::*handler)(const std::shared_ptr<Message>&));
    void forEachBinding(void (Binding::*operation)());
    using BindingList = std::vector<std::shared_ptr<Binding>>;
    /// The current list, kept by the walk that asks. Under m_mutex.
    std::shared_ptr<const BindingList> snapshot() const;
    /// Makes `bindings` the list. Under m_mutex.
    void replaceBindings(std::shared_ptr<const BindingList> bindings);

    std::shared_ptr<platform::NotificationCenter> m_center;
    // Replaced, never changed in place, so that a walk keeps the list it started with.
    std::shared_ptr<const BindingList> m_bindings = std::make_shared<const BindingList>();
    // Lists replaced while a message walk was going over them, kept until the walks end.
    std::vector<std::shared_ptr<const BindingList>> m_retiredBindings;
    int m_messageWalks = 0; // message walks under way, nested ones included
    // Serialises every fan-out to the bindings; guards m_retiredBindings and m_messageWalks.
    // m_bindings is replaced under both locks, so the walks read it under this one alone and
    // `bindings` under the other.
    std::recursive_mutex m_mutex;
    mutable std::mutex m_bindingsMutex;
    std::vector<platform::ObserverToken> m_observers;
};

} // namespace morvix
