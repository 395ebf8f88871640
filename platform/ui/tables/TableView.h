#pragma once
// A scrolling list of rows in sections, with cells supplied by a data source and reused.

#include "platform/ui/ScrollView.h"
#include "platform/ui/tables/BatchUpdateCheck.h"
#include "platform/ui/tables/IndexPath.h"
#include "platform/ui/tables/TableViewCell.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace morvix::platform {

class TableView;

/// How inserted, deleted and reloaded rows animate; recorded only. The numbers are the platform's.
enum class TableViewRowAnimation { Fade = 0, Right = 1, Left = 2, Top = 3, Bottom = 4, None = 5, Middle = 6, Automatic = 100 };
/// Where `scrollToRow` puts the row. The numbers are the platform's.
enum class TableViewScrollPosition { None = 0, Top = 1, Middle = 2, Bottom = 3 };
enum class TableViewSeparatorStyle { None = 0, SingleLine = 1 };

/// A row's position; the row is the index path's `item`.
inline IndexPath rowPath(int row, int section = 0) { return IndexPath { section, row }; }

/// Supplies a table's sections, rows and cells. Held weakly. Main thread.
class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfSections(TableView& tableView) { (void)tableView; return 1; }
    virtual int numberOfRows(TableView& tableView, int section) = 0;
    /// The cell of the row; null leaves the row empty.
    virtual std::shared_ptr<TableViewCell> cellForRow(TableView& tableView, IndexPath indexPath) = 0;
    /// The section's header title; none gives the section no header.
    virtual std::optional<std::string> titleForHeader(TableView& tableView, int section)
    {
        (void)tableView, (void)section;
        return std::nullopt;
    }
};

/// Hears of selections and accessory taps, may size rows, and hears the scroll view's calls.
/// Held weakly. Main thread.
class TableViewDelegate : public ScrollViewDelegate {
public:
    /// Whether `heightForRow` may answer. Sizing rows one by one asks about every row whenever
    /// the table places them; a delegate that never sizes rows says no, and the table then asks
    /// nothing per row, so that a long table costs what its visible rows cost.
    virtual bool sizesRows(TableView& tableView)
    {
        (void)tableView;
        return true;
    }
    /// The row's height; none takes the table's `rowHeight`. Asked only while `sizesRows` says so.
    virtual std::optional<double> heightForRow(TableView& tableView, IndexPath indexPath)
    {
        (void)tableView, (void)indexPath;
        return std::nullopt;
    }
    virtual void didSelectRow(TableView& tableView, IndexPath indexPath) { (void)tableView, (void)indexPath; }
    virtual void accessoryButtonTapped(TableView& tableView, IndexPath indexPath) { (void)tableView, (void)indexPath; }
};

/// A scroll view that shows the rows of its data source, section after section, below
/// `tableHeaderView` and above `tableFooterView`; a section with a header title starts with a
/// header of `kSectionHeaderHeight`. Rows are `rowHeight` high unless the delegate says
/// otherwise; the content size follows. The table keeps a count per section and the heights of
/// the rows the delegate sized otherwise, nothing per row: placing, finding and showing rows
/// costs what the visible rows (and the rows sized otherwise) cost, whatever the count.
///
/// Cells: only rows whose rectangle meets the visible bounds with a positive area have cells,
/// asked of the data source when they come into view; a cell scrolled out goes to the pool of its
/// reuse identifier, from which `dequeueReusableCell` hands it out again after
/// `prepareForReuse`.
///
/// Batches (`beginUpdates` / `endUpdates`, which nest; outside a batch each change is a batch of
/// its own): deleted, reloaded and moved-from rows are named as the table had them before the
/// batch, inserted and moved-to rows as it will have them after; a run of rows
/// (`insertRowRange`, `deleteRowRange`) counts as each of its rows, at the cost of one. While a
/// batch is open the table asks its data source nothing and keeps its old rows. At the outermost
/// end:
///  1. A table that never loaded just loads.
///  2. For each section the batch names, the count is asked once; the batch is applied when that
///     count is the old one plus the inserts less the deletes and every named row exists on its
///     side of the batch.
///  3. Otherwise the table logs a warning naming the section and the counts and reloads all its
///     data (a fallback); it never throws.
///  4. Applied, the rows that stayed keep their cells; the visible inserted, reloaded and moved
///     rows are asked for cells.
///
/// A `RefreshControl` among the subviews sits in the band above the first row; a drag that pulls
/// the content more than `RefreshControl::kTriggerDistance` past its top begins refreshing and
/// sends value-changed once per pull.
///
/// Touches: a tap highlights and selects a row and tells the delegate (not while
/// `allowsSelection` is off); a tap on a cell's detail-disclosure button tells the delegate of the
/// accessory and selects nothing. Main thread only.
class TableView : public ScrollView {
public:
    static constexpr double kDefaultRowHeight = 44;
    static constexpr double kSectionHeaderHeight = 28;

