#pragma once
// A single-column list of strings with one selected row.

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/NavigationController.h"
#include "widgets/lists/ItemHeight.h"
#include "widgets/foundation/Control.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class ListController;

/// "zub.widgets.List": the strings of "items" as the rows of a plain table, shown by a
/// `ListController` on a navigation controller of the list's own, whose bar only serves the
/// optional title ("toolTip"). The navigation controller's view is the widget's view.
///
/// The table starts scroll-locked (no scrolling, no indicators, no bounce); the first vertical
/// "zub.widgets.ScrollBar" child unlocks it for good. Horizontal bars change nothing.
///
/// Events, all on the list's own message builder:
///  - a tap on row r records "focusIndex" = r, "topIndex" = r, "selection" = [r] and sends
///    "Selection" {} when listened, else "DefaultSelection" {} when that is, else schedules them;
///  - a tap on row r's detail-disclosure button (data "altSelection" "all") selects the row on
///    screen and, only while "Selection" is listened, sends the same changes with "Selection"
///    {"altKey": true};
///  - a long press on row r (only while the list has a "menu" or listens to "MenuDetect")
///    schedules the same changes at each change of the press, and when the press begins hands
///    its point in the `Display`'s view to the context-menu path (`longMouseDownDetected`).
///
/// Indices: a "selectionIndices" (its first number only), "topIndex" or "focusIndex" that is
/// negative or past the rows is ignored; an empty "selectionIndices" deselects. An element of
/// "items" that is not a string shows as an empty row.
///
/// Main thread only.
class List : public RemoteClass<List, Control>, public platform::NavigationControllerDelegate {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.List";
    /// The lowest and the tallest rows a peer may ask for ("itemHeight" is clamped to them, and
    /// logged above the tallest).
    static constexpr double kMinimumItemHeight = ItemHeight::kMinimum;
    static constexpr double kMaximumItemHeight = ItemHeight::kMaximum;

    List(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~List() override;

    static const PropertyTable& properties();
    /// The events of a tap and the rows it reports.
    static const WireTable& wire();
    /// `Control`'s names plus "items", "enabled", "toolTip", "selectionIndices", "markupEnabled",
    /// and the two scroll positions "topIndex" and "focusIndex", which read the first visible row.
    static const PropertyNames& remoteObjectProperties();

    std::shared_ptr<platform::View> view() const override;

    // RemoteObject
    /// The base's, then a vertical scroll bar unlocks scrolling.
    void addObject(std::shared_ptr<RemoteObject> child) override;
    void destroy() override;

    // Properties.
    const platform::Value& items() const { return m_items; }
    void setItems(std::optional<platform::Value> items);
    /// The row's text; empty past the rows or for an element that is not a string.
    std::string itemAt(long row) const;
    long itemCount() const { return static_cast<long>(m_items.size()); }
    /// [selected row], or [] without a selection.
    platform::Value selectionIndices() const;
    void setSelectionIndices(std::optional<platform::Value> indices);
    /// The first visible row; nothing when no row is visible.
    std::optional<platform::Value> firstVisibleRow() const;
    void setTopIndex(std::optional<platform::Value> index);
    void setFocusIndex(std::optional<platform::Value> index);
    double itemHeight() const { return m_itemHeight; }
    void setItemHeight(std::optional<platform::Value> height);
    /// The title, or the empty string.
    std::string toolTip() const;
    /// The title; the bar hides only for the empty string (nothing shows it).
    void setToolTip(std::optional<std::string> toolTip);
    std::optional<platform::Color> tableBackground() const;
    void setBackground(std::optional<platform::Color> color) override;
    /// Nothing stands for `FontHelper::labelColor()`; the bar's title takes it and the rows reload.
    void setForeground(std::optional<platform::Color> color) override;
    /// Nothing stands for `FontHelper::listFont()`.
    void setFont(std::optional<TypeConverter::NativeFont> font) override;
    platform::Font listFont() const;
    platform::Color listForeground() const;
    /// Switches only the table's selection.
    void setEnabled(bool enabled) override;
    bool allowsSelection() const;
    bool markupEnabled() const { return m_markupEnabled; }
    void setMarkupEnabled(bool enabled) { m_markupEnabled = enabled; }
    /// The base's, then the rows reload (the visible ones again unless the view is hidden).
    void setData(std::optional<platform::Value> data) override;
    /// Data "altSelection" is "all": every row shows a detail-disclosure button.
    bool showsDetailButtons() const;
    /// True while a long press on a row means something: a menu or "MenuDetect" listened.
    bool wantsLongPress() const { return hasContextMenu() || menuDetectListener(); }
    bool isScrollUnlocked() const { return m_scrollUnlocked; }
    /// `Control`'s "menu" and "MenuDetect" flag; when they change whether a long press means
    /// something, the visible rows are made again.
    void setContextMenu(std::optional<std::string> menu);
    void setMenuDetectFlag(bool listen);

    const std::shared_ptr<platform::NavigationController>& navigationController() const { return m_navigationController; }
    const std::shared_ptr<ListController>& listController() const { return m_listController; }

    // What the controller reports.
    void rowTapped(long row);
    void accessoryTapped(long row);
    /// `began` is true when the press has just begun; `point` is then its place in the
    /// `Display`'s view.
    void rowLongPressed(long row, bool began, platform::Point point);

protected:
    void didConstruct() override;

private:
    bool isRow(const platform::Value& index) const;
    void recordSelection(Notification& message, long row) const;
    void unlockScrolling();
    void reconfigureVisibleRows();

    std::shared_ptr<platform::NavigationController> m_navigationController;
    std::shared_ptr<ListController> m_listController;
    platform::Value m_items = platform::Value::array();
    double m_itemHeight = kMinimumItemHeight;
    bool m_markupEnabled = false;
    bool m_scrollUnlocked = false;
    platform::ObserverToken m_scrollUpObserver;
};

} // namespace morvix
