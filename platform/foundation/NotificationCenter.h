#pragma once
// Named notifications, delivered synchronously to their observers.

#include "platform/foundation/Value.h"

#include <any>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace morvix::platform {

/// One posted notification. `sender` identifies who posted it (observers may listen to one
/// sender only); `object` carries what the poster hands along; `userInfo` is JSON.
struct Notification {
    std::string name;
    const void* sender = nullptr;
    std::any object;
    Value userInfo;
};

class NotificationCenter;

/// Keeps an observation alive; destroying or resetting it removes the observer. Movable.
class ObserverToken {
public:
    ObserverToken() = default;
    ~ObserverToken() { reset(); }
    ObserverToken(ObserverToken&& other) noexcept;
    ObserverToken& operator=(ObserverToken&& other) noexcept;
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;

    /// Removes the observer; it is not called again from this moment on, even by a post in
    /// progress. Does nothing when already removed.
    void reset();
    bool isActive() const { return static_cast<bool>(m_entry); }

private:
    friend class NotificationCenter;
    struct Entry;
    ObserverToken(std::weak_ptr<NotificationCenter> center, std::shared_ptr<Entry> entry);

    std::weak_ptr<NotificationCenter> m_center;
    std::shared_ptr<Entry> m_entry;
};

/// Delivers notifications by name (and optionally by sender) to observers, synchronously, on
/// the posting thread.
///
/// Rules:
///  1. Observers are called in the order they were added.
///  2. An observer added during a post is not called by that post.
///  3. An observer removed during a post (by itself or another one) is not called afterwards.
///  4. Removal never waits for a callback running on another thread: an observer that may be
///     removed while another thread posts must hold its receiver weakly.
/// Any thread.
class NotificationCenter : public std::enable_shared_from_this<NotificationCenter> {
public:
    using Callback = std::function<void(const Notification&)>;

    /// The process-wide centre. `resetDefaultForTesting` replaces it with a fresh one.
    static std::shared_ptr<NotificationCenter> defaultCenter();
    static void resetDefaultForTesting();
    static std::shared_ptr<NotificationCenter> create();

    /// Observes notifications named `name` (every name when empty) from `sender` (every sender
    /// when null) until the returned token is destroyed.
    [[nodiscard]] ObserverToken addObserver(std::string name, const void* sender, Callback callback);

    void post(const Notification& notification);
    void post(std::string name, const void* sender = nullptr, Value userInfo = nullptr, std::any object = {});

    std::size_t observerCount() const;

private:
    friend class ObserverToken;
    NotificationCenter() = default;
    void remove(const std::shared_ptr<ObserverToken::Entry>& entry);

    mutable std::mutex m_mutex; // guards m_entries and m_removedCount
    // Removed entries stay here, marked dead, until they are half of the list.
    std::vector<std::shared_ptr<ObserverToken::Entry>> m_entries;
    std::size_t m_removedCount = 0;
};

struct ObserverToken::Entry {
    std::string name;
    const void* sender = nullptr;
    NotificationCenter::Callback callback;
    std::atomic<bool> alive { true };
};

} // namespace morvix::platform
