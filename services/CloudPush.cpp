#include "services/CloudPush.h"

#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "core/session/ProtocolTransport.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"

namespace morvix {

using platform::Value;

namespace {

// The class-level payload and the one observation that clears it. Main thread.
struct WaitingMessage {
    std::optional<std::string> text;
    platform::ObserverToken acknowledgement;
};

WaitingMessage& waiting()
{
    static WaitingMessage state;
    return state;
}

constexpr EventDeclaration kRegisteredEvent {
    .listen = "notification",
    .name = "Registered",
    .attributes = R"({"token": string})",
    .sentWithoutListen = true,
    .note = "when the system has given the device's push token, in hexadecimal digits; listening to \"notification\" "
            "true is what registers the application for push notifications",
};
constexpr EventDeclaration kErrorReceivedEvent {
    .listen = "notification",
    .name = "ErrorReceived",
    .attributes = R"({"errorMessage": string})",
    .sentWithoutListen = true,
    .note = "when registering the application for push notifications (listening to \"notification\" true) failed",
};
constexpr EventDeclaration kMessageReceivedEvent {
    .name = "MessageReceived",
    .sentWithoutListen = true,
    .note = "after \"message\", when a push notification arrives while the application runs",
};
constexpr ReportDeclaration kMessageReport {
    .name = "message",
    .kind = "string",
    .note = "the JSON text of a push notification's payload: with \"MessageReceived\", or scheduled when the session "
            "starts if a notification launched the application; kept and sent again until an exchange succeeds",
};

} // namespace

const WireTable& CloudPush::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire())
                                       .event(kRegisteredEvent)
                                       .event(kErrorReceivedEvent)
                                       .event(kMessageReceivedEvent)
                                       .report(kMessageReport);
    return table;
}

CloudPush::CloudPush(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
}

const PropertyTable& CloudPush::properties()
{
    static const PropertyTable table = PropertyTable::extend<CloudPush>(BasicObject::properties())
                                           .boolean("notificationListener", &CloudPush::setNotificationListener, &CloudPush::notificationListener);
    return table;
}

void CloudPush::setNotificationListener(bool listening)
{
    m_notificationListener = listening;
    if (!listening)
        return;
    // The headless platform is a newer system: settings first, then the push token.
    auto& application = platform::Application::shared();
    using Types = platform::Application::UserNotificationTypes;
    application.registerUserNotificationSettings(Types::kBadge | Types::kSound | Types::kAlert, {});
    application.registerForRemoteNotifications();
}

void CloudPush::synchronize()
{
    auto text = message();
    if (!text)
        return;
    Notifications::forObject(objectId())->report(kMessageReport, *text).schedule();
    waitForAcknowledgement();
}

std::string CloudPush::hexadecimal(const std::vector<std::uint8_t>& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (auto byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xf];
    }
    return text;
}

void CloudPush::didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<std::uint8_t>& token)
{
    Value attributes = Value::object();
    attributes["token"] = hexadecimal(token);
    Notifications::forObject(objectId())->fire(kRegisteredEvent, std::move(attributes));
}

void CloudPush::didFailToRegisterForRemoteNotificationsWithError(const platform::Error& error)
{
    Value attributes = Value::object();
    attributes["errorMessage"] = error.hasDescription() ? error.description() : std::string(kRegistrationFailed);
    Notifications::forObject(objectId())->fire(kErrorReceivedEvent, std::move(attributes));
}

void CloudPush::didReceiveRemoteNotification(const Value& payload)
{
    std::string text = payload.dump(-1, ' ', false, Value::error_handler_t::replace);
    setMessage(text);
    Notifications::forObject(objectId())->report(kMessageReport, text).fire(kMessageReceivedEvent, Value::object());
    waitForAcknowledgement();
}

void CloudPush::setMessage(std::optional<std::string> message)
{
    platform::assertOnMainThread();
    waiting().text = std::move(message);
}

std::optional<std::string> CloudPush::message()
{
    return waiting().text;
}

void CloudPush::resetForTesting()
{
    auto& state = waiting();
    state.text.reset();
    state.acknowledgement.reset();
}

void CloudPush::waitForAcknowledgement()
{
    auto& state = waiting();
    // One observer at a time: a new one replaces (removes) the one before.
    state.acknowledgement.reset();
    state.acknowledgement = platform::NotificationCenter::defaultCenter()->addObserver(ProtocolTransport::kOperationSucceeded, nullptr,
        [](const platform::Notification&) {
            // The transport posts on the main loop, where the token may go.
            auto& current = waiting();
            current.text.reset();
            current.acknowledgement.reset();
        });
}

} // namespace morvix
