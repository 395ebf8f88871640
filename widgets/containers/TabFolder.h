#pragma once
// The container that shows one of its tab items at a time.

#include "platform/ui/PageViewController.h"
#include "platform/ui/TabBar.h"
#include "widgets/foundation/AbstractComposite.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

namespace platform {
class SegmentedControl;
}
class DelegatingView;
class TabItem;

/// "zub.widgets.TabFolder": shows the page of one of its "zub.widgets.TabItem" children at a
/// time in a horizontally scrolling page view controller, switched by a segmented control on
/// top (style "TOP", read once at creation) or by a tab bar at the bottom (any other style).
///
/// Rules:
///  1. Items are ordered by their "index" when they join (an index outside 0 to the number of
///     items goes to the nearer end). The first item to join, or the one "selection" names, is
///     selected without telling the peer. A "selection" naming no item yet waits for it.
///  2. A person's switch (a segment, a tab, or with data "paging" true a swipe, completed or
///     abandoned) stores the shown item's id as "selection" and, only while "Selection" is
///     listened, sends the property "selection" and the event "Selection" {"selection": id} at
///     once. Without a listener nothing is queued.
///  3. Child widgets show only as the pages of the items that name them ("control"); the folder
///     never places their views itself.
///  4. A page whose view holds the folder's (the folder moved into its item's control after the
///     control was named) is never shown: "selection" naming it raises "Incorrect Parameter",
///     a person's switch to it does nothing, paging skips it, and otherwise it is logged.
///
/// The page view controller's data source and delegate and the tab bar's delegate are the
/// folder, held weakly. Main thread only.
class TabFolder : public RemoteClass<TabFolder, AbstractComposite>,
                  public platform::PageViewControllerDataSource,
                  public platform::PageViewControllerDelegate,
                  public platform::TabBarDelegate {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.TabFolder";
    static constexpr double kSegmentInset = 5;
    static constexpr double kSegmentSpacing = 10;

    enum class Style { Top, Bottom };

    TabFolder(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~TabFolder() override;

    /// Constructs the folder and builds its switcher from the creation's "style".
    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client);
    static const PropertyTable& properties();
    /// "TOP" and the report of a switch.
    static const WireTable& wire();
    /// `AbstractComposite`'s names plus "selection".
    static const PropertyNames& remoteObjectProperties();

    std::shared_ptr<platform::View> view() const override;
    Style folderStyle() const { return m_style; }
    const std::vector<std::shared_ptr<TabItem>>& items() const { return m_items; }
    const std::shared_ptr<platform::PageViewController>& pageViewController() const { return m_pageViewController; }
    /// Present in the top style only.
    const std::shared_ptr<platform::SegmentedControl>& segmentedControl() const { return m_segmentedControl; }
    /// Present in the bottom style only.
    const std::shared_ptr<platform::TabBar>& tabBar() const { return m_tabBar; }

    const std::optional<std::string>& selection() const { return m_selection; }
    /// Stores the id and shows the item it names, if there is one yet; an item whose page
    /// cannot be shown (rule 4) raises "Incorrect Parameter" and changes nothing.
    void setSelection(std::optional<std::string> selection);

    /// Takes `widget` off every item that shows it.
    void unlinkWidget(const Widget& widget);
    /// Rebuilds the segments or the tab bar's entries from the items.
    void updateItems();

    void addObject(std::shared_ptr<RemoteObject> child) override;
    void removeObject(const RemoteObject& child) override;
    /// Does nothing: children show as pages.
    void addWidgetView(BasicWidget& child) override;
    /// Data "paging" true makes the folder the page view controller's data source.
    void setData(std::optional<platform::Value> data) override;
    /// Also the tab bar's bar tint.
    void setBackground(std::optional<platform::Color> color) override;
    /// The tab bar's selected-image tint, and the segmented control's tint (top) or every
    /// entry's title colour (bottom; none leaves the titles).
    void setForeground(std::optional<platform::Color> color) override;
    /// No image paints the container in the background colour.
    void setBackgroundImage(std::optional<platform::Value> image) override;
    void sizeChanged(platform::Size size) override;
    void destroy() override;

    // PageViewControllerDataSource
    std::shared_ptr<platform::ViewController> viewControllerBefore(platform::PageViewController& controller,
        const std::shared_ptr<platform::ViewController>& page) override;
    std::shared_ptr<platform::ViewController> viewControllerAfter(platform::PageViewController& controller,
        const std::shared_ptr<platform::ViewController>& page) override;
    // PageViewControllerDelegate
    void didFinishAnimating(platform::PageViewController& controller, bool finished,
        const std::vector<std::shared_ptr<platform::ViewController>>& previous, bool completed) override;
    // TabBarDelegate
    void tabBarDidSelectItem(platform::TabBar& bar, const std::shared_ptr<platform::TabBarItem>& item) override;

protected:
    void didConstruct() override;

private:
    void installSwitcher(Style style);
    void segmentedControlSelected();
    void activateTab(std::size_t index);
    void selectedController(const std::shared_ptr<platform::ViewController>& controller);
    /// Stores the id and shows the item it names, if it can (rule 4).
    void select(std::optional<std::string> selection);
    void reveal(std::size_t index);
    /// Whether the page of `item` can go into the page view without holding it (rule 4).
    bool canShow(const TabItem& item) const;
    /// The position of the item whose controller is `page`; none for another page.
    std::optional<std::size_t> indexOfController(const platform::ViewController* page) const;
    std::optional<std::size_t> indexOfSelection() const;

    std::shared_ptr<DelegatingView> m_container;
    std::shared_ptr<platform::PageViewController> m_pageViewController;
    std::shared_ptr<platform::SegmentedControl> m_segmentedControl;
    std::shared_ptr<platform::TabBar> m_tabBar;
    std::vector<std::shared_ptr<TabItem>> m_items;
    std::optional<std::string> m_selection;
    Style m_style = Style::Bottom;
};

} // namespace morvix
