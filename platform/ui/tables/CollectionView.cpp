#include "platform/ui/tables/CollectionView.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/Touch.h"
#include "platform/ui/controls/RefreshControl.h"
#include "platform/ui/tables/CollectionViewCell.h"
#include "platform/ui/tables/CollectionViewFlowLayout.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace morvix::platform {

namespace {

// A batch names each item at most once on each side.
constexpr BatchUpdateCheck kBatchCheck("collection view", "items", BatchUpdateCheck::Repeats::Refused);

std::string itemName(IndexPath path)
{
    if (path.section == 0)
        return "item " + std::to_string(path.item);
    return "item " + std::to_string(path.section) + "." + std::to_string(path.item);
}

} // namespace

/// The scroll view's delegate: places the cells for the new offset and watches for a refresh
/// pull, then passes the call on to the collection view's delegate. Owned by the view, which the
/// scroll view's weak reference to it cannot outlive.
class CollectionView::ScrollRelay final : public ScrollViewDelegate {
public:
    explicit ScrollRelay(CollectionView& view) : m_view(view) { }

    void scrollViewDidScroll(ScrollView& scrollView) override
    {
        m_view.tileCells();
        m_view.checkRefreshPull();
        if (auto delegate = m_view.m_delegate.lock())
            delegate->scrollViewDidScroll(scrollView);
    }
    void scrollViewDidEndDragging(ScrollView& scrollView, bool willDecelerate) override
    {
        m_view.m_pullTriggered = false;
        if (auto delegate = m_view.m_delegate.lock())
            delegate->scrollViewDidEndDragging(scrollView, willDecelerate);
    }
    void scrollViewDidEndDecelerating(ScrollView& scrollView) override
    {
        if (auto delegate = m_view.m_delegate.lock())
            delegate->scrollViewDidEndDecelerating(scrollView);
    }

private:
    CollectionView& m_view;
};

std::shared_ptr<CollectionView> CollectionView::create(const Rect& frame)
{
    return std::shared_ptr<CollectionView>(new CollectionView(frame));
}

// Subclasses made by factories of their own get the relay too, so it is set up here.
CollectionView::CollectionView(const Rect& frame)
    : ScrollView(frame)
    , m_relay(std::make_shared<ScrollRelay>(*this))
    , m_layout(CollectionViewFlowLayout::create())
{
    ScrollView::setDelegate(m_relay);
}

CollectionView::~CollectionView() = default;

// MARK: Layout

void CollectionView::setCollectionViewLayout(std::shared_ptr<CollectionViewFlowLayout> layout, Animated)
{
    if (!layout)
        return;
    m_layout = std::move(layout);
    if (!m_loaded)
        return;
    prepareLayout();
    tileCells();
}

const CollectionFlowLayout& CollectionView::layout() const
{
    return m_layout->measures();
}

void CollectionView::setLayout(CollectionFlowLayout layout)
{
    m_layout->setMeasures(layout);
    if (!m_loaded)
        return;
    prepareLayout();
    tileCells();
}

void CollectionView::prepareLayout()
{
    m_preparedWidth = bounds().width();
    // The layout in use may be replaced while it asks the delegate; it stays alive until done.
    auto layout = m_layout;
    layout->prepare(*this);
    setContentSize(layout->contentSize());
}

std::optional<Rect> CollectionView::frameForItem(IndexPath indexPath) const
{
    return m_layout->frameForItem(indexPath);
}

// MARK: Cells

void CollectionView::registerCell(const std::string& identifier, CellFactory factory)
{
    m_factories[identifier] = std::move(factory);
}

std::shared_ptr<CollectionViewCell> CollectionView::dequeueReusableCell(const std::string& identifier, IndexPath)
{
    auto pool = m_pools.find(identifier);
    if (pool != m_pools.end() && !pool->second.empty()) {
        auto cell = pool->second.back();
        pool->second.pop_back();
        cell->prepareForReuse();
        return cell;
    }
    auto factory = m_factories.find(identifier);
    auto cell = factory != m_factories.end() && factory->second ? factory->second() : nullptr;
    if (!cell) {
        std::fprintf(stderr, "collection view: no cell is registered for \"%s\"\n", identifier.c_str());
        return nullptr;
    }
    cell->m_reuseIdentifier = identifier;
    return cell;
}

void CollectionView::enqueue(const std::shared_ptr<View>& view)
{
    view->removeFromSuperview();
    auto cell = std::dynamic_pointer_cast<CollectionViewCell>(view);
    if (!cell || cell->reuseIdentifier().empty())
        return;
    cell->setHighlighted(false);
    m_pools[cell->reuseIdentifier()].push_back(cell);
}

// MARK: Items

