#pragma once
// "morvix.CollectionView": a vertical list of cells whose widgets the peer makes and fills.

#include "platform/ui/tables/CollectionViewFlowLayout.h"
#include "widgets/foundation/Control.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class CollectionViewListCell;
class DelegatingCollectionView;

namespace platform {
class RefreshControl;
}

/// A vertical list of `itemCount` items, one per row as wide as the view, whose cells host
/// widgets the peer makes and fills when asked. For each item the widget asks the peer with
/// events sent at once and reads the answers right after each send:
///  - "requestinfo" {"index"} before the item's cell is made and when its size is asked; the
///    answer "describeItem" {"type", "height"} chooses the cell's kind (reuse identifier
///    "CollectionListCell<type>") and, with both set, the item's height (else "itemHeight");
///  - "createitem" {"type"} (no attributes without a type) for a cell without a widget; the
///    answer "addItem" {"widget"} names the widget the cell then keeps;
///  - "populateitem" {"index", "widget"} every time a cell is shown for an item.
/// Only a peer that answers within the event send (the script peer) can fill the cells; with a
/// later answer the widget goes on with the answers it had, and cells stay empty while no
/// "addItem" came.
///
/// Ordering rules:
///  1. "update" arguments queue until the widget has a parent; each becomes one batch of the
///     view, in arrival order: the move, then reloads, removals and inserts. Its (start, count)
///     pairs are checked by their bounds before any item is listed: an update that names items
///     outside the view, more items on one side than the view holds, or a count past
///     `platform::WireNumber::kMaximumItemCount` is logged and reloads the view instead, with
///     the count it leaves (clamped to that limit).
///  2. "reload", "update" and "reveal" that arrive while the view is asking the widget (that is,
///     while a peer answers one of the events above) are applied on the next turn of the main
///     loop, in order, so that the view never changes in the middle of its layout. Their
///     arguments are checked at once. "describeItem" and "addItem" always apply at once.
///  3. Every size change and every "itemHeight" installs a new layout, which asks every size
///     again, before the base handles the size change; the content offset is kept.
///
/// A touched cell's background turns to "foreground" (the active colour by default) over 0.1 s
/// and back to clear when the finger lifts; a tap sends "selection" {"index"} while listened.
/// "refreshEnabled" puts a pull-to-refresh control under the content, whose pull sends
/// "refresh" while listened. Main thread only.
class CollectionView : public RemoteClass<CollectionView, Control>,
                       public platform::CollectionViewDataSource,
                       public platform::CollectionViewDelegateFlowLayout {
public:
    static constexpr std::string_view kRemoteType = "morvix.CollectionView";
    /// The highlight animation's length.
    static constexpr double kHighlightDuration = 0.1;
    /// The tallest item a peer may ask for ("itemHeight" and the "height" of "describeItem" are
    /// clamped to it, and logged). An item with any height at all is at least a point tall, so
    /// that a screen never shows more items than it has points.
    static constexpr double kMaximumItemHeight = 10000.0;

    static const PropertyTable& properties();
    /// The questions it asks the peer as events, and "selection" and "refresh".
    static const WireTable& wire();
    /// `Control`'s names, then "itemHeight", "refreshEnabled", "refreshIndicator", "refreshMessage".
    static const PropertyNames& remoteObjectProperties();

    CollectionView(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~CollectionView() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingCollectionView>& collectionView() const { return m_collectionView; }

    std::int64_t itemCount() const { return m_itemCount; }
    std::optional<double> itemHeight() const { return m_itemHeight; }
    void setItemHeight(std::optional<platform::Value> height);
    bool refreshEnabled() const { return m_refreshControl != nullptr; }
    void setRefreshEnabled(bool enabled);
    bool refreshIndicator() const;
    void setRefreshIndicator(bool refreshing);
    const std::optional<std::string>& refreshMessage() const { return m_refreshMessage; }
    void setRefreshMessage(std::optional<std::string> message);
    const std::shared_ptr<platform::RefreshControl>& refreshControl() const { return m_refreshControl; }
    /// Null stands for the active colour.
    void setForeground(std::optional<platform::Color> color) override;

    /// The base, then the queued updates.
    void setParent(std::shared_ptr<RemoteObject> parent) override;
    /// The layout is invalidated, then the base handles the size change.
    void sizeChanged(platform::Size size) override;
    void destroy() override;

    // Calls.
    void addItem(const platform::Value* arguments);
    void describeItem(const platform::Value* arguments);
    /// Fails as "Incorrect Parameter" for a count past `platform::WireNumber::kMaximumItemCount`.
    void reload(const platform::Value* arguments);
    void update(const platform::Value* arguments);
    void reveal(const platform::Value* arguments);

    // CollectionViewDataSource
    int numberOfItems(platform::CollectionView& view, int section) override;
    std::shared_ptr<platform::View> cellForItem(platform::CollectionView& view, platform::IndexPath indexPath) override;
    // CollectionViewDelegateFlowLayout
    std::optional<platform::Size> sizeForItem(platform::CollectionView& view, platform::CollectionViewFlowLayout& layout,
        platform::IndexPath indexPath) override;
    std::optional<platform::EdgeInsets> insetForSection(platform::CollectionView& view,
        platform::CollectionViewFlowLayout& layout, int section) override;
    std::optional<double> minimumLineSpacing(platform::CollectionView& view, platform::CollectionViewFlowLayout& layout,
        int section) override;
    std::optional<double> minimumInteritemSpacing(platform::CollectionView& view,
        platform::CollectionViewFlowLayout& layout, int section) override;
    void didHighlightItem(platform::CollectionView& view, platform::IndexPath indexPath) override;
    void didUnhighlightItem(platform::CollectionView& view, platform::IndexPath indexPath) override;
    void didSelectItem(platform::CollectionView& view, platform::IndexPath indexPath) override;

protected:
    void didConstruct() override;

private:
    /// Counts the data source and delegate calls in progress.
    class AskingScope;

    void invalidateLayout();
    void performUpdates();
    /// Applies one queued "update" argument as one batch.
    void performUpdate(const platform::Value& arguments);
    /// Runs `change` now, or on the next turn of the main loop while the view is asking.
    void applyOutsideLayout(std::function<void(CollectionView&)> change);
    void fire(const EventDeclaration& event, platform::Value attributes = nullptr);
    void fillCell(CollectionViewListCell& cell);
    void animateHighlight(platform::IndexPath indexPath, std::optional<platform::Color> color);
    void refreshRequested();
    void warn(const std::string& message);
    /// `height` within [0, kMaximumItemHeight], a height above 0 at least 1; NaN gives 0. Logs
    /// what it changes; `what` names the value in the log.
    double boundedItemHeight(double height, const char* what);

    std::shared_ptr<DelegatingCollectionView> m_collectionView;
    std::int64_t m_itemCount = 0;
    std::optional<double> m_itemHeight;
    std::vector<platform::Value> m_updates;
    std::string m_widgetForCell;
    std::optional<double> m_itemType;
    std::optional<double> m_currentItemHeight;
    std::set<std::string> m_registeredClasses;
    std::shared_ptr<platform::RefreshControl> m_refreshControl;
    std::optional<std::string> m_refreshMessage;
    bool m_refreshListener = false;
    bool m_createitemListener = false;
    bool m_populateitemListener = false;
    int m_asking = 0;
    std::deque<std::function<void(CollectionView&)>> m_deferred;
};

} // namespace morvix
