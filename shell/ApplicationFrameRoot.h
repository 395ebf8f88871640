#pragma once
// The application frame a session makes when it runs with the frame on.

#include "core/session/ApplicationFrame.h"

#include <memory>

namespace morvix {

class DWDrawerController;
class DeveloperConsole;
class DisplayRootViewController;
class PageViewController;
class TopLevelViewController;

/// The side-drawer container the window shows, with the root controller over a placeholder
/// page in its centre, the top-level menu (or the drawer object's controller) as its left
/// drawer and the developer console, when enabled, as its right one, as the session sees them.
///
/// The container starts as the session expects it: no stretching, the status-bar area in the
/// interface's background colour, no open gesture, and closing by a pan on the centre or a tap
/// on the centre or its navigation bar. The client is held weakly. Main thread only.
class ApplicationFrameRoot final : public ApplicationFrameController {
public:
    /// The gestures that close an open drawer: centre pan, navigation-bar tap, centre tap.
    static constexpr unsigned kCloseGestures = 52;

    static std::shared_ptr<ApplicationFrameRoot> create(std::weak_ptr<ApplicationFrameClient> client);
    /// Makes sessions build their frame with this class.
    static void install();

    const std::shared_ptr<DisplayRootViewController>& displayRootViewController() const { return m_root; }
    const std::shared_ptr<PageViewController>& placeholder() const { return m_placeholder; }
    const std::shared_ptr<DWDrawerController>& drawerController() const { return m_container; }
    const std::shared_ptr<TopLevelViewController>& topLevelController() const { return m_topLevel; }
    /// The console; null when it is not enabled.
    const std::shared_ptr<DeveloperConsole>& console() const { return m_console; }

    std::shared_ptr<platform::ViewController> rootController() const override;
    std::shared_ptr<platform::View> topView() const override;
    void setMorvixUIActive(bool active) override;
    /// The root controller and the top-level menu reset, and the console clears.
    void reset() override;
    std::shared_ptr<platform::View> activeTextField() const override;
    void setActiveTextField(std::shared_ptr<platform::View> field) override;
    void dismissFocus() override;
    std::shared_ptr<TopLevelMenu> topLevelMenu() const override;
    bool topLevelMenuHasChoices() const override;

    std::shared_ptr<platform::ViewController> windowRootController() const override;
    void setLeftDrawer(const std::shared_ptr<RemoteObject>& drawer, bool customDrawer) override;
    void setOpenDrawerGestureEnabled(bool enabled) override;
    bool isOpenDrawerGestureEnabled() const override;
    void toggleDrawer(FrameDrawerSide side) override;
    void openLeftDrawer() override;
    void closeDrawer() override;
    void setShowsStatusBarBackground(bool shows) override;
    void setStatusBarBackgroundColor(const std::optional<platform::Color>& color) override;

    void setDeveloperConsoleEnabled(bool enabled) override;
    std::shared_ptr<platform::ViewController> developerConsole() const override;
    void logToConsole(const LogEntry& entry) override;

private:
    ApplicationFrameRoot() = default;
    std::weak_ptr<ApplicationFrameClient> m_client;
    std::shared_ptr<PageViewController> m_placeholder;
    std::shared_ptr<DisplayRootViewController> m_root;
    std::shared_ptr<TopLevelViewController> m_topLevel;
    std::shared_ptr<DeveloperConsole> m_console;
    std::shared_ptr<DWDrawerController> m_container;
};

} // namespace morvix
