#pragma once
// The service that tells the peer who the application is and what happens to it.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/ServiceObject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Timer.h"

#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class CursorLocationGestureRecognizer;

namespace platform {
class Event;
class View;
class Window;
}

/// The service object "morvix.App": the application's identity and versions, the library's own
/// versions and the resource base URL; "Pause" and "Resume" as the application resigns and
/// regains activity; the URL the application was opened with ("Open"); "Inactive" after a time
/// without touches; and the outcome of patch installs ("patchInstall"). Calls:
/// "startInactivityTimer" {"inactivityTime": ms}, "stopInactivityTimer", "reload" and
/// "installPatch" {"url"}. With `screenProtection` on, the session's screen fades out after a
/// failed exchange with the peer and back after a successful one, and hides at once when the
/// application resigns active.
///
/// The opened-with URL lives at class level: it waits there until a peer acknowledges it (the
/// next successful exchange), so that a URL arriving before the service exists still reaches
/// the peer, once. Made by the type table under its type name as id. Main thread.
class MorvixApp final : public RemoteClass<MorvixApp>, public ServiceObject {
public:
    static constexpr std::string_view kRemoteType = "morvix.App";
    static constexpr const char* kMorvixVersion = "2.0.0";
    static constexpr const char* kMorvixJsVersion = "1.3.0";

    MorvixApp(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);
    ~MorvixApp() override;

    static const PropertyTable& properties();
    /// The application's events and what it reports of itself.
    static const WireTable& wire();
    static const PropertyNames& remoteObjectProperties();

    void registered() override;
    void synchronize() override;
    /// "stopInactivityTimer", then the base.
    void destroy() override;

    /// Stores the URL the application was opened with until a peer acknowledges it.
    static void setOpenWithURL(std::optional<std::string> url);
    static std::optional<std::string> openWithURL();
    /// Records "openUrl" and fires "Open" {"url"} in one message, whether listened or not.
    bool sendOpenURL();
    /// Hands an opened URL to the service of the session that owns `client`: stores it at class
    /// level and, when the service exists, sends it at once. What the session's URL hook calls.
    static void openedURL(ClientContext& client, const std::string& url);

    // Calls.
    void startInactivityTimer(const platform::Value* properties);
    void stopInactivityTimer(const platform::Value* properties);
    void reload(const platform::Value* properties);
    void installPatch(const platform::Value* properties);

    // Properties.
    void setScreenProtection(bool protect);
    bool screenProtection() const { return m_screenProtection; }
    void setBadgeNumber(std::optional<platform::Value> number);
    std::optional<platform::Value> badgeNumber() const { return platform::Value(m_badgeNumber); }
    std::optional<platform::Value> inactivityTime() const;
    std::optional<std::string> appId() const;
    std::optional<std::string> version() const;
    std::optional<std::string> versionId() const;
    std::optional<std::string> morvixVersion() const { return std::string(kMorvixVersion); }
    std::optional<std::string> morvixJsVersion() const { return std::string(kMorvixJsVersion); }
    /// The server URL with every "/package.json" removed.
    std::optional<std::string> resourceBaseUrl() const;

    /// The whole seconds of an inactivity time in milliseconds, at least 1 and at most the
    /// longest delay of a timer (`WireNumber::kMaximumDelaySeconds`); nothing for a missing,
    /// non-numeric or non-positive time (which stops the timer instead).
    static std::optional<long> inactivitySeconds(const std::optional<platform::Value>& milliseconds);

private:
    static void waitForAcknowledgement();
    void startTimer();
    void installActivityRecognizer();
    void removeActivityRecognizer();
    void activityDetected(const platform::Event& event);
    void timerFired();
    void paused();
    void resumed();
    void hideScreen(double duration);
    void showScreen();
    std::shared_ptr<platform::View> screen() const;
    void reportPatchInstall(const char* key, platform::Value value);

    bool m_pauseListener = false;
    bool m_resumeListener = false;
    bool m_patchInstallListener = false;
    bool m_screenProtection = false;
    long m_badgeNumber = 0;
    std::optional<long> m_inactivityMilliseconds;
    platform::Timer m_timer;
    std::shared_ptr<CursorLocationGestureRecognizer> m_activityRecognizer;
    std::weak_ptr<platform::Window> m_recognizerWindow;
    platform::ObserverToken m_resignObserver;
    platform::ObserverToken m_activeObserver;
    platform::ObserverToken m_succeededObserver;
    platform::ObserverToken m_failedObserver;
};

} // namespace morvix
