#pragma once
// The application object: windows, status bar, alerts on screen, system facilities.

#include "platform/graphics/Rect.h"
#include "platform/ui/Forward.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

class PopoverController;

/// Interface orientations by the platform's numbers.
enum class InterfaceOrientation { Unknown = 0, Portrait = 1, PortraitUpsideDown = 2, LandscapeRight = 3, LandscapeLeft = 4 };
/// Sets of interface orientations: bit n stands for the orientation numbered n.
namespace InterfaceOrientationMask {
inline constexpr unsigned Portrait = 1u << 1;
inline constexpr unsigned PortraitUpsideDown = 1u << 2;
inline constexpr unsigned LandscapeRight = 1u << 3;
inline constexpr unsigned LandscapeLeft = 1u << 4;
inline constexpr unsigned All = Portrait | PortraitUpsideDown | LandscapeRight | LandscapeLeft;
}

/// What the embedding application tells about itself. It has nothing of its own to answer: parts
/// of the library that need more of the application look for their own interface on it with
/// `dynamic_cast`.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
};

/// The process's application object: the windows and the key window, the status bar's frame,
/// orientation and visibility, the alerts and action sheets being shown, the network activity
/// indicator, and the recorded calls of facilities the headless device does not have (system
/// sounds). Main thread only, but for background tasks (any thread).
class Application final {
public:
    using BackgroundTaskIdentifier = unsigned long;
    /// Never answered by `beginBackgroundTask`; callers use it for "no task".
    static constexpr BackgroundTaskIdentifier kInvalidBackgroundTask = 0;

    static Application& shared();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    /// Posted by `simulateMemoryWarning` before the controllers hear of it.
    static constexpr const char* kMemoryWarningNotification = "UIApplicationDidReceiveMemoryWarningNotification";
    /// Posted, without object or user info, before the interface turns to a new orientation.
    static constexpr const char* kWillChangeStatusBarOrientationNotification = "UIApplicationWillChangeStatusBarOrientationNotification";
    /// Posted, without object or user info, once the interface has turned to a new orientation.
    static constexpr const char* kDidChangeStatusBarOrientationNotification = "UIApplicationDidChangeStatusBarOrientationNotification";

