#pragma once
// The top-level page menu: the default left drawer of the application frame.

#include "platform/graphics/Color.h"
#include "platform/ui/tables/TableViewController.h"
#include "shell/MorvixUI.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

class ApplicationFrameClient;
class Page;

namespace platform {
class Image;
}

/// A plain table of the frame's top-level pages, one section headed by the application's
/// bundle name (no header without one), one 40-point row per page in the order the pages were
/// added: the page's title and its icon, both in the interface's active text colour. Picking a
/// row deselects it (animated), hands the page to the frame's `pageSelected` and closes the
/// drawer. The pages are owned; the client and the frame are held weakly. Main thread only.
class TopLevelViewController final : public platform::TableViewController, public TopLevelMenu {
public:
    static constexpr const char* kCellIdentifier = "TopLevelPageCell";
    static constexpr double kRowHeight = 40;

    static std::shared_ptr<TopLevelViewController> create(std::weak_ptr<ApplicationFrameClient> client);
    const char* className() const override { return "TopLevelViewController"; }

    const std::vector<std::shared_ptr<Page>>& pages() const { return m_pages; }
    /// No pages; the table reloads.
    void reset();
    /// More than one page.
    bool hasChoices() const { return m_pages.size() > 1; }

    /// `image`'s shape, with its transparency, in `color`: a new image of the same size and
    /// scale, not opaque, drawn then filled with the colour in the source-in blend mode.
    static std::shared_ptr<platform::Image> imageWithColor(const platform::Image& image, platform::Color color);

    // TopLevelMenu
    std::shared_ptr<MorvixUI> morvixUI() const override { return m_morvixUI.lock(); }
    void setMorvixUI(std::weak_ptr<MorvixUI> frame) override { m_morvixUI = std::move(frame); }
    /// At the end, once; the table reloads.
    void addPage(const std::shared_ptr<Page>& page) override;
    /// The table reloads; a page that is not listed changes nothing else.
    void removePage(const Page& page) override;

    // TableViewDataSource and TableViewDelegate
    int numberOfSections(platform::TableView& tableView) override;
    std::optional<std::string> titleForHeader(platform::TableView& tableView, int section) override;
    int numberOfRows(platform::TableView& tableView, int section) override;
    std::optional<double> heightForRow(platform::TableView& tableView, platform::IndexPath indexPath) override;
    std::shared_ptr<platform::TableViewCell> cellForRow(platform::TableView& tableView, platform::IndexPath indexPath) override;
    void didSelectRow(platform::TableView& tableView, platform::IndexPath indexPath) override;

    void loadView() override;
    bool shouldAutorotate() const override { return true; }
    bool prefersStatusBarHidden() const override;

private:
    TopLevelViewController() = default;
    void configureCell(platform::TableViewCell& cell, int row);

    std::weak_ptr<ApplicationFrameClient> m_client;
    std::weak_ptr<MorvixUI> m_morvixUI;
    std::vector<std::shared_ptr<Page>> m_pages;
};

} // namespace morvix
