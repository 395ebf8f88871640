#include "platform/ui/Application.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Alert.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>

namespace morvix::platform {

namespace {

// The open background tasks. Never destroyed: an operation released while the process exits
// may still end its task.
struct BackgroundTasks {
    std::mutex mutex; // guards the members below
    std::map<Application::BackgroundTaskIdentifier, std::function<void()>> open;
    Application::BackgroundTaskIdentifier next = Application::kInvalidBackgroundTask;
};

BackgroundTasks& backgroundTasks()
{
    static auto* tasks = new BackgroundTasks();
    return *tasks;
}

} // namespace

Application& Application::shared()
{
    static Application application;
    return application;
}

void Application::addWindow(const std::shared_ptr<Window>& window)
{
    if (std::find(m_windows.begin(), m_windows.end(), window) == m_windows.end())
        m_windows.push_back(window);
}

void Application::removeWindow(const Window& window)
{
    std::erase_if(m_windows, [&](const auto& entry) { return entry.get() == &window; });
}

std::vector<std::shared_ptr<Window>> Application::visibleWindowsInLevelOrder() const
{
    std::vector<std::shared_ptr<Window>> visible;
    std::copy_if(m_windows.begin(), m_windows.end(), std::back_inserter(visible), [](const auto& window) { return window->isVisible(); });
    std::stable_sort(visible.begin(), visible.end(), [](const auto& first, const auto& second) {
        if (first->level() != second->level())
            return first->level() < second->level();
        return first->showOrder() < second->showOrder();
    });
    return visible;
}

void Application::addPopover(const std::shared_ptr<PopoverController>& popover)
{
    if (popover && std::find(m_popovers.begin(), m_popovers.end(), popover) == m_popovers.end())
        m_popovers.push_back(popover);
}

void Application::removePopover(const PopoverController& popover)
{
    std::erase_if(m_popovers, [&](const auto& entry) { return entry.get() == &popover; });
}

void Application::showAlert(const std::shared_ptr<Alert>& alert)
{
    assertOnMainThread();
    if (alert && std::find(m_alerts.begin(), m_alerts.end(), alert) == m_alerts.end())
        m_alerts.push_back(alert);
}

void Application::removeAlert(const Alert& alert)
{
    std::erase_if(m_alerts, [&](const auto& entry) { return entry.get() == &alert; });
}

bool Application::pressAlertButton(const std::string& title)
{
    assertOnMainThread();
    for (auto it = m_alerts.rbegin(); it != m_alerts.rend(); ++it) {
        auto alert = *it;
        if (alert->press(title))
            return true;
    }
    return false;
}

void Application::simulateMemoryWarning()
{
    assertOnMainThread();
    NotificationCenter::defaultCenter()->post(kMemoryWarningNotification);
    forEachViewController([](ViewController& controller) { controller.didReceiveMemoryWarning(); });
}

void Application::simulateWillResignActive()
{
    assertOnMainThread();
    NotificationCenter::defaultCenter()->post(kWillResignActiveNotification);
}

void Application::simulateDidBecomeActive()
{
    assertOnMainThread();
    NotificationCenter::defaultCenter()->post(kDidBecomeActiveNotification);
}

void Application::forEachViewController(const std::function<void(ViewController&)>& visit) const
{
    std::function<void(const std::shared_ptr<ViewController>&)> walk = [&](const std::shared_ptr<ViewController>& controller) {
        if (!controller)
            return;
        visit(*controller);
        for (const auto& child : controller->childViewControllers())
            walk(child);
        walk(controller->presentedViewController());
    };
    auto windows = m_windows;
    for (const auto& window : windows)
        walk(window->rootViewController());
}

Application::BackgroundTaskIdentifier Application::beginBackgroundTask(std::function<void()> expirationHandler)
{
    auto& tasks = backgroundTasks();
    std::lock_guard lock(tasks.mutex);
    if (++tasks.next == kInvalidBackgroundTask)
        ++tasks.next;
    tasks.open[tasks.next] = std::move(expirationHandler);
    return tasks.next;
}

void Application::endBackgroundTask(BackgroundTaskIdentifier identifier)
{
    std::function<void()> handler;
    auto& tasks = backgroundTasks();
    {
        std::lock_guard lock(tasks.mutex);
        auto found = tasks.open.find(identifier);
        if (found == tasks.open.end())
            return;
        handler = std::move(found->second);
        tasks.open.erase(found);
    }
    // The handler (and what it holds) is released here, outside the lock.
}

std::vector<Application::BackgroundTaskIdentifier> Application::openBackgroundTasks() const
{
    auto& tasks = backgroundTasks();
    std::lock_guard lock(tasks.mutex);
    std::vector<BackgroundTaskIdentifier> identifiers;
    for (const auto& entry : tasks.open)
        identifiers.push_back(entry.first);
    return identifiers;
}

void Application::expireBackgroundTasks()
{
    std::vector<std::function<void()>> handlers;
    auto& tasks = backgroundTasks();
    {
        std::lock_guard lock(tasks.mutex);
        for (const auto& entry : tasks.open)
            handlers.push_back(entry.second);
    }
    for (const auto& handler : handlers) {
        if (handler)
            handler();
    }
}

void Application::resetForTesting()
{
    std::map<BackgroundTaskIdentifier, std::function<void()>> forgotten;
    {
        std::lock_guard lock(backgroundTasks().mutex);
        forgotten.swap(backgroundTasks().open);
    }
    m_delegate.reset();
    m_windows.clear();
    m_keyWindow.reset();
    m_statusBarFrame = Rect(0, 0, 320, 20);
    m_statusBarHidden = false;
    m_orientation = InterfaceOrientation::Portrait;
    m_networkActivity = false;
    m_alerts.clear();
    m_sounds.clear();
    m_userNotificationTypes.reset();
    m_notificationRegistrations.clear();
    m_badgeNumber = 0;
    m_supportedOrientations = InterfaceOrientationMask::All;
    m_popovers.clear();
    m_openedURLs.clear();
    m_openedURLBytes = 0;
    m_openURLHandler = nullptr;
    m_openableSchemes.clear();
}

bool Application::openURL(const std::string& url)
{
    // Pages and peers may open URLs for as long as the process runs: only the latest are kept.
    m_openedURLs.push_back(url);
    m_openedURLBytes += url.size();
    auto kept = m_openedURLs.begin();
    while (m_openedURLs.end() - kept > 1
        && (static_cast<std::size_t>(m_openedURLs.end() - kept) > kOpenedURLsKept || m_openedURLBytes > kOpenedURLBytesKept)) {
        m_openedURLBytes -= kept->size();
        ++kept;
    }
    m_openedURLs.erase(m_openedURLs.begin(), kept);
    return m_openURLHandler && m_openURLHandler(url);
}

bool Application::canOpenURL(const std::string& url) const
{
    auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(url[0])))
        return false;
    auto isSchemeCharacter = [](unsigned char c) { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; };
    std::string scheme;
    for (unsigned char c : url.substr(0, colon)) {
        if (!isSchemeCharacter(c))
            return false;
        scheme.push_back(static_cast<char>(std::tolower(c)));
    }
    return std::any_of(m_openableSchemes.begin(), m_openableSchemes.end(), [&](const std::string& declared) {
        return std::equal(declared.begin(), declared.end(), scheme.begin(), scheme.end(),
            [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    });
}

} // namespace morvix::platform