void CollectionView::reloadData()
{
    ++m_fullReloads;
    auto shown = std::move(m_visible);
    m_visible.clear();
    for (const auto& [key, cell] : shown)
        enqueue(cell);
    m_touchItem.reset();
    loadCounts();
    m_loaded = true;
    prepareLayout();
    tileCells();
}

void CollectionView::loadCounts()
{
    m_counts.clear();
    auto source = m_dataSource.lock();
    if (!source)
        return;
    int sections = std::max(source->numberOfSections(*this), 0);
    for (int section = 0; section < sections; ++section)
        m_counts.push_back(std::max(source->numberOfItems(*this, section), 0));
}

int CollectionView::numberOfItems(int section) const
{
    if (section < 0 || section >= numberOfSections())
        return 0;
    return m_counts[static_cast<std::size_t>(section)];
}

std::vector<std::shared_ptr<View>> CollectionView::visibleCells() const
{
    std::vector<std::shared_ptr<View>> cells;
    for (const auto& [key, cell] : m_visible)
        cells.push_back(cell);
    return cells;
}

std::vector<IndexPath> CollectionView::indexPathsForVisibleItems() const
{
    std::vector<IndexPath> paths;
    for (const auto& [key, cell] : m_visible)
        paths.push_back({ key.first, key.second });
    return paths;
}

std::shared_ptr<View> CollectionView::cellForItem(IndexPath indexPath) const
{
    auto found = m_visible.find({ indexPath.section, indexPath.item });
    return found == m_visible.end() ? nullptr : found->second;
}

std::optional<IndexPath> CollectionView::indexPathForItemAt(Point point) const
{
    return m_layout->itemAt(point);
}

void CollectionView::tileCells()
{
    if (m_tiling || !m_loaded)
        return;
    m_tiling = true;
    std::set<Key> shown;
    for (IndexPath path : m_layout->itemsInRect(bounds()))
        shown.insert({ path.section, path.item });
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
    for (const Key& key : shown) {
        IndexPath path { key.first, key.second };
        if (auto found = m_visible.find(key); found != m_visible.end()) {
            placeCell(found->second, path);
            continue;
        }
        // An open batch keeps the items as they were: nothing is asked until it ends.
        if (isUpdating() || !source)
            continue;
        auto cell = source->cellForItem(*this, path);
        if (!cell)
            continue;
        m_visible[key] = cell;
        placeCell(cell, path);
    }
    placeRefreshControl();
    m_tiling = false;
}

void CollectionView::placeCell(const std::shared_ptr<View>& cell, IndexPath indexPath)
{
    if (auto frame = m_layout->frameForItem(indexPath))
        cell->setFrame(*frame);
    cell->setDebugName(itemName(indexPath));
    if (cell->superview().get() != this)
        addSubview(cell);
}

void CollectionView::scrollToItem(IndexPath indexPath, unsigned position, Animated animated)
{
    auto frame = m_layout->frameForItem(indexPath);
    if (!frame)
        return;
    namespace Position = CollectionViewScrollPosition;
    Point offset = contentOffset();
    Size size = bounds().size;
    if (position & Position::Top)
        offset.y = frame->y();
    else if (position & Position::CenteredVertically)
        offset.y = frame->midY() - size.height / 2;
    else if (position & Position::Bottom)
        offset.y = frame->maxY() - size.height;
    if (position & Position::Left)
        offset.x = frame->x();
    else if (position & Position::CenteredHorizontally)
        offset.x = frame->midX() - size.width / 2;
    else if (position & Position::Right)
        offset.x = frame->maxX() - size.width;
    Point lowest = minimumContentOffset();
    Point highest = maximumContentOffset();
    offset = { std::clamp(offset.x, lowest.x, std::max(lowest.x, highest.x)),
        std::clamp(offset.y, lowest.y, std::max(lowest.y, highest.y)) };
    setContentOffset(offset, animated);
}

void CollectionView::layoutSubviews()
{
    ScrollView::layoutSubviews();
    if (!m_loaded) {
        if (!isUpdating() && m_dataSource.lock())
            reloadData();
        return;
    }
    if (bounds().width() != m_preparedWidth)
        prepareLayout();
    tileCells();
}

// MARK: Refresh

void CollectionView::placeRefreshControl()
{
    for (const auto& subview : subviews()) {
        if (auto control = std::dynamic_pointer_cast<RefreshControl>(subview))
            control->setFrame({ 0, -RefreshControl::kHeight, bounds().width(), RefreshControl::kHeight });
    }
}

