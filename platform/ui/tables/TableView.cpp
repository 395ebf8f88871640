#include "platform/ui/tables/TableView.h"

#include "platform/ui/Touch.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/controls/RefreshControl.h"

#include <algorithm>
#include <set>

namespace morvix::platform {

namespace {

// A batch may name a row more than once on one side.
constexpr BatchUpdateCheck kBatchCheck("table view", "rows", BatchUpdateCheck::Repeats::Allowed);

const Color kHeaderBackground = Color::fromRGBA(0.94f, 0.94f, 0.96f);

std::string rowName(int section, int row)
{
    if (section == 0)
        return "row " + std::to_string(row);
    return "row " + std::to_string(section) + "." + std::to_string(row);
}

} // namespace

/// The scroll view's delegate: places the rows for the new offset, then passes the call on to the
/// table's delegate.
class TableView::ScrollRelay final : public ScrollViewDelegate {
public:
    explicit ScrollRelay(std::weak_ptr<TableView> table) : m_table(std::move(table)) { }

    void scrollViewDidScroll(ScrollView& scrollView) override
    {
        auto table = m_table.lock();
        if (!table)
            return;
        table->tileCells();
        table->checkRefreshPull();
        if (auto delegate = table->m_tableDelegate.lock())
            delegate->scrollViewDidScroll(scrollView);
    }
    void scrollViewDidEndDragging(ScrollView& scrollView, bool willDecelerate) override
    {
        if (auto table = m_table.lock())
            table->m_pullTriggered = false;
        if (auto delegate = tableDelegate())
            delegate->scrollViewDidEndDragging(scrollView, willDecelerate);
    }
    void scrollViewDidEndDecelerating(ScrollView& scrollView) override
    {
        if (auto delegate = tableDelegate())
            delegate->scrollViewDidEndDecelerating(scrollView);
    }

private:
    std::shared_ptr<TableViewDelegate> tableDelegate() const
    {
        auto table = m_table.lock();
        return table ? table->m_tableDelegate.lock() : nullptr;
    }

