#pragma once
// The interface through which the session hands the platform's push hooks to a service.

#include "platform/foundation/Value.h"

#include <cstdint>
#include <vector>

namespace morvix {

namespace platform {
class Error;
}

/// What the session forwards of push registration and delivery. The core cannot name the
/// service that reports them to the peer; it finds this interface on the object registered as
/// "morvix.CloudPush" instead. Main thread.
class RemoteNotificationReceiver {
public:
    virtual ~RemoteNotificationReceiver() = default;

    /// The platform registered the device and gave it `token`.
    virtual void didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<std::uint8_t>& token) = 0;
    /// The registration failed.
    virtual void didFailToRegisterForRemoteNotificationsWithError(const platform::Error& error) = 0;
    /// A push message arrived while the application runs; `payload` is its dictionary.
    virtual void didReceiveRemoteNotification(const platform::Value& payload) = 0;
};

} // namespace morvix
