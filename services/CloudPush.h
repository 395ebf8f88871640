#pragma once
// The peer's push registration and push messages.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/ServiceObject.h"
#include "core/session/RemoteNotificationReceiver.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

/// The service object "morvix.CloudPush". "listen" {"notification": true} sets
/// `notificationListener` and registers for push messages (notification settings badge, sound
/// and alert without categories, then remote notifications), every time; false only clears the
/// flag. What the session forwards of the platform's answers goes to the peer at once, whatever
/// the listener:
///  - a device token: "Registered" {"token"}, its bytes as contiguous lower-case hexadecimal;
///  - a failed registration: "ErrorReceived" {"errorMessage"}, the error's own description or
///    "Did fail to register for remote notifications" when it has none;
///  - a push message: "MessageReceived" {} with the property "message" (the payload as JSON
///    text) in the same message.
///
/// The last payload the peer has not acknowledged lives at class level: the one that launched
/// the application (`setMessage`, from the session's launch hook) or the last one received. A
/// synchronisation reports it as "message"; the next successful exchange with any peer clears
/// it. Made by the type table under its type name as id. Main thread.
class CloudPush final : public RemoteClass<CloudPush>, public ServiceObject, public RemoteNotificationReceiver {
public:
    static constexpr std::string_view kRemoteType = "morvix.CloudPush";
    static constexpr const char* kRegistrationFailed = "Did fail to register for remote notifications";

    CloudPush(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);

    static const PropertyTable& properties();
    /// The push events and "message".
    static const WireTable& wire();

    /// Schedules "message" when a payload is waiting, and waits for its acknowledgement.
    void synchronize() override;

    void setNotificationListener(bool listening);
    bool notificationListener() const { return m_notificationListener; }

    // RemoteNotificationReceiver.
    void didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<std::uint8_t>& token) override;
    void didFailToRegisterForRemoteNotificationsWithError(const platform::Error& error) override;
    void didReceiveRemoteNotification(const platform::Value& payload) override;

    /// The waiting payload's JSON text (nothing: none). Setting it does not wait for an
    /// acknowledgement by itself; the synchronisation that reports it does.
    static void setMessage(std::optional<std::string> message);
    static std::optional<std::string> message();
    /// Forgets the payload and its acknowledgement observer.
    static void resetForTesting();

    /// `bytes` as contiguous lower-case hexadecimal digits.
    static std::string hexadecimal(const std::vector<std::uint8_t>& bytes);

private:
    static void waitForAcknowledgement();

    bool m_notificationListener = false;
};

} // namespace morvix
