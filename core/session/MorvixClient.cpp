#include "core/session/MorvixClient.h"

#include "core/base/LogEntry.h"
#include "core/base/OSUtil.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteObject.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "core/outgoing/ServerBinding.h"
#include "core/session/ApplicationFrame.h"
#include "core/session/ErrorHandler.h"
#include "core/session/MorvixClientDelegate.h"
#include "core/session/MorvixClientErrorDelegate.h"
#include "core/session/MorvixHTTPClient.h"
#include "core/session/PatchStore.h"
#include "core/session/ProtocolTransport.h"
#include "core/session/RemoteNotificationReceiver.h"
#include "core/session/ServerPush.h"
#include "core/session/URLCallbackReceiver.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SystemLog.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

namespace morvix {

static_assert(std::string_view(MorvixClient::kOperationFailedNotification) == ProtocolTransport::kOperationFailed);

namespace {

template<typename T, typename Getter>
std::optional<T> ask(const std::weak_ptr<MorvixClientDelegate>& weak, Getter getter)
{
    auto delegate = weak.lock();
    if (!delegate)
        return std::nullopt;
    return ((*delegate).*getter)();
}

} // namespace

std::shared_ptr<MorvixClient> MorvixClient::create(std::shared_ptr<platform::Window> window)
{
    return create(std::move(window), { serverBinding() }, ApplicationFrame::On);
}

std::shared_ptr<MorvixClient> MorvixClient::create(std::shared_ptr<platform::Window> window, std::vector<BindingFactory> bindings,
    ApplicationFrame frame)
{
    if (!OSUtil::minimalRequiredOSVersion()) {
        platform::systemLog(kTooOldMessage);
        return nullptr;
    }
    // The server push service belongs to every session; the type table registers it first
    // among the services, and a table without it (an application or test that registers its
    // own classes only) gets it here.
    auto& registry = WidgetRegistry::instance();
    if (!registry.getHandler(ServerPush::kRemoteType))
        registry.addHandler<ServerPush>();
    auto client = std::shared_ptr<MorvixClient>(new MorvixClient(std::move(window), frame));
    client->initializeClient(std::move(bindings));
    return client;
}

BindingFactory MorvixClient::serverBinding()
{
    return [](std::weak_ptr<MorvixClient> client) -> std::shared_ptr<Binding> {
        return ServerBinding::create(
            client, [](const std::weak_ptr<MorvixClient>& owner) { return ProtocolTransport::create(owner); },
            [client] {
                auto owner = client.lock();
                return owner ? owner->serverURL() : std::string();
            });
    };
}

MorvixClient::MorvixClient(std::shared_ptr<platform::Window> window, ApplicationFrame frame)
    : m_window(window)
    , m_frame(frame)
{
}

MorvixClient::~MorvixClient()
{
    m_orientationObserver.reset();
    if (m_frameController) {
        auto window = m_window.lock();
        if (window && window->rootViewController() == m_frameController->windowRootController())
            window->setRootViewController(nullptr);
    }
    if (m_view)
        m_view->removeFromSuperview();
}

void MorvixClient::initializeClient(std::vector<BindingFactory> bindings)
{
    // The first orientation notification gives the ready signal. The headless device posts
    // one on the main loop once it starts generating them; an application that posts its own
    // as well gets the signal once.
    m_orientationObserver = platform::NotificationCenter::defaultCenter()->addObserver(kOrientationNotification, nullptr,
        [weak = weak_from_this()](const platform::Notification&) {
            if (auto self = weak.lock())
                self->startFramework();
        });
    platform::DeviceInfo::beginGeneratingOrientationNotifications();
    auto window = m_window.lock();
    // With the application frame on, the frame's drawer container (the root controller in its
    // centre, the top-level menu as its left drawer) is the window's root view controller, and
    // the root controller's view is the session's view. With the frame off (or no frame
    // installed), the plain root view fills the window.
    if (m_frame == ApplicationFrame::On)
        m_frameController = ApplicationFrameController::make(std::weak_ptr<ApplicationFrameClient>(shared_from_this()));
    if (m_frameController) {
        m_view = m_frameController->rootController()->view();
        if (window)
            window->setRootViewController(m_frameController->windowRootController());
    } else {
        m_view = platform::View::create(window ? window->bounds() : platform::Rect {});
        m_view->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
        if (window)
            window->addSubview(m_view);
    }
    m_objectRegistry = ObjectRegistry::create();
    m_commandOperator = CommandOperator::create(std::weak_ptr<CommandOperator::Session>(shared_from_this()));
    if (window) {
        window->makeKeyAndVisible();
        window->setBackgroundColor(platform::Color::white()); // the interface's default background
    }
    {
        auto http = MorvixHTTPClient::create(serverURL(), weak_from_this());
        std::lock_guard lock(m_httpClientMutex);
        m_httpClient = std::move(http);
    }
    m_dispatcher = NotificationsDispatcher::create(platform::NotificationCenter::defaultCenter());
    for (const auto& factory : bindings) {
        if (!factory)
            continue;
        if (auto binding = factory(weak_from_this()))
            m_dispatcher->addBinding(std::move(binding));
    }
}

void MorvixClient::startFramework()
{
    if (m_frameworkStarted)
        return;
    m_frameworkStarted = true;
    if (isInTestMode())
        return;
    if (auto delegate = m_delegate.lock())
        delegate->clientDidBecomeReady(*this);
}

bool MorvixClient::parseBoolean(const char* text)
{
    if (!text)
        return false;
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    if (*text == '+' || *text == '-')
        ++text;
    while (*text == '0')
        ++text;
    char c = *text;
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

bool MorvixClient::isInTestMode()
{
    return parseBoolean(std::getenv("TESTMODE"));
}

void MorvixClient::setDelegate(std::weak_ptr<MorvixClientDelegate> delegate)
{
    m_delegate = std::move(delegate);
    setDrawer(nullptr);
    updateBezelPanning();
    if (m_frameController)
        m_frameController->setShowsStatusBarBackground(!statusBarHidden());
}

bool MorvixClient::supportsCustomDrawer() const
{
    if (!m_dispatcher)
        return false;
    auto all = m_dispatcher->bindings();
    return std::any_of(all.begin(), all.end(), [](const auto& binding) { return binding->supportsCustomDrawer(); });
}

void MorvixClient::setDrawer(std::shared_ptr<RemoteObject> drawer)
{
    m_drawer = std::move(drawer);
    if (m_frameController)
        m_frameController->setLeftDrawer(m_drawer, supportsCustomDrawer());
}

bool MorvixClient::topLevelMenuHasChoices() const
{
    return m_frameController && m_frameController->topLevelMenuHasChoices();
}

void MorvixClient::enableDrawerGesture(bool enabled)
{
    bool console = enableDeveloperConsole();
    bool open = supportsCustomDrawer() ? (m_drawer || console) : (enabled || console);
    if (m_frameController)
        m_frameController->setOpenDrawerGestureEnabled(open);
}

bool MorvixClient::isDrawerGestureEnabled() const
{
    return m_frameController && m_frameController->isOpenDrawerGestureEnabled();
}

void MorvixClient::updateBezelPanning()
{
    enableDrawerGesture(isDrawerGestureEnabled());
    if (m_frameController)
        m_frameController->setDeveloperConsoleEnabled(enableDeveloperConsole());
}

void MorvixClient::toggleTopLevelMenu()
{
    if (m_frameController)
        m_frameController->toggleDrawer(FrameDrawerSide::Left);
}

void MorvixClient::openDrawer()
{
    if (m_frameController)
        m_frameController->openLeftDrawer();
}

void MorvixClient::closeDrawer()
{
    if (m_frameController)
        m_frameController->closeDrawer();
}

void MorvixClient::showDeveloperConsole()
{
    if (m_frameController)
        m_frameController->toggleDrawer(FrameDrawerSide::Right);
}

std::shared_ptr<platform::ViewController> MorvixClient::developerConsole() const
{
    return m_frameController ? m_frameController->developerConsole() : nullptr;
}

void MorvixClient::setStatusBarBackgroundColor(const std::optional<platform::Color>& color)
{
    if (m_frameController)
        m_frameController->setStatusBarBackgroundColor(color);
}

std::string MorvixClient::serverURL() const
{
    auto delegate = m_delegate.lock();
    return delegate ? delegate->serverURL() : std::string();
}

bool MorvixClient::statusBarHidden() const
{
    return ask<bool>(m_delegate, &MorvixClientDelegate::statusBarHidden).value_or(false);
}

std::optional<std::vector<std::string>> MorvixClient::localResourceRoots() const
{
    // The active patches' folders go first, newest first, so a patch overrides the application.
    std::vector<std::string> roots;
    if (auto patches = patchStore())
        roots = patches->patches();
    auto own = ask<std::vector<std::string>>(m_delegate, &MorvixClientDelegate::localResourceRoots);
    if (own)
        roots.insert(roots.end(), own->begin(), own->end());
    if (roots.empty())
        return std::nullopt;
    return roots;
}

std::shared_ptr<PatchStore> MorvixClient::patchStore() const
{
    std::lock_guard lock(m_patchStoreMutex);
    return m_patchStore;
}

bool MorvixClient::logRequests() const
{
    return ask<bool>(m_delegate, &MorvixClientDelegate::logRequests).value_or(false);
}

bool MorvixClient::logResponses() const
{
    return ask<bool>(m_delegate, &MorvixClientDelegate::logResponses).value_or(false);
}

bool MorvixClient::useSSLStrict() const
{
    return ask<bool>(m_delegate, &MorvixClientDelegate::useSSLStrict).value_or(true);
}

bool MorvixClient::useInfiniteRequestTimeout() const
{
    return ask<bool>(m_delegate, &MorvixClientDelegate::useInfiniteRequestTimeout).value_or(false);
}

std::int64_t MorvixClient::requestTimeout() const
{
    return ask<std::int64_t>(m_delegate, &MorvixClientDelegate::requestTimeout).value_or(kDefaultRequestTimeout);
}

std::optional<std::string> MorvixClient::requiredServerId() const
{
    return ask<std::string>(m_delegate, &MorvixClientDelegate::requiredServerId);
}

std::optional<bool> MorvixClient::defaultAutoCapitalization() const
{
    return ask<bool>(m_delegate, &MorvixClientDelegate::useAutoCapitalization);
}

std::optional<bool> MorvixClient::defaultAutoCorrection() const
{
    return ask<bool>(m_delegate, &MorvixClientDelegate::useAutoCorrection);
}

bool MorvixClient::enableDeveloperConsole() const
{
    if (auto enabled = ask<bool>(m_delegate, &MorvixClientDelegate::enableDeveloperConsole))
        return *enabled;
    return ask<bool>(m_delegate, &MorvixClientDelegate::enableReload).value_or(false);
}

std::vector<std::shared_ptr<Binding>> MorvixClient::bindings() const
{
    return m_dispatcher->bindings();
}

WidgetRegistry& MorvixClient::widgetRegistry()
{
    return WidgetRegistry::instance();
}

namespace {

std::mutex g_loadHooksMutex; // guards g_loadHooks
std::vector<std::function<void()>> g_loadHooks;

void runLoadHooks()
{
    std::vector<std::function<void()>> hooks;
    {
        std::lock_guard lock(g_loadHooksMutex);
        hooks = g_loadHooks;
    }
    for (auto& hook : hooks)
        hook();
}

} // namespace

void MorvixClient::addLoadHook(std::function<void()> hook)
{
    if (!hook)
        return;
    std::lock_guard lock(g_loadHooksMutex);
    g_loadHooks.push_back(std::move(hook));
}

void MorvixClient::load()
{
    platform::assertOnMainThread();
    m_startTime = platform::Clock::current()->now();
    auto url = serverURL();
    // The frame's reset covers the root controller, the top-level menu and the console.
    if (m_frameController)
        m_frameController->reset();
    m_dispatcher->reset();
    closeErrorHandler();
    m_objectRegistry->reset();
    // What the old session's objects made on disk goes with them.
    sessionBudget()->endSession();
    if (auto old = httpClient())
        old->reset();
    runLoadHooks();
    auto http = MorvixHTTPClient::create(url, weak_from_this());
    {
        std::lock_guard lock(m_httpClientMutex);
        m_httpClient = std::move(http);
    }
    // One patch store for the session's life, made on the first load; every load activates the
    // patches stored for the server URL before the first message is fetched.
    std::shared_ptr<PatchStore> patches = patchStore();
    if (!patches) {
        patches = PatchStore::make(weak_from_this(), OSUtil::appVersion());
        std::lock_guard lock(m_patchStoreMutex);
        m_patchStore = patches;
    }
    if (patches)
        patches->activate(url);
    m_dispatcher->start();
}

bool MorvixClient::suspend()
{
    bool changed = false;
    if (!m_suspended) {
        m_dispatcher->suspend();
        m_suspended = true;
        closeErrorHandler();
        changed = true;
    }
    platform::NotificationCenter::defaultCenter()->post(kDidEnterBackgroundNotification);
    return changed;
}

bool MorvixClient::resume()
{
    if (auto window = m_window.lock())
        window->makeKeyAndVisible();
    if (!m_suspended)
        return false;
    m_dispatcher->resume();
    m_suspended = false;
    return true;
}

void MorvixClient::retry()
{
    if (auto window = m_window.lock())
        window->makeKeyAndVisible();
    m_dispatcher->retry();
}

void MorvixClient::terminate()
{
    if (isActive())
        m_dispatcher->stop();
}

bool MorvixClient::isActive() const
{
    return m_dispatcher->isActive();
}

double MorvixClient::timeInSession() const
{
    return std::chrono::duration<double>(platform::Clock::current()->now() - m_startTime).count();
}

std::shared_ptr<MorvixHTTPClient> MorvixClient::httpClient() const
{
    std::lock_guard lock(m_httpClientMutex);
    return m_httpClient;
}

std::optional<platform::Url> MorvixClient::relativeURLToServer(const std::string& text) const
{
    auto http = httpClient();
    return http ? http->relativeURLToServer(text) : std::nullopt;
}

std::shared_ptr<platform::Image> MorvixClient::imageFromPath(const std::string& path) const
{
    auto http = httpClient();
    return http ? http->imageFromPath(path) : nullptr;
}

std::shared_ptr<RemoteObject> MorvixClient::rootObject() const
{
    return m_objectRegistry->rootObject();
}

std::shared_ptr<RemoteObject> MorvixClient::objectById(const std::string& id)
{
    return m_objectRegistry->objectById(id);
}

void MorvixClient::removeObjectById(const std::string& id)
{
    m_objectRegistry->removeObjectById(id);
}

void MorvixClient::log(const LogEntry& entry)
{
    // The frame is made once, at construction, so reading it here is safe on any thread; the
    // console itself is only touched on the main loop.
    if (m_frameController) {
        platform::MainLoop::main().post([weak = weak_from_this(), entry] {
            auto self = weak.lock();
            if (self && self->m_frameController)
                self->m_frameController->logToConsole(entry);
        });
    }
    std::shared_ptr<const LogObserver> observer;
    {
        std::lock_guard lock(m_logObserverMutex);
        observer = m_logObserver;
    }
    if (!observer)
        return;
    switch (observer->delivery) {
    case LogDelivery::AnyThread:
        observer->function(entry);
        return;
    case LogDelivery::MainLoop:
        platform::MainLoop::main().post([observer, entry] { observer->function(entry); });
        return;
    }
}

void MorvixClient::setLogObserver(std::function<void(const LogEntry&)> observer, LogDelivery delivery)
{
    auto shared = observer ? std::make_shared<const LogObserver>(LogObserver { std::move(observer), delivery }) : nullptr;
    std::lock_guard lock(m_logObserverMutex);
    m_logObserver = std::move(shared);
}

void MorvixClient::logError(const platform::Error& error)
{
    std::string text = error.description();
    if (auto reason = error.failureReason()) {
        if (!text.empty())
            text += "\n";
        text += *reason;
    }
    if (auto entry = LogEntry::entryWithError(std::move(text)))
        log(*entry);
}

std::shared_ptr<MorvixClientErrorDelegate> MorvixClient::errorPresenter()
{
    if (auto delegate = m_errorDelegate.lock())
        return delegate;
    if (!m_errorHandler)
        m_errorHandler = ErrorHandler::create();
    return m_errorHandler;
}

void MorvixClient::displayError(const platform::Error& error)
{
    logError(error);
    errorPresenter()->errorOccured(error, shared_from_this());
}

void MorvixClient::closeErrorHandler()
{
    if (auto delegate = m_errorDelegate.lock())
        delegate->close();
    if (m_errorHandler)
        m_errorHandler->close();
}

std::shared_ptr<RemoteObject> MorvixClient::appService()
{
    return objectById("morvix.App");
}

std::shared_ptr<RemoteObject> MorvixClient::pushService()
{
    return objectById("morvix.CloudPush");
}

namespace {

std::mutex g_openURLHandlerMutex; // guards g_openURLHandler
MorvixClient::OpenURLHandler g_openURLHandler;
std::mutex g_launchPushMessageHandlerMutex; // guards g_launchPushMessageHandler
MorvixClient::LaunchPushMessageHandler g_launchPushMessageHandler;

} // namespace

void MorvixClient::setOpenURLHandler(OpenURLHandler handler)
{
    std::lock_guard lock(g_openURLHandlerMutex);
    g_openURLHandler = std::move(handler);
}

bool MorvixClient::openURL(const std::string& url, const std::string& sourceApplication, const platform::Value& annotation)
{
    (void)sourceApplication;
    (void)annotation;
    // An answer to an x-callback request goes to the object that asked, named by the first path
    // segment; every other URL (an id that names no such object included) is an opened-with URL.
    if (auto parsed = platform::Url::parse(url)) {
        auto segments = URLCallbackReceiver::pathSegments(*parsed);
        auto object = segments.empty() ? nullptr : objectById(segments.front());
        if (auto* receiver = dynamic_cast<URLCallbackReceiver*>(object.get())) {
            receiver->callbackWithURL(*parsed);
            return true;
        }
    }
    OpenURLHandler handler;
    {
        std::lock_guard lock(g_openURLHandlerMutex);
        handler = g_openURLHandler;
    }
    if (handler)
        handler(*this, url);
    return true;
}

void MorvixClient::didFinishLaunchingWithOptions(const platform::Value& options)
{
    // A normal launch has no push message: the absent option stays absent rather than being
    // serialised as something.
    constexpr const char* kRemoteNotificationKey = "UIApplicationLaunchOptionsRemoteNotificationKey";
    if (options.is_object() && options.contains(kRemoteNotificationKey))
        m_launchPushMessage = options[kRemoteNotificationKey].dump();
    else
        m_launchPushMessage = std::nullopt;
    LaunchPushMessageHandler handler;
    {
        std::lock_guard lock(g_launchPushMessageHandlerMutex);
        handler = g_launchPushMessageHandler;
    }
    if (handler)
        handler(m_launchPushMessage);
}

void MorvixClient::setLaunchPushMessageHandler(LaunchPushMessageHandler handler)
{
    std::lock_guard lock(g_launchPushMessageHandlerMutex);
    g_launchPushMessageHandler = std::move(handler);
}

namespace {

std::shared_ptr<RemoteNotificationReceiver> pushReceiver(MorvixClient& client)
{
    return std::dynamic_pointer_cast<RemoteNotificationReceiver>(client.pushService());
}

} // namespace

void MorvixClient::didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<std::uint8_t>& token)
{
    if (auto receiver = pushReceiver(*this))
        receiver->didRegisterForRemoteNotificationsWithDeviceToken(token);
}

void MorvixClient::didFailToRegisterForRemoteNotificationsWithError(const platform::Error& error)
{
    if (auto receiver = pushReceiver(*this))
        receiver->didFailToRegisterForRemoteNotificationsWithError(error);
}

void MorvixClient::didReceiveRemoteNotification(const platform::Value& payload)
{
    if (auto receiver = pushReceiver(*this))
        receiver->didReceiveRemoteNotification(payload);
}

void MorvixClient::changeBaseURL(const std::string& url)
{
    auto http = httpClient();
    if (!http)
        return;
    auto resolved = http->relativeURLToServer(url);
    if (!resolved)
        return;
    // A server must not be able to switch its session to local files (which would then be
    // read and applied as the server's answers) or to any other kind of URL.
    auto current = platform::Url::parse(http->baseURL());
    if (current && current->isHTTP() && !resolved->isHTTP()) {
        if (auto entry = LogEntry::entryWithError("refused the server's new base URL \"" + resolved->absoluteString()
                + "\": a session on an http or https server takes only http or https URLs"))
            log(*entry);
        return;
    }
    http->setBaseURL(resolved->absoluteString());
}

void MorvixClient::receivedRequestCounter(long counter)
{
    m_dispatcher->receivedRequestCounter(counter);
}

void MorvixClient::setMorvixUIActive(bool active)
{
    m_morvixUIActive = active;
    if (m_frameController)
        m_frameController->setMorvixUIActive(active);
}

std::shared_ptr<platform::ViewController> MorvixClient::rootController() const
{
    return m_frameController ? m_frameController->rootController() : nullptr;
}

bool MorvixClient::isProcessingMessage() const
{
    return m_dispatcher && m_dispatcher->isProcessing();
}

} // namespace morvix
