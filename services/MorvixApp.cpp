#include "services/MorvixApp.h"

#include "core/base/LogEntry.h"
#include "core/base/OSUtil.h"
#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "core/session/MorvixHTTPClient.h"
#include "core/session/PatchStore.h"
#include "core/session/ProtocolTransport.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/WireNumber.h"
#include "platform/net/Url.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Application.h"
#include "platform/ui/Event.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "services/PatchManager.h"
#include "widgets/foundation/CursorLocationGestureRecognizer.h"

#include <algorithm>
#include <limits>

namespace morvix {

using platform::Value;

namespace {

// The class-level opened-with URL and the one observation that clears it. Main thread.
struct OpenedURL {
    std::optional<std::string> url;
    platform::ObserverToken acknowledgement;
};

OpenedURL& opened()
{
    static OpenedURL state;
    return state;
}

constexpr double kHideDuration = 1.5;
constexpr double kShowDuration = 1.0;

// The longest inactivity time, in milliseconds: the longest delay a peer may ask of any timer.
constexpr double kLongestInactivityMilliseconds = platform::WireNumber::kMaximumDelaySeconds * 1000;

constexpr EventDeclaration kPauseEvent {
    .listen = "Pause",
    .name = "Pause",
    .note = "when the application goes to the background",
};
constexpr EventDeclaration kResumeEvent {
    .listen = "Resume",
    .name = "Resume",
    .note = "when the application comes back",
};
constexpr EventDeclaration kOpenEvent {
    .name = "Open",
    .attributes = R"({"url": string})",
    .sentWithoutListen = true,
    .note = "after \"openUrl\", when the application is opened with a URL while the session runs",
};
constexpr EventDeclaration kInactiveEvent {
    .name = "Inactive",
    .sentWithoutListen = true,
    .note = "each time the user has not touched the screen for the time \"startInactivityTimer\" gave",
};
constexpr EventDeclaration kPatchInstallEvent {
    .listen = "patchInstall",
    .name = "patchInstall",
    .attributes = R"({"success": string, "error": string})",
    .note = "after \"installPatch\", with one of the two: \"success\", the newest patch's patch.json text (null when "
            "there is none), or \"error\", the reason it failed",
};
constexpr ReportDeclaration kMorvixVersionReport {
    .name = "morvixVersion",
    .kind = "string",
    .note = "the library's version: scheduled when the session starts (the display is created)",
};
constexpr ReportDeclaration kIdReport {
    .name = "id",
    .kind = "string",
    .note = "the application's identifier (what \"get\" reads as \"appId\"), with \"morvixVersion\"",
};
constexpr ReportDeclaration kVersionReport {
    .name = "version",
    .kind = "string",
    .note = "the application's version, with \"morvixVersion\"",
};
constexpr ReportDeclaration kOpenUrlReport {
    .name = "openUrl",
    .kind = "string",
    .note = "the URL the application was opened with: with \"Open\", or at the session's start when it was opened "
            "before; sent again at each start until an exchange succeeds",
};

} // namespace

const WireTable& MorvixApp::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire())
                                       .event(kPauseEvent)
                                       .event(kResumeEvent)
                                       .event(kOpenEvent)
                                       .event(kInactiveEvent)
                                       .event(kPatchInstallEvent)
                                       .report(kMorvixVersionReport)
                                       .report(kIdReport)
                                       .report(kVersionReport)
                                       .report(kOpenUrlReport);
    return table;
}

MorvixApp::MorvixApp(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    registerSelector(&MorvixApp::startInactivityTimer, "startInactivityTimer");
    registerSelector(&MorvixApp::stopInactivityTimer, "stopInactivityTimer");
    registerSelector(&MorvixApp::reload, "reload");
    registerSelector(&MorvixApp::installPatch, "installPatch");
}

MorvixApp::~MorvixApp()
{
    m_timer.stop();
    removeActivityRecognizer();
}