void CollectionView::checkRefreshPull()
{
    if (!isDragging()) {
        m_pullTriggered = false;
        return;
    }
    if (m_pullTriggered || contentOffset().y >= minimumContentOffset().y - RefreshControl::kTriggerDistance)
        return;
    auto subviews = this->subviews();
    auto control = std::find_if(subviews.begin(), subviews.end(),
        [](const auto& subview) { return std::dynamic_pointer_cast<RefreshControl>(subview) != nullptr; });
    if (control == subviews.end())
        return;
    m_pullTriggered = true;
    std::static_pointer_cast<RefreshControl>(*control)->pullTriggered();
}

// MARK: Batches

void CollectionView::performBatchUpdates(const std::function<void()>& updates, Completion completion)
{
    beginUpdates();
    if (updates)
        updates();
    endUpdates(std::move(completion));
}

void CollectionView::beginUpdates()
{
    if (m_batchDepth++ == 0)
        m_pending = Batch {};
}

void CollectionView::endUpdates(Completion completion)
{
    if (m_batchDepth == 0)
        return;
    if (--m_batchDepth == 0) {
        Batch batch = std::move(*m_pending);
        m_pending.reset();
        applyBatch(std::move(batch));
    }
    if (!completion)
        return;
    MainLoop::main().post([completion = std::move(completion)] { completion(true); });
}

void CollectionView::record(const std::function<void(Batch&)>& change)
{
    beginUpdates();
    change(*m_pending);
    endUpdates({});
}

void CollectionView::insertItems(const std::vector<IndexPath>& paths)
{
    record([&](Batch& batch) { batch.inserts.insert(batch.inserts.end(), paths.begin(), paths.end()); });
}

void CollectionView::deleteItems(const std::vector<IndexPath>& paths)
{
    record([&](Batch& batch) { batch.deletes.insert(batch.deletes.end(), paths.begin(), paths.end()); });
}

void CollectionView::reloadItems(const std::vector<IndexPath>& paths)
{
    record([&](Batch& batch) { batch.reloads.insert(batch.reloads.end(), paths.begin(), paths.end()); });
}

void CollectionView::moveItem(IndexPath from, IndexPath to)
{
    record([&](Batch& batch) { batch.moves.emplace_back(from, to); });
}

void CollectionView::applyBatch(Batch batch)
{
    auto source = m_dataSource.lock();
    if (!m_loaded || !source) {
        reloadData();
        return;
    }
    auto counts = kBatchCheck.countsAfter(batch, numberOfSections(),
        [this](int section) { return numberOfItems(section); },
        [this, &source](int section) { return source->numberOfItems(*this, section); });
    if (!counts) {
        ++m_fallbacks;
        reloadData();
        return;
    }
    // Items that stay and items moved within their section keep their cells.
    std::map<Key, std::shared_ptr<View>> kept;
    for (const auto& [section, count] : *counts) {
        BatchUpdateCheck::Places places(batch, section, BatchUpdateCheck::Moves::Kept);
        BatchUpdateCheck::takeCells(batch, section, places, m_visible, kept, [this](const auto& cell) { enqueue(cell); });
    }
    for (auto& [key, cell] : kept)
        m_visible[key] = std::move(cell);
    for (const auto& [section, count] : *counts)
        m_counts[static_cast<std::size_t>(section)] = count;
    m_touchItem.reset();
    prepareLayout();
    m_appliedBatches.push_back(std::move(batch));
    tileCells();
}

// MARK: Touches

std::optional<IndexPath> CollectionView::itemAtTouch(const TouchSet& touches) const
{
    if (touches.empty())
        return std::nullopt;
    return indexPathForItemAt((*touches.begin())->locationIn(this));
}

void CollectionView::touchesBegan(const TouchSet& touches, const Event&)
{
    m_touchItem = itemAtTouch(touches);
    if (!m_touchItem)
        return;
    if (auto cell = std::dynamic_pointer_cast<CollectionViewCell>(cellForItem(*m_touchItem)))
        cell->setHighlighted(true);
    if (auto delegate = m_delegate.lock())
        delegate->didHighlightItem(*this, *m_touchItem);
}

void CollectionView::touchesMoved(const TouchSet&, const Event&)
{
}

void CollectionView::touchesEnded(const TouchSet& touches, const Event&)
{
    endTouch(true, touches);
}

void CollectionView::touchesCancelled(const TouchSet& touches, const Event&)
{
    endTouch(false, touches);
}

void CollectionView::endTouch(bool selects, const TouchSet& touches)
{
    if (!m_touchItem)
        return;
    IndexPath pressed = *m_touchItem;
    m_touchItem.reset();
    if (auto cell = std::dynamic_pointer_cast<CollectionViewCell>(cellForItem(pressed)))
        cell->setHighlighted(false);
    auto delegate = m_delegate.lock();
    if (delegate)
        delegate->didUnhighlightItem(*this, pressed);
    if (selects && delegate && itemAtTouch(touches) == pressed)
        delegate->didSelectItem(*this, pressed);
}

} // namespace morvix::platform
