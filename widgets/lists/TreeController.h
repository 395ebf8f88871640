#pragma once
// The table controller that shows one level of a tree.

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/tables/IndexRuns.h"
#include "platform/ui/tables/TableViewController.h"
#include "widgets/lists/TreeMapping.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace morvix {

class Tree;
class TreeItem;

namespace platform {
class GestureRecognizer;
class LongPressGestureRecognizer;
}

/// Shows the children of its parent item as the rows of a one-section table, and is that table's
/// data source and delegate. Owned by the parent item; holds the item and the tree weakly.
///
/// Batches. Items open a batch (`startUpdate`) before they change their children, and name the
/// changed rows through `insert`, `remove` (mapped by `TreeMapping` to the rows before the batch),
/// `reload` (each row at most once per batch) and `move`; runs of rows that come or go together
/// (a count that changes) are named as runs, and rows that change from one row to the end are
/// named only where the table shows them, so that a batch costs what the shown rows cost. The
/// table asks nothing per row of the controller. While the batch is open the table is
/// told the number of entries the list had when it opened, except while the controller itself
/// begins or ends the batch, when it is told the declared "itemCount": so the table checks the
/// batch against the declared count. "ProcessingFinished" closes the batch; it may be posted on
/// any thread, and the controller hands the work to the main thread before it takes the batch
/// lock, never waiting for the main thread while it holds the lock.
///
/// Window report (virtual levels): when the first visible row changes while scrolling, the level
/// reports "topItemIndex" = the parent's `rowIndexRecursive` + the first visible row, moved ahead
/// by the visible cells in the direction of scrolling and kept within the level, and sent only
/// once it moved more than 0.75 × the visible cells from the last value sent. The end of a drag
/// without deceleration and the end of a deceleration always send the unadjusted value.
///
/// Main thread only, apart from the notification handler.
class TreeController final : public platform::TableViewController {
public:
    static constexpr double kLongPressDuration = 0.5;

    static std::shared_ptr<TreeController> create(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<Tree>& tree);
    ~TreeController() override;
    const char* className() const override { return "TreeController"; }

    std::shared_ptr<TreeItem> parentItem() const { return m_parentItem.lock(); }
    std::shared_ptr<Tree> tree() const { return m_tree.lock(); }

    /// Scrolling follows the tree's scroll bars; the selection survives the level's return only
    /// with the style "FULL_SELECTION".
    void applyTreeStyle(const Tree& tree);

    // Row changes, called by the items.
    void insert(const std::vector<platform::IndexPath>& paths);
    void remove(const std::vector<platform::IndexPath>& paths);
    void reload(const std::vector<platform::IndexPath>& paths);
    void move(const std::vector<platform::IndexPath>& paths, platform::IndexPath target);
    /// The `count` rows from `first` on are new, as one run.
    void insertRange(long first, long count);
    /// The `count` rows from `first` on went, the last first, as one run.
    void removeRange(long first, long count);
    /// The rows from `first` up to `end` show something else now: those the table shows are
    /// reloaded (each at most once per batch); the others have no cells to redo.
    void reloadRows(long first, long end);
    /// Opens a batch when none is open.
    void startUpdate();
    /// Closes the open batch; nothing when none is open.
    void endUpdate();
    /// Opens the batch and passes on the paths, in order, except those already changed in the
    /// batch when `force` is off.
    std::vector<platform::IndexPath> addToUpdate(const std::vector<platform::IndexPath>& paths, bool force);
    bool isUpdating() const;
    /// Closes the open batch and, the first time, reloads the visible level. Main thread.
    void processingFinished();
    /// Reloads all rows when the level is on top and no batch is open.
    void updateUI();
    bool isValidRow(long row) const;
    std::shared_ptr<TreeItem> itemAt(long row) const;

    void setLinesVisible(bool visible);
    bool linesVisible() const { return m_linesVisible; }
    void itemHeightChanged();
    /// Scrolls the row at the table's top left to the top, animated.
    void scrollUp();
    /// The window report of `scrollViewDidScroll` (virtual levels only).
    void recomputeWindow();
    /// Stops observing notifications.
    void destroy();

    long topIndex() const { return m_topIndex; }
    long lastSentTopIndex() const { return m_lastSentTopIndex; }

    // ViewController
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidLayoutSubviews() override;

    // TableViewDataSource and delegate
    int numberOfRows(platform::TableView& tableView, int section) override;
    /// No: every row of a level is the tree's item height.
    bool sizesRows(platform::TableView&) override { return false; }
    std::shared_ptr<platform::TableViewCell> cellForRow(platform::TableView& tableView, platform::IndexPath indexPath) override;
    void didSelectRow(platform::TableView& tableView, platform::IndexPath indexPath) override;
    void accessoryButtonTapped(platform::TableView& tableView, platform::IndexPath indexPath) override;
    void scrollViewDidScroll(platform::ScrollView& scrollView) override;
    void scrollViewDidEndDragging(platform::ScrollView& scrollView, bool willDecelerate) override;
    void scrollViewDidEndDecelerating(platform::ScrollView& scrollView) override;

protected:
    TreeController() = default;

private:
    void setUp(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<Tree>& tree);
    long entryCount() const;
    void sendTopIndex();
    int updateScrollDirection();
    void longPressDetected(platform::GestureRecognizer& recognizer);

    std::weak_ptr<Tree> m_tree;
    std::weak_ptr<TreeItem> m_parentItem;
    bool m_initialized = false;
    bool m_linesVisible = false;
    long m_topIndex = 0;
    long m_lastSentTopIndex = 0;
    double m_lastContentOffset = 0;
    platform::Size m_oldSize;
    // Guards the open batch, m_updating and m_treeMapping; the table calls back into the
    // controller while it is held, hence recursive.
    mutable std::recursive_mutex m_updateMutex;
    std::map<int, platform::IndexRuns> m_updating; // the rows changed in the batch, by section
    TreeMapping m_treeMapping;
    bool m_transactionStarted = false;
    long m_beforeItemCount = 0;
    bool m_calledByUpdate = false;
    std::shared_ptr<platform::LongPressGestureRecognizer> m_longPress;
    std::vector<platform::ObserverToken> m_observers;
};

} // namespace morvix