const PropertyTable& MorvixApp::properties()
{
    static const PropertyTable table = PropertyTable::extend<MorvixApp>(BasicObject::properties())
                                           .flag("pauseListener", &MorvixApp::m_pauseListener)
                                           .flag("resumeListener", &MorvixApp::m_resumeListener)
                                           .flag("patchInstallListener", &MorvixApp::m_patchInstallListener)
                                           .boolean("screenProtection", &MorvixApp::setScreenProtection, &MorvixApp::screenProtection)
                                           .number("badgeNumber", &MorvixApp::setBadgeNumber, &MorvixApp::badgeNumber)
                                           .number("inactivityTime", nullptr, &MorvixApp::inactivityTime)
                                           .string("appId", nullptr, &MorvixApp::appId)
                                           .string("version", nullptr, &MorvixApp::version)
                                           .string("versionId", nullptr, &MorvixApp::versionId)
                                           .string("morvixVersion", nullptr, &MorvixApp::morvixVersion)
                                           .string("morvixJsVersion", nullptr, &MorvixApp::morvixJsVersion)
                                           .string("resourceBaseUrl", nullptr, &MorvixApp::resourceBaseUrl);
    return table;
}

const PropertyNames& MorvixApp::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "appId", "version", "versionId", "morvixVersion", "morvixJsVersion", "resourceBaseUrl" });
    return names;
}

void MorvixApp::registered()
{
    RemoteClass::registered();
    std::weak_ptr<MorvixApp> weak = std::static_pointer_cast<MorvixApp>(shared_from_this());
    auto center = platform::NotificationCenter::defaultCenter();
    m_resignObserver = center->addObserver(platform::Application::kWillResignActiveNotification, nullptr, [weak](const platform::Notification&) {
        if (auto self = weak.lock())
            self->paused();
    });
    m_activeObserver = center->addObserver(platform::Application::kDidBecomeActiveNotification, nullptr, [weak](const platform::Notification&) {
        if (auto self = weak.lock())
            self->resumed();
    });
}

// MARK: Facts

std::optional<Value> MorvixApp::inactivityTime() const
{
    if (!m_inactivityMilliseconds)
        return std::nullopt;
    return Value(*m_inactivityMilliseconds);
}

std::optional<std::string> MorvixApp::appId() const
{
    return OSUtil::appId();
}

std::optional<std::string> MorvixApp::version() const
{
    return OSUtil::appVersion();
}

std::optional<std::string> MorvixApp::versionId() const
{
    return OSUtil::appVersionId();
}

std::optional<std::string> MorvixApp::resourceBaseUrl() const
{
    auto client = this->client();
    auto http = client ? client->httpClient() : nullptr;
    std::string url = http ? http->baseURL() : std::string();
    constexpr std::string_view kPackage = "/package.json";
    for (auto found = url.find(kPackage); found != std::string::npos; found = url.find(kPackage))
        url.erase(found, kPackage.size());
    return url;
}

void MorvixApp::synchronize()
{
    auto message = Notifications::forObject(objectId());
    message->report(kMorvixVersionReport, kMorvixVersion);
    message->report(kIdReport, *appId());
    message->report(kVersionReport, *version());
    if (auto url = openWithURL()) {
        message->report(kOpenUrlReport, *url);
        waitForAcknowledgement();
    }
    message->schedule();
}

// MARK: Opened URL

void MorvixApp::setOpenWithURL(std::optional<std::string> url)
{
    platform::assertOnMainThread();
    opened().url = std::move(url);
}

std::optional<std::string> MorvixApp::openWithURL()
{
    return opened().url;
}

void MorvixApp::waitForAcknowledgement()
{
    auto& state = opened();
    state.acknowledgement = platform::NotificationCenter::defaultCenter()->addObserver(ProtocolTransport::kOperationSucceeded, nullptr,
        [](const platform::Notification&) {
            // Runs on the main loop, where the transport posts; the token may go here.
            auto& current = opened();
            current.url.reset();
            current.acknowledgement.reset();
        });
}

bool MorvixApp::sendOpenURL()
{
    auto url = openWithURL().value_or("");
    Value attributes = Value::object();
    attributes["url"] = url;
    Notifications::forObject(objectId())->report(kOpenUrlReport, url).fire(kOpenEvent, std::move(attributes));
    waitForAcknowledgement();
    return true;
}

void MorvixApp::openedURL(ClientContext& client, const std::string& url)
{
    setOpenWithURL(url);
    if (auto app = std::dynamic_pointer_cast<MorvixApp>(client.objectById(std::string(kRemoteType))))
        app->sendOpenURL();
}