    /// One applied batch, for tests.
    struct Batch : BatchUpdate {
        TableViewRowAnimation animation = TableViewRowAnimation::None;
    };
    using CellFactory = std::function<std::shared_ptr<TableViewCell>()>;

    static std::shared_ptr<TableView> create(const Rect& frame = {});
    ~TableView() override;
    const char* className() const override { return "TableView"; }

    std::shared_ptr<TableViewDataSource> dataSource() const { return m_dataSource.lock(); }
    void setDataSource(std::weak_ptr<TableViewDataSource> dataSource) { m_dataSource = std::move(dataSource); }
    std::shared_ptr<TableViewDelegate> tableDelegate() const { return m_tableDelegate.lock(); }
    /// The table delegate also hears the scroll view's calls, relayed by the table (the scroll
    /// view's own delegate stays the table's relay, which places the rows first).
    void setDelegate(std::weak_ptr<TableViewDelegate> delegate) { m_tableDelegate = std::move(delegate); }

    double rowHeight() const { return m_rowHeight; }
    void setRowHeight(double height);
    TableViewSeparatorStyle separatorStyle() const { return m_separatorStyle; }
    void setSeparatorStyle(TableViewSeparatorStyle style);
    bool allowsSelection() const { return m_allowsSelection; }
    void setAllowsSelection(bool allows) { m_allowsSelection = allows; }
    const std::shared_ptr<View>& tableHeaderView() const { return m_headerView; }
    void setTableHeaderView(std::shared_ptr<View> view);
    const std::shared_ptr<View>& tableFooterView() const { return m_footerView; }
    void setTableFooterView(std::shared_ptr<View> view);
    /// Fills the table's bounds behind the rows; stays in place while the content scrolls.
    const std::shared_ptr<View>& backgroundView() const { return m_backgroundView; }
    void setBackgroundView(std::shared_ptr<View> view);

    // ---- Cells ----
    /// Cells for `identifier` are made by `factory` when the pool is empty.
    void registerCell(const std::string& identifier, CellFactory factory);
    /// A pooled cell (after `prepareForReuse`), else a new one from the registered factory, else null.
    std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& identifier);

    // ---- Rows ----
    /// Asks the data source for everything again; the cells shown go to their pools first.
    void reloadData();
    int numberOfSections() const { return static_cast<int>(m_sections.size()); }
    int numberOfRows(int section) const;
    /// The visible cells, in row order.
    std::vector<std::shared_ptr<TableViewCell>> visibleCells() const;
    std::vector<IndexPath> indexPathsForVisibleRows() const;
    /// Null when the row is not shown.
    std::shared_ptr<TableViewCell> cellForRow(IndexPath indexPath) const;
    /// The row at `point` (content coordinates); none outside every row.
    std::optional<IndexPath> indexPathForRowAt(Point point) const;
    /// The row of a visible cell; none for another view.
    std::optional<IndexPath> indexPathForCell(const TableViewCell& cell) const;
    /// The row's rectangle in content coordinates; empty for a row the table does not have.
    Rect rectForRow(IndexPath indexPath) const;
    void scrollToRow(IndexPath indexPath, TableViewScrollPosition position, Animated animated);

    // ---- Batches ----
    void beginUpdates();
    void endUpdates();
    bool isUpdating() const { return m_batchDepth > 0; }
    void insertRows(const std::vector<IndexPath>& paths, TableViewRowAnimation animation);
    void deleteRows(const std::vector<IndexPath>& paths, TableViewRowAnimation animation);
    /// Inserts or deletes every row of `range` as one run; nothing for an empty run.
    void insertRowRange(IndexRange range, TableViewRowAnimation animation);
    void deleteRowRange(IndexRange range, TableViewRowAnimation animation);
    void reloadRows(const std::vector<IndexPath>& paths, TableViewRowAnimation animation);
    void moveRow(IndexPath from, IndexPath to);

    // ---- Selection ----
    std::optional<IndexPath> indexPathForSelectedRow() const { return m_selected; }
    /// Selects the row without telling the delegate, scrolled to `position`.
    void selectRow(IndexPath indexPath, Animated animated, TableViewScrollPosition position);
    /// Test driver: selects the row as a tap does (the delegate hears it).
    void selectRow(int row, int section = 0);
    void deselectRow(IndexPath indexPath, Animated animated);

    // ---- Test hooks ----
    const std::vector<Batch>& appliedBatches() const { return m_appliedBatches; }
    int fallbackCount() const { return m_fallbacks; }
    int fullReloadCount() const { return m_fullReloads; }
    /// The thread of every outermost `endUpdates`, in order.
    const std::vector<std::thread::id>& endUpdatesThreads() const { return m_endThreads; }

    void layoutSubviews() override;
    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

