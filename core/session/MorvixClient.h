#pragma once
// The session object an embedding application creates to run the library.

#include "core/objects/ClientContext.h"
#include "core/outgoing/Binding.h"
#include "core/protocol/CommandOperator.h"
#include "core/session/ApplicationFrameClient.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/net/Url.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {
class Error;
class View;
class ViewController;
class Window;
}

namespace morvix {

class ErrorHandler;
class ApplicationFrameController;
class MorvixClientDelegate;
class MorvixClientErrorDelegate;
class MorvixHTTPClient;
class NotificationsDispatcher;
class PatchStore;
class WidgetRegistry;

/// One session of the library on one window: it builds the session's parts, answers the
/// remote objects' questions (registry, command operator, HTTP client, root view, the
/// delegate's settings) and offers the application its controls.
///
/// Usage:
///
///     MainLoop::main().bindToCurrentThread();         // before the session posts anything
///     auto client = MorvixClient::create(window);      // null on a system that is too old
///     client->setDelegate(delegate);                   // gives serverURL and the settings
///     MainLoop::main().run();
///     // ... the delegate hears clientDidBecomeReady on the first orientation notification,
///     // which the device posts on the loop's first turn, and calls:
///     client->load();
///
/// Construction, in this order: observes the device's orientation notifications and has the
/// device start generating them (it posts its current orientation once, on the main loop, so
/// that the application has set the delegate by then); makes the root view (a plain view
/// filling the window; the application frame plugs in here when it lands); the object registry
/// and the command operator; makes the window key and visible; an HTTP client for the
/// delegate's server URL; the notifications dispatcher on the default centre; one binding from
/// each factory (the server binding by default; a script binding reads a folder or file URL
/// instead).
///
/// `load` starts the session anew: it resets the dispatcher (and with it every binding), closes
/// the error presenters, empties the registry, removes the files its objects left (the
/// session budget's), replaces the HTTP client (objects must not keep it) and starts the
/// dispatcher, whose bindings open the session.
///
/// The window and both delegates are held weakly. Main thread, except where a method says
/// otherwise (`log`, `setLogObserver`, `httpClient`, the response size limit).
class MorvixClient final : public ClientContext,
                           public CommandOperator::Session,
                           public ApplicationFrameClient,
                           public std::enable_shared_from_this<MorvixClient> {
public:
    enum class ApplicationFrame { Off, On };

    static constexpr const char* kDidEnterBackgroundNotification = "com.zerivoquastel.morvix.DidEnterBackground";
    static constexpr const char* kOrientationNotification = platform::DeviceInfo::kOrientationDidChangeNotification;
    /// Posted when an exchange with the peer failed; the session repeats it once before the
    /// error reaches the error delegate. The notification that a message has been applied
    /// (`BasicObject::kProcessingFinished`) follows either way.
    static constexpr const char* kOperationFailedNotification = "com.zerivoquastel.morvix.OperationFailed";
    static constexpr const char* kTooOldMessage = "*** This iOS version is too old to run Morvix. ***";
    static constexpr std::int64_t kDefaultRequestTimeout = 90;
    static constexpr std::size_t kDefaultMaximumResponseSize = std::size_t(256) * 1024 * 1024;

    /// Where the application's log observer is called.
    enum class LogDelivery {
        /// On the main loop, on a later turn, in the order the entries were logged.
        MainLoop,
        /// At once, on the thread that logs the entry (the main thread, the network thread, a
        /// script's thread...), while the main thread may be busy: the observer must be safe to
        /// call from any thread and concurrently, and must not wait for the main thread.
        AnyThread,
    };

    /// With the server binding and the application frame on.
    static std::shared_ptr<MorvixClient> create(std::shared_ptr<platform::Window> window);
    /// Null, after writing kTooOldMessage to the system log, when the system version
    /// is below the library's minimum. A factory that makes nothing is skipped.
    static std::shared_ptr<MorvixClient> create(std::shared_ptr<platform::Window> window, std::vector<BindingFactory> bindings,
        ApplicationFrame frame = ApplicationFrame::On);
    /// The factory of the HTTP server binding.
    static BindingFactory serverBinding();
    ~MorvixClient() override;
    MorvixClient(const MorvixClient&) = delete;
    MorvixClient& operator=(const MorvixClient&) = delete;

    // Delegates.
    std::shared_ptr<MorvixClientDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<MorvixClientDelegate> delegate);
    std::shared_ptr<MorvixClientErrorDelegate> errorDelegate() const { return m_errorDelegate.lock(); }
    void setErrorDelegate(std::weak_ptr<MorvixClientErrorDelegate> delegate) { m_errorDelegate = std::move(delegate); }
    /// The built-in presenter, made on the first error without an error delegate; null before.
    std::shared_ptr<ErrorHandler> errorHandler() const { return m_errorHandler; }

