#pragma once
// The application object: windows, status bar, alerts on screen, system facilities.

#include "platform/graphics/Rect.h"
#include "platform/ui/Forward.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

/// Interface orientations by the platform's numbers.
enum class InterfaceOrientation { Unknown = 0, Portrait = 1, PortraitUpsideDown = 2, LandscapeRight = 3, LandscapeLeft = 4 };

/// The process's application object: the windows and the key window, the status bar's frame,
/// orientation and visibility, the alerts and action sheets being shown, the network activity
/// indicator, and the recorded calls of facilities the headless device does not have (system
/// sounds). Main thread only.
class Application final {
public:
    static Application& shared();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    /// Posted by `simulateMemoryWarning` before the controllers hear of it.
    static constexpr const char* kMemoryWarningNotification = "UIApplicationDidReceiveMemoryWarningNotification";

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

    /// Records a system sound; the headless device has no speaker.
    void playSystemSound(unsigned soundId) { m_sounds.push_back(soundId); }
    const std::vector<unsigned>& playedSystemSounds() const { return m_sounds; }

    /// Forgets windows, alerts and recorded calls, and restores the defaults.
    void resetForTesting();

private:
    Application() = default;
    std::vector<std::shared_ptr<Window>> m_windows;
    std::weak_ptr<Window> m_keyWindow;
    Rect m_statusBarFrame { 0, 0, 320, 20 };
    bool m_statusBarHidden = false;
    InterfaceOrientation m_orientation = InterfaceOrientation::Portrait;
    bool m_networkActivity = false;
    std::vector<std::shared_ptr<Alert>> m_alerts;
    std::vector<unsigned> m_sounds;
};

} // namespace morvix::platform