    /// The embedding application's delegate, held weakly; null until set.
    std::shared_ptr<ApplicationDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) { m_delegate = std::move(delegate); }

    const std::vector<std::shared_ptr<Window>>& windows() const { return m_windows; }
    /// Windows register themselves when made; the application keeps them until reset.
    void addWindow(const std::shared_ptr<Window>& window);
    void removeWindow(const Window& window);
    std::shared_ptr<Window> keyWindow() const { return m_keyWindow.lock(); }
    void setKeyWindow(const std::shared_ptr<Window>& window) { m_keyWindow = window; }

    Rect statusBarFrame() const { return m_statusBarHidden ? Rect() : m_statusBarFrame; }
    void setStatusBarFrame(const Rect& frame) { m_statusBarFrame = frame; }
    bool isStatusBarHidden() const { return m_statusBarHidden; }
    void setStatusBarHidden(bool hidden) { m_statusBarHidden = hidden; }
    /// The visible windows from the bottom up: by level, then in the order they were first shown.
    std::vector<std::shared_ptr<Window>> visibleWindowsInLevelOrder() const;
    /// The orientations the interface of `window` may take (`InterfaceOrientationMask` bits);
    /// all four unless set.
    unsigned supportedInterfaceOrientations(const Window* window) const { return (void)window, m_supportedOrientations; }
    void setSupportedInterfaceOrientations(unsigned mask) { m_supportedOrientations = mask; }
    /// Popovers on show, oldest first; each presents and dismisses itself here.
    const std::vector<std::shared_ptr<PopoverController>>& popovers() const { return m_popovers; }
    void addPopover(const std::shared_ptr<PopoverController>& popover);
    /// No-op when `popover` is not shown.
    void removePopover(const PopoverController& popover);
    InterfaceOrientation statusBarOrientation() const { return m_orientation; }
    void setStatusBarOrientation(InterfaceOrientation orientation) { m_orientation = orientation; }
    bool isNetworkActivityIndicatorVisible() const { return m_networkActivity; }
    void setNetworkActivityIndicatorVisible(bool visible) { m_networkActivity = visible; }

    /// Alerts and action sheets on screen, oldest first.
    const std::vector<std::shared_ptr<Alert>>& alerts() const { return m_alerts; }
    void showAlert(const std::shared_ptr<Alert>& alert);
    /// Takes an alert off the screen; no-op when it is not shown.
    void removeAlert(const Alert& alert);
    /// Presses the button titled `title` on the topmost alert that has one; false when none has.
    bool pressAlertButton(const std::string& title);

    /// Posts the memory-warning notification, then tells every controller reachable from the
    /// windows (children and presented controllers included).
    void simulateMemoryWarning();
    /// Calls `visit` on every controller reachable from the windows: each window's root, then
    /// depth first its children and its presented controller.
    void forEachViewController(const std::function<void(ViewController&)>& visit) const;

    // Activity. The headless application is always active: the embedding application (or a
    // test) plays the system's activity changes with the drivers below.

    /// Posted, without object or user info, by `simulateWillResignActive`.
    static constexpr const char* kWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
    /// Posted, without object or user info, by `simulateDidBecomeActive`.
    static constexpr const char* kDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
    void simulateWillResignActive();
    void simulateDidBecomeActive();

    /// Notification types the application asked the user for (`UserNotificationTypes` bits);
    /// recorded, there is no one to ask. Nothing until registered.
    struct UserNotificationTypes {
        static constexpr unsigned kBadge = 1;
        static constexpr unsigned kSound = 2;
        static constexpr unsigned kAlert = 4;
    };
    /// One registration the application asked for: notification settings (types and category
    /// names), or remote notifications (a push token, which the embedding application or a test
    /// answers through the session's push hooks).
    struct NotificationRegistration {
        enum class Kind { Settings, RemoteNotifications };
        Kind kind = Kind::Settings;
        unsigned types = 0;
        std::vector<std::string> categories;
    };
    void registerUserNotificationSettings(unsigned types, std::vector<std::string> categories = {})
    {
        m_userNotificationTypes = types;
        m_notificationRegistrations.push_back({ NotificationRegistration::Kind::Settings, types, std::move(categories) });
    }
    std::optional<unsigned> userNotificationSettings() const { return m_userNotificationTypes; }
    /// Recorded after the settings registrations, in the order asked; nobody answers by itself.
    void registerForRemoteNotifications() { m_notificationRegistrations.push_back({ NotificationRegistration::Kind::RemoteNotifications, 0, {} }); }
    const std::vector<NotificationRegistration>& notificationRegistrations() const { return m_notificationRegistrations; }
    /// The application icon's badge, for the embedding application to show.
    long applicationIconBadgeNumber() const { return m_badgeNumber; }
    void setApplicationIconBadgeNumber(long number) { m_badgeNumber = number; }

    /// Records a system sound; the headless device has no speaker.
    void playSystemSound(unsigned soundId) { m_sounds.push_back(soundId); }
    const std::vector<unsigned>& playedSystemSounds() const { return m_sounds; }

    /// How many of the latest URLs opened `openedURLs` keeps, and how many bytes of them
    /// together (the latest is kept whatever its size).
    static constexpr std::size_t kOpenedURLsKept = 32;
    static constexpr std::size_t kOpenedURLBytesKept = std::size_t(1) << 20;
    /// Records `url` (tests read `openedURLs`) and hands it to the handler the embedding
    /// application installed; answers whether a handler took it (false without one).
    bool openURL(const std::string& url);
    /// The latest URLs opened, oldest first, within `kOpenedURLsKept` and `kOpenedURLBytesKept`.
    const std::vector<std::string>& openedURLs() const { return m_openedURLs; }
    void setOpenURLHandler(std::function<bool(const std::string& url)> handler) { m_openURLHandler = std::move(handler); }
    /// Whether some application opens `url`: true when its scheme (compared without regard to
    /// case) is one the embedding application declared with `setOpenableSchemes`; none is by
    /// default, and a text without a scheme never is.
    bool canOpenURL(const std::string& url) const;
    void setOpenableSchemes(std::vector<std::string> schemes) { m_openableSchemes = std::move(schemes); }

    // Background tasks. A headless process is never suspended, so a task only records that work
    // asked to go on; nothing expires by itself. Tests or the embedding application call
    // `expireBackgroundTasks` to play the system's expiry. Any thread.

    /// Opens a task and answers its identifier (never `kInvalidBackgroundTask`). `expirationHandler`
    /// (may be null) is what `expireBackgroundTasks` runs for it.
    BackgroundTaskIdentifier beginBackgroundTask(std::function<void()> expirationHandler);
    /// Ends a task; ending one that is not open (the invalid identifier included) does nothing.
    void endBackgroundTask(BackgroundTaskIdentifier identifier);
    /// The open tasks, oldest first.
    std::vector<BackgroundTaskIdentifier> openBackgroundTasks() const;
    /// Runs the expiration handler of every task open now, oldest first, on the calling thread
    /// and without a lock held, so that a handler may end its task (as it should) or begin
    /// another. A task its handler leaves open stays open.
    void expireBackgroundTasks();

    /// Forgets the delegate, windows, alerts, background tasks and recorded calls, and restores the defaults.
    void resetForTesting();

private:
    Application() = default;
    std::weak_ptr<ApplicationDelegate> m_delegate;
    std::vector<std::shared_ptr<Window>> m_windows;
    std::weak_ptr<Window> m_keyWindow;
    Rect m_statusBarFrame { 0, 0, 320, 20 };
    bool m_statusBarHidden = false;
    InterfaceOrientation m_orientation = InterfaceOrientation::Portrait;
    bool m_networkActivity = false;
    std::vector<std::shared_ptr<Alert>> m_alerts;
    std::vector<unsigned> m_sounds;
    std::optional<unsigned> m_userNotificationTypes;
    std::vector<NotificationRegistration> m_notificationRegistrations;
    long m_badgeNumber = 0;
    unsigned m_supportedOrientations = InterfaceOrientationMask::All;
    std::vector<std::shared_ptr<PopoverController>> m_popovers;
    std::vector<std::string> m_openedURLs;
    std::size_t m_openedURLBytes = 0;
    std::function<bool(const std::string&)> m_openURLHandler;
    std::vector<std::string> m_openableSchemes;
};

} // namespace morvix::platform