    // The delegate's settings with their defaults.
    /// Empty when there is no delegate.
    std::string serverURL() const;
    bool statusBarHidden() const override;
    /// The active patches' folders, newest first, then the delegate's roots; nothing when empty.
    /// Any thread.
    std::optional<std::vector<std::string>> localResourceRoots() const;
    bool logRequests() const;
    bool logResponses() const;
    bool useSSLStrict() const;
    bool useInfiniteRequestTimeout() const;
    std::int64_t requestTimeout() const;
    std::optional<std::string> requiredServerId() const;
    std::optional<bool> defaultAutoCapitalization() const;
    std::optional<bool> defaultAutoCorrection() const;
    /// The delegate's `enableDeveloperConsole`, else its `enableReload`, else false.
    bool enableDeveloperConsole() const;

    // Parts of the session.
    std::shared_ptr<platform::Window> window() const override { return m_window.lock(); }
    /// The root view of the session's interface.
    std::shared_ptr<platform::View> view() const { return m_view; }
    /// The session's root view (`view()`), on which widgets without a display parent are shown.
    std::shared_ptr<platform::View> rootView() const override { return m_view; }
    /// The object registry's root object, or null while there is none.
    std::shared_ptr<RemoteObject> rootObject() const override;
    /// With the application frame on (and the widget layer's frame installed): the frame, whose
    /// root controller's view is `view()` and the window's root view controller. Null otherwise.
    std::shared_ptr<ApplicationFrameController> applicationFrameController() const { return m_frameController; }
    /// The frame's root controller; null without a frame.
    std::shared_ptr<platform::ViewController> rootController() const override;
    std::shared_ptr<ObjectRegistry> objectRegistry() override { return m_objectRegistry; }
    std::shared_ptr<CommandOperator> commandOperator() const { return m_commandOperator; }
    /// Replaced on every load; ask again rather than keep it. Any thread.
    std::shared_ptr<MorvixHTTPClient> httpClient() const override;
    std::shared_ptr<PatchStore> patchStore() const override;
    std::shared_ptr<NotificationsDispatcher> notificationsDispatcher() const { return m_dispatcher; }
    std::vector<std::shared_ptr<Binding>> bindings() const;
    static WidgetRegistry& widgetRegistry();
    ApplicationFrame applicationFrame() const { return m_frame; }

    // Session control.
    /// Starts a new session (see the class comment).
    void load() override;
    /// Adds `hook` to the functions every `load` of every session runs on the main thread,
    /// after the old session's objects are gone and before the new one starts: caches of the
    /// widget module that must not outlive a session empty themselves here (core cannot name
    /// them). Process-wide; hooks are never removed. Any thread.
    static void addLoadHook(std::function<void()> hook);
    /// Suspends the bindings and closes the error presenters unless already suspended; posts
    /// kDidEnterBackgroundNotification every time. True when it changed the state.
    bool suspend();
    /// Makes the window key; resumes the bindings when suspended. True when it changed the state.
    bool resume();
    /// Makes the window key and repeats the last failed exchange.
    void retry();
    /// Ends the exchange with the peer (the server binding announces "shutdown"), when active.
    void terminate();
    bool isActive() const;
    bool isSuspended() const { return m_suspended; }
    /// Whether the ready signal has been given (or skipped in test mode).
    bool isFrameworkStarted() const { return m_frameworkStarted; }
    /// Seconds since the current session was loaded, on the process clock.
    double timeInSession() const override;

