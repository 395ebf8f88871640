#pragma once
// A scrolling grid of cells supplied by a data source, reused as they scroll, changed in batches.

#include "platform/graphics/EdgeInsets.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/tables/BatchUpdateCheck.h"
#include "platform/ui/tables/IndexPath.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace morvix::platform {

class CollectionView;
class CollectionViewCell;
class CollectionViewFlowLayout;

/// Supplies a collection view's items. Held weakly. Main thread.
class CollectionViewDataSource {
public:
    virtual ~CollectionViewDataSource() = default;
    virtual int numberOfSections(CollectionView& collectionView) { (void)collectionView; return 1; }
    virtual int numberOfItems(CollectionView& collectionView, int section) = 0;
    /// The view shown for the item, normally a cell from `dequeueReusableCell`; null shows
    /// nothing there. A view that is not a dequeued cell is dropped when it leaves the screen.
    virtual std::shared_ptr<View> cellForItem(CollectionView& collectionView, IndexPath indexPath) = 0;
};

/// Hears of touches on items and the scroll view's calls. Held weakly. Main thread.
class CollectionViewDelegate : public ScrollViewDelegate {
public:
    /// A finger came down on the item (its cell is already highlighted).
    virtual void didHighlightItem(CollectionView& collectionView, IndexPath indexPath) { (void)collectionView, (void)indexPath; }
    /// The finger on the item lifted or was cancelled (its cell is no longer highlighted).
    virtual void didUnhighlightItem(CollectionView& collectionView, IndexPath indexPath) { (void)collectionView, (void)indexPath; }
    /// The item was tapped: the finger lifted over the item it came down on.
    virtual void didSelectItem(CollectionView& collectionView, IndexPath indexPath) { (void)collectionView, (void)indexPath; }
};

/// The flow layout's own measures, taken where its delegate gives none.
struct CollectionFlowLayout {
    Size itemSize { 50, 50 };
    double minimumLineSpacing = 10;
    double minimumInteritemSpacing = 10;
    EdgeInsets sectionInset;
};

/// Where `scrollToItem` puts the item, one vertical and one horizontal choice or-ed together.
/// The numbers are the platform's.
namespace CollectionViewScrollPosition {
inline constexpr unsigned None = 0;
inline constexpr unsigned Top = 1;
inline constexpr unsigned CenteredVertically = 2;
inline constexpr unsigned Bottom = 4;
inline constexpr unsigned Left = 8;
inline constexpr unsigned CenteredHorizontally = 16;
inline constexpr unsigned Right = 32;
}

/// A scroll view that shows the items of its data source as cells placed by a
/// `CollectionViewFlowLayout` (see there for when the layout asks the delegate for sizes); the
/// content size follows the layout. The first layout pass with a data source loads the data.
///
/// Cells: only items whose frames share a positive area with the visible bounds have cells,
/// asked of the data source when they come into view; a cell that leaves goes to the pool of its
/// reuse identifier, from which `dequeueReusableCell` hands it out again after
/// `prepareForReuse`. A cell is named after its item in the tree dump ("item 3", "item 1.3").
///
/// Batches (`performBatchUpdates`, or each of `insertItems`, `deleteItems`, `reloadItems` and
/// `moveItem` alone): deleted, reloaded and moved-from items are named as the view had them
/// before the batch, inserted and moved-to items as it has them after. While a batch is open the
/// view asks its data source nothing. At its end:
///  1. A view that never loaded just loads.
///  2. For each section the batch names, the count is asked once; the batch is applied when that
///     count is the old one plus the inserts less the deletes and every named item exists, once,
///     on its side of the batch.
///  3. Otherwise the view logs a warning naming the section and the counts and reloads all its
///     data (a fallback); it never throws.
///  4. Applied, the items that stayed and the moved ones keep their cells, the layout is
///     prepared again and the visible inserted and reloaded items are asked for cells.
///  5. The completion runs on a later turn of the main loop, with finished = true.
///
/// A `RefreshControl` among the subviews sits in the band above the content; a drag that pulls
/// the content more than `RefreshControl::kTriggerDistance` past its top begins refreshing and
/// sends value-changed once per pull.
///
/// Touches: a finger that comes down on an item highlights its cell and tells the delegate; when
/// it lifts or is cancelled the cell is unhighlighted and the delegate told; a lift over the
/// same item then selects it (the delegate hears it). Main thread only.
class CollectionView : public ScrollView {
public:
    /// One applied batch, for tests.
    using Batch = BatchUpdate;
    using CellFactory = std::function<std::shared_ptr<CollectionViewCell>()>;
    using Completion = std::function<void(bool finished)>;

    static std::shared_ptr<CollectionView> create(const Rect& frame = {});
    ~CollectionView() override;
    const char* className() const override { return "CollectionView"; }

