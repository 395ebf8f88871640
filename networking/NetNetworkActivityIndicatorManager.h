#pragma once
// Drives the application's network activity indicator from the HTTP layer's notifications.

#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Timer.h"
#include "platform/net/URLRequest.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace morvix {

/// What a session task hands along with its resume, suspend and complete notifications, so
/// that the indicator can tell which request they are about. Task notifications carry a
/// `std::shared_ptr<NetOriginalRequestProviding>` as their object.
class NetOriginalRequestProviding {
public:
    virtual ~NetOriginalRequestProviding() = default;
    virtual std::optional<platform::URLRequest> originalRequest() const = 0;
};

inline constexpr const char* NetworkingTaskDidResumeNotification = "com.pelvarine.networking.task.resume";
inline constexpr const char* NetworkingTaskDidSuspendNotification = "com.pelvarine.networking.task.suspend";
inline constexpr const char* NetworkingTaskDidCompleteNotification = "com.pelvarine.networking.task.complete";

/// The request a start or finish notification is about: an operation's request, a task's
/// original request, or nothing for any other object.
std::optional<platform::URLRequest> NetNetworkRequestFromNotification(const platform::Notification& notification);

/// Counts the requests that are running, from the start and finish notifications of request
/// operations and the resume, suspend and complete notifications of session tasks, and shows
/// the application's network activity indicator while the count is above zero. The indicator
/// comes on one main-loop turn after the count rises; it goes off 0.17 s after the count last
/// reached zero, unless it rose again meanwhile. Until `setEnabled(true)` it counts but never
/// touches the indicator.
///
/// Rules:
///  1. A notification counts only when it is about a request with a URL.
///  2. A finish lowers the count only for an object whose start was counted, so an operation
///     cancelled before it started cannot hide the indicator while another request runs. The
///     count never goes below zero.
///  3. The hide timer reads the count when it fires: if requests run by then, the indicator
///     stays on.
///
/// Thread safety: the counting entry points may be called on any thread (notifications arrive
/// on the posting thread); the count is guarded by the manager's mutex and `onActivityCountChanged`
/// is called outside it. The indicator and the timer are touched on the main loop only.
class NetNetworkActivityIndicatorManager : public std::enable_shared_from_this<NetNetworkActivityIndicatorManager> {
public:
    static constexpr auto kInvisibilityDelay = std::chrono::milliseconds(170);

    /// The process-wide manager, made on first use.
    static std::shared_ptr<NetNetworkActivityIndicatorManager> sharedManager();
    /// A manager of its own, observing the default notification centre (tests).
    static std::shared_ptr<NetNetworkActivityIndicatorManager> create();

    ~NetNetworkActivityIndicatorManager();
    NetNetworkActivityIndicatorManager(const NetNetworkActivityIndicatorManager&) = delete;
    NetNetworkActivityIndicatorManager& operator=(const NetNetworkActivityIndicatorManager&) = delete;

    /// Changing it does not update the indicator by itself.
    bool isEnabled() const { return m_enabled.load(); }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    long activityCount() const;
    bool isNetworkActivityIndicatorVisible() const { return activityCount() > 0; }

    void incrementActivityCount();
    /// Lowers the count by one, never below zero.
    void decrementActivityCount();
    /// Sets the count; zero also forgets which objects were counted.
    void setActivityCount(long count);

    void networkRequestDidStart(const platform::Notification& notification);
    void networkRequestDidFinish(const platform::Notification& notification);

    /// Called with the new count after each change, on the thread that changed it.
    std::function<void(long)> onActivityCountChanged;

private:
    NetNetworkActivityIndicatorManager() = default;
    void observe();
    void changeCount(const std::function<long(long)>& change);
    void updateNetworkActivityIndicatorVisibilityDelayed();
    void updateNetworkActivityIndicatorVisibility();
    void postToMain(void (NetNetworkActivityIndicatorManager::*method)());

    std::atomic<bool> m_enabled { false };
    mutable std::mutex m_mutex; // guards m_activityCount and m_counted
    long m_activityCount = 0;
    // The objects whose start was counted and not yet matched by a finish, by address, held
    // weakly so that a new object at a reused address is not taken for an old one.
    std::map<const void*, std::pair<std::weak_ptr<const void>, long>> m_counted;
    platform::Timer m_activityIndicatorVisibilityTimer; // main loop only
    std::vector<platform::ObserverToken> m_observers;
};

} // namespace morvix
