#pragma once
// Makes an activity indicator follow one operation's start and finish.

#include "platform/foundation/NotificationCenter.h"

#include <memory>

namespace morvix::platform {
class ActivityIndicatorView;
}

namespace morvix {

class NetURLConnectionOperation;

/// Spins an activity indicator while one operation runs: it listens to that operation's start
/// and finish notifications and starts or stops the indicator on the main loop for each. Holds
/// the indicator weakly; destroying the observer ends the observations. Main thread only.
class NetActivityIndicatorViewNotificationObserver final {
public:
    static std::shared_ptr<NetActivityIndicatorViewNotificationObserver> create(std::weak_ptr<platform::ActivityIndicatorView> view);
    NetActivityIndicatorViewNotificationObserver(const NetActivityIndicatorViewNotificationObserver&) = delete;
    NetActivityIndicatorViewNotificationObserver& operator=(const NetActivityIndicatorViewNotificationObserver&) = delete;

    std::shared_ptr<platform::ActivityIndicatorView> activityIndicatorView() const { return m_view.lock(); }

    /// Ends the observations of any earlier operation. Then, for an operation that has not
    /// finished, animates the indicator when the operation is executing and stops it otherwise,
    /// and follows the operation's notifications from now on. A null or finished operation
    /// leaves the indicator as it is.
    void setAnimatingWithStateOfOperation(const std::shared_ptr<NetURLConnectionOperation>& operation);

private:
    explicit NetActivityIndicatorViewNotificationObserver(std::weak_ptr<platform::ActivityIndicatorView> view);
    platform::ObserverToken observe(const char* name, const NetURLConnectionOperation& operation, bool animating);

    std::weak_ptr<platform::ActivityIndicatorView> m_view;
    platform::ObserverToken m_start;
    platform::ObserverToken m_finish;
};

} // namespace morvix