    std::weak_ptr<TableView> m_table;
};

std::shared_ptr<TableView> TableView::create(const Rect& frame)
{
    auto table = std::shared_ptr<TableView>(new TableView(frame));
    table->m_relay = std::make_shared<ScrollRelay>(table);
    table->ScrollView::setDelegate(table->m_relay);
    return table;
}

TableView::TableView(const Rect& frame)
    : ScrollView(frame)
{
    setBackgroundColor(Color::white());
    // Rows scrolled past the edges are not drawn over the views around the table.
    setClipsToBounds(true);
}

TableView::~TableView() = default;

void TableView::setRowHeight(double height)
{
    if (height == m_rowHeight)
        return;
    m_rowHeight = height;
    computeGeometry();
    tileCells();
}

void TableView::setSeparatorStyle(TableViewSeparatorStyle style)
{
    m_separatorStyle = style;
    for (const auto& [key, cell] : m_visible)
        cell->setShowsSeparator(style == TableViewSeparatorStyle::SingleLine);
}

void TableView::setTableHeaderView(std::shared_ptr<View> view)
{
    if (m_headerView)
        m_headerView->removeFromSuperview();
    m_headerView = std::move(view);
    if (m_headerView)
        addSubview(m_headerView);
    computeGeometry();
    tileCells();
}

void TableView::setTableFooterView(std::shared_ptr<View> view)
{
    if (m_footerView)
        m_footerView->removeFromSuperview();
    m_footerView = std::move(view);
    if (m_footerView)
        addSubview(m_footerView);
    computeGeometry();
}

void TableView::setBackgroundView(std::shared_ptr<View> view)
{
    if (m_backgroundView)
        m_backgroundView->removeFromSuperview();
    m_backgroundView = std::move(view);
    if (!m_backgroundView)
        return;
    insertSubview(m_backgroundView, 0);
    m_backgroundView->setFrame(bounds());
}

// MARK: Cells

void TableView::registerCell(const std::string& identifier, CellFactory factory)
{
    m_factories[identifier] = std::move(factory);
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& identifier)
{
    auto pool = m_pools.find(identifier);
    if (pool != m_pools.end() && !pool->second.empty()) {
        auto cell = pool->second.back();
        pool->second.pop_back();
        cell->prepareForReuse();
        return cell;
    }
    auto factory = m_factories.find(identifier);
    if (factory != m_factories.end() && factory->second)
        return factory->second();
    return nullptr;
}

void TableView::enqueue(const std::shared_ptr<TableViewCell>& cell)
{
    cell->removeFromSuperview();
    cell->setHighlighted(false);
    cell->onAccessoryTapped = nullptr;
    if (!cell->reuseIdentifier().empty())
        m_pools[cell->reuseIdentifier()].push_back(cell);
}

void TableView::dropAllCells()
{
    auto visible = std::move(m_visible);
    m_visible.clear();
    for (const auto& [key, cell] : visible)
        enqueue(cell);
}

// MARK: Rows

void TableView::reloadData()
{
    ++m_fullReloads;
    dropAllCells();
    m_selected.reset();
    m_touchRow.reset();
    loadSections();
    m_loaded = true;
    tileCells();
}

void TableView::loadSections()
{
    for (const auto& section : m_sections) {
        if (section.header)
            section.header->removeFromSuperview();
    }
    m_sections.clear();
    auto source = m_dataSource.lock();
    if (source) {
        int sections = std::max(source->numberOfSections(*this), 0);
        for (int index = 0; index < sections; ++index) {
            Section section;
            section.rowCount = std::max(source->numberOfRows(*this, index), 0);
            section.title = source->titleForHeader(*this, index);
            if (section.title) {
                auto header = Label::create();
                header->setText(" " + *section.title);
                header->setBackgroundColor(kHeaderBackground);
                header->setDebugName("header " + std::to_string(index));
                addSubview(header);
                section.header = std::move(header);
            }
            m_sections.push_back(std::move(section));
        }
    }
    computeGeometry();
}

void TableView::computeGeometry()
{
    auto delegate = m_tableDelegate.lock();
    bool asksRows = delegate && delegate->sizesRows(*this);
    double uniform = uniformRowHeight();
    double width = bounds().width();
    m_laidOutWidth = width;
    double y = 0;
    if (m_headerView) {
        m_headerView->setFrame({ 0, 0, width, m_headerView->frame().height() });
        y = m_headerView->frame().height();
    }
    for (std::size_t index = 0; index < m_sections.size(); ++index) {
        Section& section = m_sections[index];
        section.top = y;
        if (section.header) {
            section.header->setFrame({ 0, y, width, kSectionHeaderHeight });
            y += kSectionHeaderHeight;
        }
        section.rowsTop = y;
        section.sizedRows.clear();
        section.totalShift = 0;
        for (int row = 0; asksRows && row < section.rowCount; ++row) {
            auto asked = delegate->heightForRow(*this, rowPath(row, static_cast<int>(index)));
            double height = asked ? std::max(0.0, *asked) : uniform;
            if (height == uniform)
                continue;
            section.sizedRows.push_back({ row, height, section.totalShift });
            section.totalShift += height - uniform;
        }
        y += section.rowCount * uniform + section.totalShift;
    }
    if (m_footerView) {
        m_footerView->setFrame({ 0, y, width, m_footerView->frame().height() });
        y += m_footerView->frame().height();
    }
    setContentSize({ width, y });
}

double TableView::uniformRowHeight() const
{
    // Also 0 for NaN.
    return m_rowHeight > 0 ? m_rowHeight : 0;
}

double TableView::rowTop(const Section& section, int row) const
{
    auto sized = std::lower_bound(section.sizedRows.begin(), section.sizedRows.end(), row,
        [](const SizedRow& entry, int wanted) { return entry.row < wanted; });
    double shift = sized == section.sizedRows.end() ? section.totalShift : sized->shift;
    return section.rowsTop + row * uniformRowHeight() + shift;
}

double TableView::rowHeightOf(const Section& section, int row) const
{
    auto sized = std::lower_bound(section.sizedRows.begin(), section.sizedRows.end(), row,
        [](const SizedRow& entry, int wanted) { return entry.row < wanted; });
    return sized != section.sizedRows.end() && sized->row == row ? sized->height : uniformRowHeight();
}

int TableView::lastRowStartingBy(const Section& section, double y) const
{
    // Row tops never go back up: a binary search over the rows finds the first one below `y`.
    int low = 0;
    int high = section.rowCount;
    while (low < high) {
        int middle = low + (high - low) / 2;
        if (rowTop(section, middle) <= y)
            low = middle + 1;
        else
            high = middle;
    }
    return low - 1;
}

int TableView::nextRowWithHeight(const Section& section, int row) const
{
    if (uniformRowHeight() > 0)
        return row + 1;
    auto sized = std::upper_bound(section.sizedRows.begin(), section.sizedRows.end(), row,
        [](int wanted, const SizedRow& entry) { return wanted < entry.row; });
    return sized == section.sizedRows.end() ? section.rowCount : sized->row;
}

int TableView::numberOfRows(int section) const
{
    if (section < 0 || section >= numberOfSections())
        return 0;
    return m_sections[section].rowCount;
}

bool TableView::hasRow(IndexPath indexPath) const
{
    return indexPath.item >= 0 && indexPath.item < numberOfRows(indexPath.section);
}

Rect TableView::rectForRow(IndexPath indexPath) const
{
    if (!hasRow(indexPath))
        return {};
    const Section& section = m_sections[indexPath.section];
    return { 0, rowTop(section, indexPath.item), bounds().width(), rowHeightOf(section, indexPath.item) };
}

std::optional<IndexPath> TableView::indexPathForRowAt(Point point) const
{
    if (point.x < 0 || point.x >= bounds().width())
        return std::nullopt;
    for (int section = 0; section < numberOfSections(); ++section) {
        const Section& rows = m_sections[section];
        int row = lastRowStartingBy(rows, point.y);
        if (row < 0)
            continue;
        if (point.y < rowTop(rows, row) + rowHeightOf(rows, row))
            return rowPath(row, section);
    }
    return std::nullopt;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() const
{
    std::vector<std::shared_ptr<TableViewCell>> cells;
    for (const auto& [key, cell] : m_visible)
        cells.push_back(cell);
    return cells;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const
{
    std::vector<IndexPath> paths;
    for (const auto& [key, cell] : m_visible)
        paths.push_back(rowPath(key.second, key.first));
    return paths;
}

std::shared_ptr<TableViewCell> TableView::cellForRow(IndexPath indexPath) const
{
    auto found = m_visible.find({ indexPath.section, indexPath.item });
    return found == m_visible.end() ? nullptr : found->second;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) const
{
    for (const auto& [key, shown] : m_visible) {
        if (shown.get() == &cell)
            return rowPath(key.second, key.first);
    }
    return std::nullopt;
}

void TableView::tileCells()
{
    if (m_tiling || !m_loaded)
        return;
    m_tiling = true;
    Rect visible = bounds();
    std::set<RowKey> shown;
    for (int section = 0; section < numberOfSections(); ++section) {
        const Section& rows = m_sections[section];
        for (int row = std::max(lastRowStartingBy(rows, visible.y()), 0); row < rows.rowCount;
             row = nextRowWithHeight(rows, row)) {
            double top = rowTop(rows, row);
            if (top >= visible.maxY())
                break;
            double height = rowHeightOf(rows, row);
            if (height > 0 && top + height > visible.y())
                shown.insert({ section, row });
        }
    }
    for (auto it = m_visible.begin(); it != m_visible.end();) {
        if (shown.count(it->first)) {
            ++it;
            continue;
        }
        auto cell = it->second;
        it = m_visible.erase(it);
        enqueue(cell);
    }
    auto source = m_dataSource.lock();
    for (const RowKey& key : shown) {
        auto found = m_visible.find(key);
        if (found != m_visible.end()) {
            placeCell(found->second, key);
            continue;
        }
        // An open batch keeps the rows as they were: nothing is asked until it ends.
        if (isUpdating() || !source)
            continue;
        auto cell = source->cellForRow(*this, rowPath(key.second, key.first));
        if (!cell)
            continue;
        m_visible[key] = cell;
        placeCell(cell, key);
    }
    if (m_backgroundView)
        m_backgroundView->setFrame(bounds());
    placeRefreshControl();
    m_tiling = false;
}

void TableView::placeRefreshControl()
{
    for (const auto& subview : subviews()) {
        if (auto control = std::dynamic_pointer_cast<RefreshControl>(subview))
            control->setFrame({ 0, -RefreshControl::kHeight, bounds().width(), RefreshControl::kHeight });
    }
}

void TableView::checkRefreshPull()
{
    if (!isDragging()) {
        m_pullTriggered = false;
        return;
    }
    if (m_pullTriggered || contentOffset().y >= minimumContentOffset().y - RefreshControl::kTriggerDistance)
        return;
    for (const auto& subview : subviews()) {
        if (auto control = std::dynamic_pointer_cast<RefreshControl>(subview)) {
            m_pullTriggered = true;
            control->pullTriggered();
            return;
        }
    }
}

void TableView::placeCell(const std::shared_ptr<TableViewCell>& cell, RowKey key)
{
    IndexPath path = rowPath(key.second, key.first);
    cell->setFrame(rectForRow(path));
    cell->setDebugName(rowName(key.first, key.second));
    cell->setShowsSeparator(m_separatorStyle == TableViewSeparatorStyle::SingleLine);
    cell->setSelected(m_selected == path);
    std::weak_ptr<TableView> weak = std::static_pointer_cast<TableView>(shared_from_this());
    cell->onAccessoryTapped = [weak](TableViewCell& tapped) {
        if (auto table = weak.lock())
            table->accessoryTapped(tapped);
    };
    if (cell->superview().get() != this)
        insertSubview(cell, m_backgroundView ? 1 : 0);
}

void TableView::scrollToRow(IndexPath indexPath, TableViewScrollPosition position, Animated animated)
{
    Rect row = rectForRow(indexPath);
    if (!hasRow(indexPath))
        return;
    double height = bounds().height();
    double y = contentOffset().y;
    switch (position) {
    case TableViewScrollPosition::None:
        scrollRectToVisible(row, animated);
        return;
    case TableViewScrollPosition::Top:
        y = row.y();
        break;
    case TableViewScrollPosition::Middle:
        y = row.midY() - height / 2;
        break;
    case TableViewScrollPosition::Bottom:
        y = row.maxY() - height;
        break;
    }
    y = std::clamp(y, minimumContentOffset().y, maximumContentOffset().y);
    setContentOffset({ contentOffset().x, y }, animated);
}

void TableView::layoutSubviews()
{
    ScrollView::layoutSubviews();
    if (!m_loaded) {
        if (!isUpdating() && m_dataSource.lock())
            reloadData();
        return;
    }
    if (bounds().width() != m_laidOutWidth)
        computeGeometry();
    tileCells();
}

// MARK: Batches

void TableView::beginUpdates()
{
    if (m_batchDepth++ == 0)
        m_pending = Batch {};
}

void TableView::endUpdates()
{
    if (m_batchDepth == 0)
        return;
    if (--m_batchDepth > 0)
        return;
    m_endThreads.push_back(std::this_thread::get_id());
    Batch batch = std::move(*m_pending);
    m_pending.reset();
    applyBatch(std::move(batch));
}

void TableView::record(std::function<void(Batch&)> change, TableViewRowAnimation animation)
{
    beginUpdates();
    change(*m_pending);
    m_pending->animation = animation;
    endUpdates();
}

void TableView::insertRows(const std::vector<IndexPath>& paths, TableViewRowAnimation animation)
{
    record([&](Batch& batch) { batch.inserts.insert(batch.inserts.end(), paths.begin(), paths.end()); }, animation);
}

void TableView::deleteRows(const std::vector<IndexPath>& paths, TableViewRowAnimation animation)
{
    record([&](Batch& batch) { batch.deletes.insert(batch.deletes.end(), paths.begin(), paths.end()); }, animation);
}

void TableView::reloadRows(const std::vector<IndexPath>& paths, TableViewRowAnimation animation)
{
    record([&](Batch& batch) { batch.reloads.insert(batch.reloads.end(), paths.begin(), paths.end()); }, animation);
}

void TableView::insertRowRange(IndexRange range, TableViewRowAnimation animation)
{
    if (range.count < 1)
        return;
    record([&](Batch& batch) { batch.insertedRanges.push_back(range); }, animation);
}

void TableView::deleteRowRange(IndexRange range, TableViewRowAnimation animation)
{
    if (range.count < 1)
        return;
    record([&](Batch& batch) { batch.deletedRanges.push_back(range); }, animation);
}

void TableView::moveRow(IndexPath from, IndexPath to)
{
    beginUpdates();
    m_pending->moves.emplace_back(from, to);
    endUpdates();
}

void TableView::applyBatch(Batch batch)
{
    auto source = m_dataSource.lock();
    if (!m_loaded || !source) {
        reloadData();
        return;
    }
    auto counts = kBatchCheck.countsAfter(batch, numberOfSections(),
        [this](int section) { return numberOfRows(section); },
        [this, &source](int section) { return source->numberOfRows(*this, section); });
    if (!counts) {
        ++m_fallbacks;
        reloadData();
        return;
    }
    std::map<RowKey, std::shared_ptr<TableViewCell>> kept;
    std::optional<IndexPath> selected = m_selected;
    for (const auto& [section, count] : *counts) {
        // Moved rows are asked for again, like inserted ones.
        BatchUpdateCheck::Places places(batch, section, BatchUpdateCheck::Moves::Dropped);
        BatchUpdateCheck::takeCells(batch, section, places, m_visible, kept, [this](const auto& cell) { enqueue(cell); });
        if (selected && selected->section == section) {
            auto place = places.placeOf(selected->item);
            selected = place ? std::optional<IndexPath>(rowPath(*place, section)) : std::nullopt;
        }
        m_sections[section].rowCount = count;
    }
    for (auto& [key, cell] : kept)
        m_visible[key] = std::move(cell);
    m_selected = selected;
    computeGeometry();
    m_appliedBatches.push_back(std::move(batch));
    tileCells();
}

// MARK: Selection

void TableView::selectRow(IndexPath indexPath, Animated animated, TableViewScrollPosition position)
{
    if (!hasRow(indexPath))
        return;
    if (m_selected && *m_selected != indexPath)
        deselectRow(*m_selected, animated);
    m_selected = indexPath;
    if (auto cell = cellForRow(indexPath))
        cell->setSelected(true, animated);
    if (position != TableViewScrollPosition::None)
        scrollToRow(indexPath, position, animated);
}

void TableView::selectRow(int row, int section)
{
    if (!m_allowsSelection || !hasRow(rowPath(row, section)))
        return;
    tapSelect(rowPath(row, section));
}

void TableView::deselectRow(IndexPath indexPath, Animated animated)
{
    if (auto cell = cellForRow(indexPath))
        cell->setSelected(false, animated);
    if (m_selected == indexPath)
        m_selected.reset();
}

void TableView::tapSelect(IndexPath indexPath)
{
    selectRow(indexPath, Animated::No, TableViewScrollPosition::None);
    if (auto delegate = m_tableDelegate.lock())
        delegate->didSelectRow(*this, indexPath);
}

void TableView::accessoryTapped(TableViewCell& cell)
{
    auto path = indexPathForCell(cell);
    if (!path)
        return;
    if (auto delegate = m_tableDelegate.lock())
        delegate->accessoryButtonTapped(*this, *path);
}

std::optional<IndexPath> TableView::rowAtTouch(const TouchSet& touches)
{
    if (touches.empty())
        return std::nullopt;
    return indexPathForRowAt((*touches.begin())->locationIn(this));
}

void TableView::touchesBegan(const TouchSet& touches, const Event& event)
{
    if (!m_allowsSelection) {
        ScrollView::touchesBegan(touches, event);
        return;
    }
    m_touchRow = rowAtTouch(touches);
    if (!m_touchRow)
        return;
    auto cell = cellForRow(*m_touchRow);
    if (cell && cell->selectionStyle() != TableViewCellSelectionStyle::None)
        cell->setHighlighted(true);
}

void TableView::touchesMoved(const TouchSet&, const Event&)
{
}

void TableView::touchesEnded(const TouchSet& touches, const Event& event)
{
    if (!m_touchRow) {
        if (!m_allowsSelection)
            ScrollView::touchesEnded(touches, event);
        return;
    }
    IndexPath pressed = *m_touchRow;
    m_touchRow.reset();
    if (auto cell = cellForRow(pressed))
        cell->setHighlighted(false);
    if (rowAtTouch(touches) == pressed)
        tapSelect(pressed);
}

void TableView::touchesCancelled(const TouchSet&, const Event&)
{
    if (!m_touchRow)
        return;
    if (auto cell = cellForRow(*m_touchRow))
        cell->setHighlighted(false);
    m_touchRow.reset();
}

} // namespace morvix::platform