protected:
    explicit TableView(const Rect& frame);

private:
    /// A row whose height differs from the table's, with the sum of the differences of the
    /// sized rows before it.
    struct SizedRow {
        int row = 0;
        double height = 0;
        double shift = 0;
    };
    struct Section {
        std::optional<std::string> title;
        std::shared_ptr<View> header;
        double top = 0;     // where the section starts (its header, if any)
        double rowsTop = 0; // where its first row starts
        int rowCount = 0;
        std::vector<SizedRow> sizedRows; // in row order
        double totalShift = 0;           // the sum of every sized row's difference
    };
    using RowKey = std::pair<int, int>; // section, row
    class ScrollRelay;

    void loadSections();
    void computeGeometry();
    /// `rowHeight`, or 0 when it is not positive.
    double uniformRowHeight() const;
    double rowTop(const Section& section, int row) const;
    double rowHeightOf(const Section& section, int row) const;
    /// The last row of the section that starts at or above `y`; -1 when none does.
    int lastRowStartingBy(const Section& section, double y) const;
    /// The row after `row` that can have a height: with a zero `rowHeight` only sized rows can.
    int nextRowWithHeight(const Section& section, int row) const;
    void tileCells();
    void placeCell(const std::shared_ptr<TableViewCell>& cell, RowKey key);
    /// A drag that pulls the content `RefreshControl::kTriggerDistance` past its top begins the
    /// refresh of a refresh control among the subviews, once per pull.
    void checkRefreshPull();
    void placeRefreshControl();
    void enqueue(const std::shared_ptr<TableViewCell>& cell);
    void dropAllCells();
    void applyBatch(Batch batch);
    void record(std::function<void(Batch&)> change, TableViewRowAnimation animation);
    std::optional<IndexPath> rowAtTouch(const TouchSet& touches);
    void accessoryTapped(TableViewCell& cell);
    void tapSelect(IndexPath indexPath);
    bool hasRow(IndexPath indexPath) const;

    std::weak_ptr<TableViewDataSource> m_dataSource;
    std::weak_ptr<TableViewDelegate> m_tableDelegate;
    std::shared_ptr<ScrollRelay> m_relay;
    double m_rowHeight = kDefaultRowHeight;
    TableViewSeparatorStyle m_separatorStyle = TableViewSeparatorStyle::SingleLine;
    bool m_allowsSelection = true;
    std::shared_ptr<View> m_headerView;
    std::shared_ptr<View> m_footerView;
    std::shared_ptr<View> m_backgroundView;
    std::map<std::string, CellFactory> m_factories;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> m_pools;
    std::vector<Section> m_sections;
    std::map<RowKey, std::shared_ptr<TableViewCell>> m_visible;
    bool m_loaded = false;
    bool m_tiling = false;
    int m_batchDepth = 0;
    std::optional<Batch> m_pending;
    std::optional<IndexPath> m_selected;
    std::optional<IndexPath> m_touchRow;
    std::vector<Batch> m_appliedBatches;
    int m_fallbacks = 0;
    int m_fullReloads = 0;
    std::vector<std::thread::id> m_endThreads;
    double m_laidOutWidth = -1;
    bool m_pullTriggered = false;
};

} // namespace morvix::platform
