#include "platform/ui/Application.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Alert.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <functional>

namespace morvix::platform {

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

void Application::resetForTesting()
{
    m_windows.clear();
    m_keyWindow.reset();
    m_statusBarFrame = Rect(0, 0, 320, 20);
    m_statusBarHidden = false;
    m_orientation = InterfaceOrientation::Portrait;
    m_networkActivity = false;
    m_alerts.clear();
    m_sounds.clear();
}

} // namespace morvix::platform
