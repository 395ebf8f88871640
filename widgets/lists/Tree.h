#pragma once
// A drill-down tree that shows one level of items at a time.

#include "platform/ui/NavigationController.h"
#include "widgets/foundation/AbstractComposite.h"
#include "widgets/lists/ItemHeight.h"
#include "widgets/lists/RefreshHandlerReceiver.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class Notification;
class Template;
class TreeController;
class TreeItem;

/// "zub.widgets.Grid": a hierarchical list shown one level at a time on a navigation controller of
/// its own, whose view is the widget's view. The first level lists the children of a hidden root
/// item ("<tree id>.root", never registered); tapping an item with children opens its level, and
/// going back closes it. Each level is a `TreeController` owned by its item.
///
/// Creation: the factory constructs the tree, applies the create's properties (no root yet, so
/// whatever forwards to the root does nothing and nothing is sent), makes the root item and its
/// level, and marks the root virtual for the style "VIRTUAL"; the create operation then applies the
/// properties again, now reaching the root.
///
/// `controllers` mirrors the navigation stack: a user's drill-down and the peer's expansion append,
/// back navigation and the peer's collapse trim. After every level shown, the lowest level that
/// closed (if any) reports "Collapse" for its item, and the top level re-reports its window.
///
/// Main thread only; "appearance" and "toolTip" are read and written under the tree's mutex.
class Tree : public RemoteClass<Tree, AbstractComposite>,
             public RefreshHandlerReceiver,
             public platform::NavigationControllerDelegate {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Grid";
    /// The lowest and the tallest rows a peer may ask for ("itemHeight" is clamped to them, and
    /// logged above the tallest).
    static constexpr double kMinimumItemHeight = ItemHeight::kMinimum;
    static constexpr double kMaximumItemHeight = ItemHeight::kMaximum;

    Tree(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Tree() override;

    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client);
    static const PropertyTable& properties();
    /// `AbstractComposite`'s names plus "toolTip", "itemCount", "columns" and "markupEnabled".
    static const PropertyNames& remoteObjectProperties();
    /// The style words, the events and the properties the tree reports; those its items and
    /// level controllers use are here too.
    static const WireTable& wire();
    static const StyleDeclaration kVirtualStyle;
    static const StyleDeclaration kFullSelectionStyle;
    static const EventDeclaration kCellSelectionEvent;
    static const EventDeclaration kSetDataEvent;
    static const ReportDeclaration kTopItemIndexReport;

    std::shared_ptr<platform::View> view() const override;
    void addWidgetView(BasicWidget&) override { }
    void removeWidgetView(const Widget&) override { }

    // RemoteObject
    void addObject(std::shared_ptr<RemoteObject> child) override;
    void removeObject(const RemoteObject& child) override;
    void childObjectChanged(RemoteObject& child) override;
    void destroy() override;

    // Properties.
    platform::Value itemCount() const;
    void setItemCount(std::optional<platform::Value> count);
    double itemHeight() const { return m_itemHeight; }
    void setItemHeight(std::optional<platform::Value> height);
    bool linesVisible() const { return m_linesVisible; }
    void setLinesVisible(bool visible);
    std::string toolTip() const;
    void setToolTip(std::optional<std::string> toolTip);
    std::string appearance() const;
    void setAppearance(std::optional<std::string> appearance);
    const platform::Value& rowTemplate() const { return m_rowTemplate; }
    void setRowTemplate(std::optional<platform::Value> rowTemplate);
    const std::shared_ptr<Template>& rowCellTemplate() const { return m_template; }
    bool markupEnabled() const { return m_markupEnabled; }
    void setMarkupEnabled(bool enabled) { m_markupEnabled = enabled; }
    /// The navigation bar's tint.
    std::optional<platform::Color> barTint() const;
    void setBackground(std::optional<platform::Color> color) override;
    void setEnabled(bool enabled) override;
    /// Also reads "refreshHandler": an id gives every level the handler's refresh control (none
    /// when it names no handler); without the key no handler is named, so levels made later get
    /// none, while those there keep theirs.
    void setData(std::optional<platform::Value> data) override;
    const platform::Value& topIndex() const { return m_topIndex; }
    void setTopIndex(std::optional<platform::Value> index) { m_topIndex = index.value_or(platform::Value(0)); }
    const platform::Value& columns() const { return m_columns; }
    void setColumns(std::optional<platform::Value> columns) { m_columns = columns.value_or(platform::Value::array()); }
    const std::string& refreshHandler() const { return m_refreshHandler; }
    bool hScroll() const { return m_hScroll; }
    bool vScroll() const { return m_vScroll; }
    bool expandListener() const { return m_expandListener; }
    bool collapseListener() const { return m_collapseListener; }
    bool setDataListener() const { return m_setDataListener; }
    bool selectionListener() const { return m_selectionListener; }

    // The levels.
    const std::shared_ptr<TreeItem>& root() const { return m_root; }
    std::shared_ptr<TreeItem> currentParentItem() const { return m_currentParentItem.lock(); }
    const std::vector<std::shared_ptr<TreeController>>& controllers() const { return m_controllers; }
    const std::shared_ptr<platform::NavigationController>& navigationController() const { return m_navigationController; }

    // Navigation and events.
    void itemClicked(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<TreeItem>& parent);
    void altItemClicked(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<TreeItem>& parent);
    void expandTreeItem(const std::shared_ptr<TreeItem>& item);
    /// The peer expanded the item: its level is pushed without animation.
    void pushItem(const std::shared_ptr<TreeItem>& item);
    /// The peer collapsed the item: the stack goes back to the level below the item's own.
    void popItem(const std::shared_ptr<TreeItem>& item);
    bool isExpanded(const TreeItem& item) const;
    bool isUpdating() const;
    /// "selection" and "focusItem", then `event` while "Selection" is listened; scheduled otherwise.
    void sendTreeItemSelected(const EventDeclaration& event, const TreeItem& item, platform::Value attributes);
    void sendExpandedTreeItem(const std::shared_ptr<TreeItem>& item);
    void sendCollapsedTreeItem(const std::shared_ptr<TreeItem>& item);
    /// Schedules "selection" and "focusItem" for the item (a long press).
    void scheduleSelection(const TreeItem& item);
    void longMouseDownDetected(platform::Point point) override;
    /// The refresh handler "refreshHandler" names, when it is one.
    std::shared_ptr<RefreshHandler> namedRefreshHandler() const;

    // RefreshHandlerReceiver
    void updateWithRefreshHandler(const std::shared_ptr<RefreshHandler>& handler) override;
    void refreshHandlerUpdatingDone() override;

    // NavigationControllerDelegate
    void willShowViewController(platform::NavigationController&, platform::ViewController& controller, bool animated) override;
    void didShowViewController(platform::NavigationController&, platform::ViewController& controller, bool animated) override;

protected:
    void didConstruct() override;

private:
    void makeRoot();
    void recordSelection(Notification& message, const TreeItem& item) const;
    std::shared_ptr<TreeController> currentLevel() const;

    std::shared_ptr<platform::NavigationController> m_navigationController;
    std::vector<std::shared_ptr<TreeController>> m_controllers;
    std::shared_ptr<TreeItem> m_root;
    std::weak_ptr<TreeItem> m_currentParentItem;
    double m_itemHeight = kMinimumItemHeight;
    platform::Value m_topIndex = 0;
    platform::Value m_columns = platform::Value::array();
    std::string m_appearance;
    std::string m_toolTip;
    platform::Value m_rowTemplate;
    std::shared_ptr<Template> m_template;
    bool m_markupEnabled = false;
    bool m_linesVisible = false;
    std::string m_refreshHandler;
    bool m_hScroll = false;
    bool m_vScroll = false;
    bool m_expandListener = false;
    bool m_collapseListener = false;
    bool m_setDataListener = false;
    mutable std::recursive_mutex m_treeMutex; // guards m_appearance and m_toolTip
};

} // namespace morvix