    // Services to remote objects and the application.
    /// The HTTP client's `relativeURLToServer`; nothing before the first load. Any thread.
    std::optional<platform::Url> relativeURLToServer(const std::string& text) const override;
    /// The HTTP client's `imageFromPath`; null before the first load. Blocks. Any thread.
    std::shared_ptr<platform::Image> imageFromPath(const std::string& path) const override;
    std::shared_ptr<RemoteObject> objectById(const std::string& id) override;
    void removeObjectById(const std::string& id) override;
    /// Hands `entry` to the developer console on the main loop; nothing without a console.
    /// The application's log observer, when it set one, gets the entry as its delivery says.
    /// Any thread.
    void log(const LogEntry& entry) override;
    /// Called with every entry of the session log (console output of a script peer, failed
    /// operations' reports, logged errors); an application without a developer console shows
    /// them with it. With `LogDelivery::MainLoop`, on the main loop in the order they were
    /// logged; with `LogDelivery::AnyThread`, at once on the logging thread (see LogDelivery),
    /// so that entries still arrive while a runaway script holds the main thread. Replaces any
    /// earlier observer; an empty function removes it (entries already handed to the main
    /// loop still reach the observer they were logged for). Any thread.
    void setLogObserver(std::function<void(const LogEntry&)> observer, LogDelivery delivery = LogDelivery::MainLoop);
    /// Logs the error's description, then a line break and its failure reason when it has one.
    void logError(const platform::Error& error);
    /// `logError`, then hands the error to the error delegate, or to the built-in handler.
    void displayError(const platform::Error& error);
    /// Withdraws whatever the error delegate and the built-in handler present.
    void closeErrorHandler();

    /// The registry's application service ("morvix.App") and cloud-push service
    /// ("morvix.CloudPush"); null when the session has none.
    std::shared_ptr<RemoteObject> appService();
    std::shared_ptr<RemoteObject> pushService();

    // Application events.
    /// What becomes of a URL the application was opened with: the services install it (core
    /// cannot name them), and the application service reports it to the peer.
    using OpenURLHandler = std::function<void(MorvixClient& client, const std::string& url)>;
    static void setOpenURLHandler(OpenURLHandler handler);
    /// Hands the URL to the installed handler. Always true. Main thread.
    bool openURL(const std::string& url, const std::string& sourceApplication, const platform::Value& annotation);
    /// Keeps the push message the application was launched with: the JSON text of the option
    /// "UIApplicationLaunchOptionsRemoteNotificationKey", or nothing when it is absent.
    void didFinishLaunchingWithOptions(const platform::Value& options);
    std::optional<std::string> launchPushMessage() const { return m_launchPushMessage; }
    /// Where `didFinishLaunchingWithOptions` hands the launch push message (or nothing): the
    /// push service keeps it (core cannot name it). Process-wide; any thread.
    using LaunchPushMessageHandler = std::function<void(const std::optional<std::string>& message)>;
    static void setLaunchPushMessageHandler(LaunchPushMessageHandler handler);
    /// The platform's push hooks, which the embedding application forwards: each goes to the
    /// "morvix.CloudPush" service when the session has one (looked up, never created).
    void didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<std::uint8_t>& token);
    void didFailToRegisterForRemoteNotificationsWithError(const platform::Error& error);
    void didReceiveRemoteNotification(const platform::Value& payload);

    /// The largest response body the session takes from its server, counted after the body's
    /// content encoding is undone. A response that grows past it is cancelled and reported as a
    /// response that could not be parsed. Any thread; requests started afterwards use it.
    std::size_t maximumResponseSize() const { return m_maximumResponseSize.load(); }
    void setMaximumResponseSize(std::size_t bytes) { m_maximumResponseSize = bytes; }

    // The application frame's drawers. Without a frame (or one without a drawer container)
    // the requests do nothing.
    /// True when any binding supplies the left drawer itself (the rest are not asked).
    bool supportsCustomDrawer() const override;
    /// The session's drawer object ("morvix.Drawer"), or null.
    std::shared_ptr<RemoteObject> drawer() const override { return m_drawer; }
    /// Stores the drawer object (none: null); the left drawer becomes its controller, or the
    /// default left drawer: none when `supportsCustomDrawer`, else the top-level menu.
    void setDrawer(std::shared_ptr<RemoteObject> drawer) override;
    bool hasDrawer() const override { return m_drawer != nullptr; }
    bool topLevelMenuHasChoices() const override;
    /// The open gesture is the bezel pan, or none: with a custom drawer, the pan when a drawer
    /// object exists or the developer console is enabled; otherwise when `enabled` or the
    /// developer console is enabled.
    void enableDrawerGesture(bool enabled) override;
    bool isDrawerGestureEnabled() const;
    /// Toggles the left drawer, animated.
    void toggleTopLevelMenu() override;
    void openDrawer() override;
    void closeDrawer() override;
    /// Toggles the right drawer (the developer console), animated.
    void showDeveloperConsole();
    /// The developer console, when the delegate enables it; null otherwise.
    std::shared_ptr<platform::ViewController> developerConsole() const;
    /// The drawer container's status-bar area colour; none gives the interface's default.
    void setStatusBarBackgroundColor(const std::optional<platform::Color>& color) override;

    // CommandOperator::Session.
    std::shared_ptr<ClientContext> clientContext() override { return shared_from_this(); }
    /// A session whose base URL is http or https takes only an http or https URL: anything
    /// else is refused with an error in the session log, and the base URL stays.
    void changeBaseURL(const std::string& url) override;
    void receivedRequestCounter(long counter) override;
    void setMorvixUIActive(bool active) override;
    bool morvixUIActive() const override { return m_morvixUIActive; }
    bool isProcessingMessage() const override;

    /// The boolean value of the environment variable "TESTMODE": true for a text starting, after
    /// spaces, a sign and zeros, with Y, y, T, t or a digit 1 to 9.
    static bool isInTestMode();
    static bool parseBoolean(const char* text);

