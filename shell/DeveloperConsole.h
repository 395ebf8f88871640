#pragma once
// The developer console: the session log in the frame's right drawer.

#include "platform/ui/ViewController.h"
#include "shell/HomeImageRenderer.h"

#include <memory>

namespace morvix {

class LogEntry;
class LogHUD;
class LogView;
class MorvixClient;

namespace platform {
class BarButtonItem;
class NavigationBar;
class SegmentedControl;
class Toolbar;
}

/// The session log for the application's developer, shown as the frame's right drawer when the
/// session's delegate enables it. Top to bottom: a bar titled "Console" with a home button
/// (only while the type table holds "morvix.AppManager", which the application supplies) and a
/// reload button; a filter bar "All", "Log", "Info", "Warning", "Error", "Debug"; the log view,
/// 1 point below it; a 33-point toolbar with share and trash. Error entries also flash over the
/// session's root view (`LogHUD`).
///
/// The view loads lazily, so `log` and `clear` may come before there is a filter bar. The
/// client is held weakly. Main thread only.
class DeveloperConsole final : public platform::ViewController {
public:
    static constexpr const char* kAppManagerType = "morvix.AppManager";
    static constexpr double kToolbarHeight = 33;
    static constexpr double kLogViewGap = 1;

    static std::shared_ptr<DeveloperConsole> create(std::weak_ptr<MorvixClient> client);
    ~DeveloperConsole() override;
    const char* className() const override { return "DeveloperConsole"; }

    const std::shared_ptr<LogView>& logView() const { return m_logView; }
    /// The error flash, on the session's root view.
    const std::shared_ptr<LogHUD>& logHUD() const { return m_logHUD; }
    HomeImageRenderer& homeImage() { return m_homeImage; }
    /// Null until the view has loaded.
    const std::shared_ptr<platform::NavigationBar>& titleBar() const { return m_titleBar; }
    const std::shared_ptr<platform::SegmentedControl>& filterBar() const { return m_filterBar; }
    const std::shared_ptr<platform::Toolbar>& toolbar() const { return m_toolbar; }

    /// Every entry goes to the log view; an error also flashes.
    void log(const LogEntry& entry);
    /// The log view clears, and the filter bar shows its filter (all) again.
    void clear();

    // The buttons' actions.
    void filterChanged();
    /// Closes the drawer, then loads the session anew.
    void reloadRequested();
    /// Closes the drawer, then calls "home" on "morvix.AppManager" as if the peer had asked.
    void homeRequested();
    /// Presents a share sheet with the log's text, anchored at `item` on a pad.
    void openShare(platform::BarButtonItem& item);

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void didReceiveMemoryWarning() override;
    bool shouldAutorotate() const override { return true; }
    bool prefersStatusBarHidden() const override;

private:
    DeveloperConsole() = default;
    std::shared_ptr<DeveloperConsole> consoleSelf() { return std::static_pointer_cast<DeveloperConsole>(self()); }
    void createTitlebar();
    void createFilterBar();
    void createToolbar();
    void selectViewFilter();

    std::weak_ptr<MorvixClient> m_client;
    std::shared_ptr<LogHUD> m_logHUD;
    std::shared_ptr<LogView> m_logView;
    HomeImageRenderer m_homeImage;
    std::shared_ptr<platform::NavigationBar> m_titleBar;
    std::shared_ptr<platform::SegmentedControl> m_filterBar;
    std::shared_ptr<platform::Toolbar> m_toolbar;
};

} // namespace morvix