// MARK: Inactivity

std::optional<long> MorvixApp::inactivitySeconds(const std::optional<Value>& milliseconds)
{
    auto number = milliseconds ? platform::WireNumber::clampedNumber(*milliseconds, 0, kLongestInactivityMilliseconds) : std::nullopt;
    if (!number || *number <= 0)
        return std::nullopt;
    return std::max(1L, static_cast<long>(*number) / 1000);
}

void MorvixApp::startInactivityTimer(const Value* properties)
{
    std::optional<Value> time;
    if (properties && properties->is_object() && properties->contains("inactivityTime"))
        time = (*properties)["inactivityTime"];
    if (!inactivitySeconds(time)) {
        stopInactivityTimer(nullptr);
        return;
    }
    // Kept as it governs the timer: a time beyond the longest delay is clamped to it.
    double milliseconds = *platform::numberValue(*time);
    if (milliseconds > kLongestInactivityMilliseconds) {
        milliseconds = kLongestInactivityMilliseconds;
        if (auto client = this->client())
            client->log(LogEntry(platform::format("morvix.App waits at most %@ ms for inactivity: inactivityTime %@ is clamped",
                                     kLongestInactivityMilliseconds, *time),
                LogEntry::Type::Warning));
    }
    m_inactivityMilliseconds = static_cast<long>(milliseconds);
    m_timer.stop();
    startTimer();
    installActivityRecognizer();
}

void MorvixApp::stopInactivityTimer(const Value*)
{
    removeActivityRecognizer();
    m_inactivityMilliseconds.reset();
    m_timer.stop();
}

void MorvixApp::startTimer()
{
    auto seconds = inactivitySeconds(inactivityTime());
    if (!seconds)
        return;
    m_timer.start(platform::WireNumber::seconds(double(*seconds)), platform::Repeat::No, [this] { timerFired(); });
}

void MorvixApp::timerFired()
{
    startTimer();
    Notifications::forObject(objectId())->fire(kInactiveEvent);
}

void MorvixApp::installActivityRecognizer()
{
    // Each start replaces the recogniser, rather than piling one more onto the window.
    removeActivityRecognizer();
    auto client = this->client();
    auto window = client ? client->window() : nullptr;
    if (!window)
        return;
    std::weak_ptr<MorvixApp> weak = std::static_pointer_cast<MorvixApp>(shared_from_this());
    m_activityRecognizer = CursorLocationGestureRecognizer::create(weak, [weak](const platform::Event& event) {
        if (auto self = weak.lock())
            self->activityDetected(event);
    });
    window->addGestureRecognizer(m_activityRecognizer);
    m_recognizerWindow = window;
}

void MorvixApp::removeActivityRecognizer()
{
    if (!m_activityRecognizer)
        return;
    if (auto window = m_recognizerWindow.lock())
        window->removeGestureRecognizer(m_activityRecognizer);
    m_activityRecognizer.reset();
    m_recognizerWindow.reset();
}

void MorvixApp::activityDetected(const platform::Event& event)
{
    const auto& touches = event.allTouches();
    if (touches.empty() || !m_timer.isActive())
        return;
    auto phase = touches.front()->phase();
    if (phase == platform::TouchPhase::Began || phase == platform::TouchPhase::Ended)
        startTimer();
}

// MARK: Life cycle

void MorvixApp::paused()
{
    removeActivityRecognizer();
    m_timer.stop();
    if (m_screenProtection)
        hideScreen(0);
    if (m_pauseListener)
        Notifications::forObject(objectId())->fire(kPauseEvent);
}

void MorvixApp::resumed()
{
    showScreen();
    if (m_inactivityMilliseconds) {
        startTimer();
        installActivityRecognizer();
    }
    if (m_resumeListener)
        Notifications::forObject(objectId())->fire(kResumeEvent);
}

// MARK: Screen protection and badge

std::shared_ptr<platform::View> MorvixApp::screen() const
{
    auto client = this->client();
    return client ? client->rootView() : nullptr;
}