private:
    MorvixClient(std::shared_ptr<platform::Window> window, ApplicationFrame frame);
    void initializeClient(std::vector<BindingFactory> bindings);
    void startFramework();
    std::shared_ptr<MorvixClientErrorDelegate> errorPresenter();
    /// The open gesture follows its own state again, and the developer console is made anew
    /// (or dropped) from the delegate's setting.
    void updateBezelPanning();

    std::weak_ptr<platform::Window> m_window;
    ApplicationFrame m_frame;
    std::weak_ptr<MorvixClientDelegate> m_delegate;
    std::weak_ptr<MorvixClientErrorDelegate> m_errorDelegate;
    std::shared_ptr<ErrorHandler> m_errorHandler;
    struct LogObserver {
        std::function<void(const LogEntry&)> function;
        LogDelivery delivery;
    };
    std::mutex m_logObserverMutex; // guards m_logObserver
    std::shared_ptr<const LogObserver> m_logObserver;
    std::shared_ptr<platform::View> m_view;
    std::shared_ptr<ApplicationFrameController> m_frameController;
    std::shared_ptr<RemoteObject> m_drawer;
    std::shared_ptr<ObjectRegistry> m_objectRegistry;
    std::shared_ptr<CommandOperator> m_commandOperator;
    mutable std::mutex m_httpClientMutex; // guards m_httpClient, which `load` replaces while other threads read it
    std::shared_ptr<MorvixHTTPClient> m_httpClient;
    mutable std::mutex m_patchStoreMutex; // guards m_patchStore, which the first `load` sets while other threads read it
    std::shared_ptr<PatchStore> m_patchStore;
    std::atomic<std::size_t> m_maximumResponseSize = kDefaultMaximumResponseSize;
    std::shared_ptr<NotificationsDispatcher> m_dispatcher;
    platform::TimePoint m_startTime {};
    bool m_suspended = false;
    bool m_frameworkStarted = false;
    bool m_morvixUIActive = false;
    std::optional<std::string> m_launchPushMessage;
    platform::ObserverToken m_orientationObserver;
};

} // namespace morvix
