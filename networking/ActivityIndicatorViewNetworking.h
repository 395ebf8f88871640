#pragma once
// Activity indicators that spin while an operation runs.

#include <memory>

namespace morvix::platform {
class ActivityIndicatorView;
}

namespace morvix {

class NetActivityIndicatorViewNotificationObserver;
class NetURLConnectionOperation;

/// Ties an activity indicator to an operation through the indicator's own
/// `NetActivityIndicatorViewNotificationObserver`, made on first use and kept for the
/// indicator's life. Main thread only.
class ActivityIndicatorViewNetworking final {
public:
    /// The indicator follows `operation` from now on (see the observer); null or a finished
    /// operation only ends the following of an earlier one.
    static void setAnimatingWithStateOfOperation(platform::ActivityIndicatorView& view,
        const std::shared_ptr<NetURLConnectionOperation>& operation);
    /// The indicator's observer, made on first use.
    static std::shared_ptr<NetActivityIndicatorViewNotificationObserver> notificationObserver(platform::ActivityIndicatorView& view);

    ActivityIndicatorViewNetworking() = delete;
};

} // namespace morvix