    std::shared_ptr<CollectionViewDataSource> dataSource() const { return m_dataSource.lock(); }
    void setDataSource(std::weak_ptr<CollectionViewDataSource> dataSource) { m_dataSource = std::move(dataSource); }
    std::shared_ptr<CollectionViewDelegate> delegate() const { return m_delegate.lock(); }
    /// The delegate also hears the scroll view's calls, relayed by the collection view (the
    /// scroll view's own delegate stays the relay, which places the cells first). A delegate
    /// that is a `CollectionViewDelegateFlowLayout` sizes the items.
    void setDelegate(std::weak_ptr<CollectionViewDelegate> delegate) { m_delegate = std::move(delegate); }

    // ---- Layout ----
    const std::shared_ptr<CollectionViewFlowLayout>& collectionViewLayout() const { return m_layout; }
    /// Installs `layout` (a null one is ignored) and, once the data is loaded, prepares it and
    /// places the cells. The headless view moves the cells at once, animated or not.
    void setCollectionViewLayout(std::shared_ptr<CollectionViewFlowLayout> layout, Animated animated);
    /// The installed layout's own measures.
    const CollectionFlowLayout& layout() const;
    /// Gives the installed layout new measures and, once the data is loaded, prepares it again.
    void setLayout(CollectionFlowLayout layout);

    // ---- Cells ----
    /// Cells for `identifier` are made by `factory` when the pool is empty.
    void registerCell(const std::string& identifier, CellFactory factory);
    /// A pooled cell (after `prepareForReuse`), else a new one from the registered factory;
    /// null (and a logged warning) when nothing is registered under `identifier`.
    std::shared_ptr<CollectionViewCell> dequeueReusableCell(const std::string& identifier, IndexPath indexPath);

    // ---- Items ----
    /// Asks the data source for everything again; the cells shown go to their pools first.
    void reloadData();
    int numberOfSections() const { return static_cast<int>(m_counts.size()); }
    int numberOfItems(int section) const;
    /// The visible cells, in item order.
    std::vector<std::shared_ptr<View>> visibleCells() const;
    std::vector<IndexPath> indexPathsForVisibleItems() const;
    /// Null when the item has no cell (outside the data, or not visible).
    std::shared_ptr<View> cellForItem(IndexPath indexPath) const;
    /// The item whose frame contains `point` (content coordinates), shown or not; none in the
    /// gaps and outside every item.
    std::optional<IndexPath> indexPathForItemAt(Point point) const;
    /// The item's frame in content coordinates; none for an item the layout did not place.
    std::optional<Rect> frameForItem(IndexPath indexPath) const;
    /// Scrolls so that the item sits as `position` says along each axis it names (clamped to the
    /// content); an axis it does not name keeps its offset. Nothing for an unknown item.
    void scrollToItem(IndexPath indexPath, unsigned position, Animated animated);

    // ---- Batches ----
    /// Runs `updates` (which names the changes) as one batch; see the class comment.
    void performBatchUpdates(const std::function<void()>& updates, Completion completion = {});
    bool isUpdating() const { return m_batchDepth > 0; }
    void insertItems(const std::vector<IndexPath>& paths);
    void deleteItems(const std::vector<IndexPath>& paths);
    void reloadItems(const std::vector<IndexPath>& paths);
    void moveItem(IndexPath from, IndexPath to);

    // ---- Test hooks ----
    const std::vector<Batch>& appliedBatches() const { return m_appliedBatches; }
    int fallbackCount() const { return m_fallbacks; }
    int fullReloadCount() const { return m_fullReloads; }

    void layoutSubviews() override;
    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

protected:
    explicit CollectionView(const Rect& frame);

private:
    using Key = std::pair<int, int>; // section, item
    class ScrollRelay;

    void loadCounts();
    void prepareLayout();
    void tileCells();
    void placeCell(const std::shared_ptr<View>& cell, IndexPath indexPath);
    void placeRefreshControl();
    void checkRefreshPull();
    void enqueue(const std::shared_ptr<View>& cell);
    void beginUpdates();
    void endUpdates(Completion completion);
    void record(const std::function<void(Batch&)>& change);
    void applyBatch(Batch batch);
    std::optional<IndexPath> itemAtTouch(const TouchSet& touches) const;
    void endTouch(bool selects, const TouchSet& touches);

    std::weak_ptr<CollectionViewDataSource> m_dataSource;
    std::weak_ptr<CollectionViewDelegate> m_delegate;
    std::shared_ptr<ScrollRelay> m_relay;
    std::shared_ptr<CollectionViewFlowLayout> m_layout;
    std::map<std::string, CellFactory> m_factories;
    std::map<std::string, std::vector<std::shared_ptr<CollectionViewCell>>> m_pools;
    std::vector<int> m_counts;
    std::map<Key, std::shared_ptr<View>> m_visible;
    bool m_loaded = false;
    bool m_tiling = false;
    int m_batchDepth = 0;
    std::optional<Batch> m_pending;
    std::optional<IndexPath> m_touchItem;
    std::vector<Batch> m_appliedBatches;
    int m_fallbacks = 0;
    int m_fullReloads = 0;
    double m_preparedWidth = -1;
    bool m_pullTriggered = false;
};

} // namespace morvix::platform