void MorvixApp::setScreenProtection(bool protect)
{
    if (protect == m_screenProtection)
        return;
    m_screenProtection = protect;
    if (!protect) {
        m_succeededObserver.reset();
        m_failedObserver.reset();
        showScreen();
        return;
    }
    std::weak_ptr<MorvixApp> weak = std::static_pointer_cast<MorvixApp>(shared_from_this());
    auto center = platform::NotificationCenter::defaultCenter();
    m_succeededObserver = center->addObserver(ProtocolTransport::kOperationSucceeded, nullptr, [weak](const platform::Notification&) {
        if (auto self = weak.lock())
            self->showScreen();
    });
    m_failedObserver = center->addObserver(ProtocolTransport::kOperationFailed, nullptr, [weak](const platform::Notification&) {
        if (auto self = weak.lock())
            self->hideScreen(kHideDuration);
    });
}

void MorvixApp::hideScreen(double duration)
{
    auto view = screen();
    if (!view)
        return;
    if (duration <= 0) {
        view->setAlpha(0);
        return;
    }
    platform::Animator::shared().animate(duration, 0, platform::AnimationOption::BeginFromCurrentState, [view] { view->setAlpha(0); });
}

void MorvixApp::showScreen()
{
    auto view = screen();
    if (!view)
        return;
    platform::Animator::shared().animate(kShowDuration, 0, platform::AnimationOption::BeginFromCurrentState, [view] { view->setAlpha(1); });
}

void MorvixApp::setBadgeNumber(std::optional<Value> number)
{
    // Clamped before the conversion: LONG_MAX as a double is 2^63, which no long holds.
    auto value = number ? platform::WireNumber::clampedCount(*number, std::numeric_limits<long>::min(), std::numeric_limits<long>::max()) : std::nullopt;
    m_badgeNumber = value ? static_cast<long>(*value) : 0;
    auto& application = platform::Application::shared();
    using Types = platform::Application::UserNotificationTypes;
    application.registerUserNotificationSettings(Types::kBadge | Types::kSound | Types::kAlert);
    application.setApplicationIconBadgeNumber(m_badgeNumber);
}

// MARK: Reload and patches

void MorvixApp::reload(const Value*)
{
    // Never inside the message being applied: the load would tear it down under its own feet.
    std::weak_ptr<ClientContext> weak = client();
    platform::MainLoop::main().post([weak] {
        if (auto client = weak.lock())
            client->load();
    });
}

void MorvixApp::installPatch(const Value* properties)
{
    auto client = this->client();
    if (!client || !properties || !properties->is_object() || !properties->contains("url") || !(*properties)["url"].is_string())
        return;
    auto url = client->relativeURLToServer((*properties)["url"].get<std::string>());
    auto patches = client->patchStore();
    if (!patches) {
        reportPatchInstall("error", Value(PatchManager::kNotInitialized));
        return;
    }
    if (!url)
        return;
    // A local archive is read only from the folders a peer may read, as a regular file within
    // the download cap (the refusal is logged by the lookup).
    if (url->isFileURL()) {
        auto http = client->httpClient();
        auto file = http ? http->locateLocalFile(*url, MorvixHTTPClient::kMaximumDownloadSize) : platform::ConfinedFile::Result();
        if (!http || !file) {
            reportPatchInstall("error", Value(PatchManager::kInstallFailed));
            return;
        }
        url = platform::Url::fileURL(file.path);
    }
    std::weak_ptr<MorvixApp> weak = std::static_pointer_cast<MorvixApp>(shared_from_this());
    patches->installFromURL(*url,
        [weak](const std::optional<std::string>& description) {
            if (auto self = weak.lock())
                self->reportPatchInstall("success", description ? Value(*description) : Value(nullptr));
        },
        [weak](const std::string& message) {
            if (auto self = weak.lock())
                self->reportPatchInstall("error", Value(message));
        });
}

void MorvixApp::reportPatchInstall(const char* key, Value value)
{
    if (!m_patchInstallListener)
        return;
    Value attributes = Value::object();
    attributes[key] = std::move(value);
    Notifications::forObject(objectId())->fire(kPatchInstallEvent, std::move(attributes));
}

void MorvixApp::destroy()
{
    stopInactivityTimer(nullptr);
    m_resignObserver.reset();
    m_activeObserver.reset();
    m_succeededObserver.reset();
    m_failedObserver.reset();
    RemoteClass::destroy();
}

} // namespace morvix
