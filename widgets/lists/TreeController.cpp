#include "widgets/lists/TreeController.h"

#include "core/objects/BasicObject.h"
#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/gestures/LongPressGestureRecognizer.h"
#include "widgets/foundation/Widget.h"
#include "widgets/lists/GridTreeCell.h"
#include "widgets/lists/RowTemplateCell.h"
#include "widgets/lists/Template.h"
#include "widgets/lists/Tree.h"
#include "widgets/lists/TreeItem.h"

#include <algorithm>
#include <cmath>

namespace morvix {

using platform::IndexPath;
using platform::Value;

namespace {

constexpr const char* kDefaultCellIdentifier = "GridTreeCell";
constexpr double kPrefetchThreshold = 0.75;

} // namespace

std::shared_ptr<TreeController> TreeController::create(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<Tree>& tree)
{
    auto controller = std::shared_ptr<TreeController>(new TreeController());
    controller->setUp(item, tree);
    return controller;
}

TreeController::~TreeController() = default;

void TreeController::setUp(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<Tree>& tree)
{
    m_parentItem = item;
    m_tree = tree;
    auto table = tableView();
    setLinesVisible(false);
    table->setBackgroundColor(tree->background().value_or(platform::Color::white()));
    applyTreeStyle(*tree);
    table->registerCell(kDefaultCellIdentifier, [] { return GridTreeCell::create(kDefaultCellIdentifier); });
    itemHeightChanged();
    auto center = platform::NotificationCenter::defaultCenter();
    std::weak_ptr<TreeController> weak = std::static_pointer_cast<TreeController>(ViewController::self());
    // Heard on the posting thread, which may be the network thread; the batch belongs to the main
    // thread, so the work is handed there first and the batch lock taken only there.
    m_observers.push_back(center->addObserver(std::string(BasicObject::kProcessingFinished), nullptr, [weak](const platform::Notification&) {
        platform::MainLoop::main().runSync([&weak] {
            if (auto self = weak.lock())
                self->processingFinished();
        });
    }));
    m_observers.push_back(center->addObserver(Notifications::kScrollUp, nullptr, [weak](const platform::Notification&) {
        platform::MainLoop::main().runSync([&weak] {
            if (auto self = weak.lock())
                self->scrollUp();
        });
    }));
}

void TreeController::applyTreeStyle(const Tree& tree)
{
    setClearsSelectionOnViewWillAppear(!tree.hasStyle(Tree::kFullSelectionStyle));
    tableView()->setScrollEnabled(tree.hScroll() || tree.vScroll());
}

void TreeController::viewDidLoad()
{
    TableViewController::viewDidLoad();
    std::weak_ptr<TreeController> weak = std::static_pointer_cast<TreeController>(ViewController::self());
    m_longPress = platform::LongPressGestureRecognizer::create([weak](platform::GestureRecognizer& recognizer) {
        if (auto self = weak.lock())
            self->longPressDetected(recognizer);
    });
    m_longPress->setMinimumPressDuration(kLongPressDuration);
    m_longPress->setCancelsTouchesInView(true);
    view()->addGestureRecognizer(m_longPress);
}

void TreeController::destroy()
{
    m_observers.clear();
}

long TreeController::entryCount() const
{
    auto item = m_parentItem.lock();
    return item ? static_cast<long>(item->subItems().size()) : 0;
}

// MARK: Batches

void TreeController::startUpdate()
{
    std::lock_guard lock(m_updateMutex);
    if (m_transactionStarted)
        return;
    m_transactionStarted = true;
    m_beforeItemCount = entryCount();
    m_calledByUpdate = true;
    tableView()->beginUpdates();
    m_calledByUpdate = false;
}

void TreeController::endUpdate()
{
    std::lock_guard lock(m_updateMutex);
    if (!m_transactionStarted)
        return;
    m_calledByUpdate = true;
    tableView()->endUpdates();
    m_calledByUpdate = false;
    m_transactionStarted = false;
}

bool TreeController::isUpdating() const
{
    std::lock_guard lock(m_updateMutex);
    return m_transactionStarted;
}

std::vector<IndexPath> TreeController::addToUpdate(const std::vector<IndexPath>& paths, bool force)
{
    std::lock_guard lock(m_updateMutex);
    startUpdate();
    std::vector<IndexPath> passed;
    for (const auto& path : paths) {
        auto& changed = m_updating[path.section];
        if (!force && changed.contains(path.item))
            continue;
        changed.add(path.item);
        passed.push_back(path);
    }
    return passed;
}

void TreeController::insert(const std::vector<IndexPath>& paths)
{
    std::lock_guard lock(m_updateMutex);
    tableView()->insertRows(addToUpdate(paths, true), platform::TableViewRowAnimation::Middle);
}

void TreeController::remove(const std::vector<IndexPath>& paths)
{
    std::lock_guard lock(m_updateMutex);
    auto mapped = m_treeMapping.removeAtIndexPaths(paths);
    tableView()->deleteRows(addToUpdate(mapped, true), platform::TableViewRowAnimation::Middle);
}

void TreeController::reload(const std::vector<IndexPath>& paths)
{
    std::lock_guard lock(m_updateMutex);
    auto passed = addToUpdate(paths, false);
    if (!passed.empty())
        tableView()->reloadRows(passed, platform::TableViewRowAnimation::None);
}

void TreeController::insertRange(long first, long count)
{
    std::lock_guard lock(m_updateMutex);
    startUpdate();
    if (count < 1)
        return;
    m_updating[0].add(first, count);
    tableView()->insertRowRange({ 0, static_cast<int>(first), static_cast<int>(count) }, platform::TableViewRowAnimation::Middle);
}

void TreeController::removeRange(long first, long count)
{
    std::lock_guard lock(m_updateMutex);
    startUpdate();
    if (count < 1)
        return;
    auto mapped = m_treeMapping.removeRange(first, count);
    m_updating[0].add(mapped.first, mapped.count);
    tableView()->deleteRowRange(mapped, platform::TableViewRowAnimation::Middle);
}

void TreeController::reloadRows(long first, long end)
{
    std::lock_guard lock(m_updateMutex);
    std::vector<IndexPath> shown;
    for (const auto& path : tableView()->indexPathsForVisibleRows()) {
        if (path.section == 0 && path.item >= first && path.item < end)
            shown.push_back(path);
    }
    if (!shown.empty())
        reload(shown);
}

void TreeController::move(const std::vector<IndexPath>& paths, IndexPath target)
{
    std::lock_guard lock(m_updateMutex);
    for (const auto& path : paths)
        tableView()->moveRow(path, target);
}

void TreeController::processingFinished()
{
    std::lock_guard lock(m_updateMutex);
    if (m_transactionStarted) {
        m_treeMapping.reset();
        m_updating.clear();
        endUpdate();
    }
    if (m_initialized)
        return;
    m_initialized = true;
    updateUI();
}

void TreeController::updateUI()
{
    auto navigation = navigationController();
    if (!navigation || navigation->topViewController().get() != this || isUpdating())
        return;
    tableView()->reloadData();
}

int TreeController::numberOfRows(platform::TableView&, int)
{
    std::lock_guard lock(m_updateMutex);
    if (!m_transactionStarted)
        return static_cast<int>(entryCount());
    if (!m_calledByUpdate)
        return static_cast<int>(m_beforeItemCount);
    auto item = m_parentItem.lock();
    return item ? static_cast<int>(std::max(item->declaredCount(), 0L)) : 0;
}

// MARK: Rows

bool TreeController::isValidRow(long row) const
{
    auto item = m_parentItem.lock();
    if (!item || row < 0)
        return false;
    const auto& entries = item->subItems();
    return row < static_cast<long>(entries.size()) && entries[row] != nullptr;
}

std::shared_ptr<TreeItem> TreeController::itemAt(long row) const
{
    if (!isValidRow(row))
        return nullptr;
    return m_parentItem.lock()->subItems()[row];
}

std::shared_ptr<platform::TableViewCell> TreeController::cellForRow(platform::TableView& table, IndexPath indexPath)
{
    auto item = itemAt(indexPath.item);
    auto tree = m_tree.lock();
    if (auto rowTemplate = tree ? tree->rowCellTemplate() : nullptr) {
        auto cell = std::dynamic_pointer_cast<RowTemplateCell>(table.dequeueReusableCell(rowTemplate->reuseIdentifier()));
        if (!cell)
            cell = RowTemplateCell::create(rowTemplate, rowTemplate->reuseIdentifier());
        cell->updateWith(item);
        return cell;
    }
    auto cell = std::dynamic_pointer_cast<GridTreeCell>(table.dequeueReusableCell(kDefaultCellIdentifier));
    if (!cell)
        cell = GridTreeCell::create(kDefaultCellIdentifier);
    cell->updateWith(item, tree);
    return cell;
}

void TreeController::didSelectRow(platform::TableView&, IndexPath indexPath)
{
    auto item = itemAt(indexPath.item);
    auto tree = m_tree.lock();
    if (item && tree)
        tree->itemClicked(item, m_parentItem.lock());
}

void TreeController::accessoryButtonTapped(platform::TableView&, IndexPath indexPath)
{
    auto item = itemAt(indexPath.item);
    auto tree = m_tree.lock();
    if (item && tree)
        tree->altItemClicked(item, m_parentItem.lock());
}

void TreeController::setLinesVisible(bool visible)
{
    m_linesVisible = visible;
    tableView()->setSeparatorStyle(visible ? platform::TableViewSeparatorStyle::SingleLine : platform::TableViewSeparatorStyle::None);
}

void TreeController::itemHeightChanged()
{
    if (auto tree = m_tree.lock())
        tableView()->setRowHeight(tree->itemHeight());
}

void TreeController::scrollUp()
{
    auto table = tableView();
    if (auto path = table->indexPathForRowAt({ 0, 0 }))
        table->scrollToRow(*path, platform::TableViewScrollPosition::Top, platform::Animated::Yes);
}

// MARK: Appearance and layout

void TreeController::viewDidAppear(bool animated)
{
    TableViewController::viewDidAppear(animated);
    updateUI();
}

void TreeController::viewDidLayoutSubviews()
{
    TableViewController::viewDidLayoutSubviews();
    auto size = view()->frame().size;
    if (size == m_oldSize)
        return;
    if (auto tree = m_tree.lock())
        tree->sizeChanged(view()->bounds().size);
    m_oldSize = size;
}

// MARK: Window report

void TreeController::scrollViewDidScroll(platform::ScrollView&)
{
    recomputeWindow();
}

void TreeController::recomputeWindow()
{
    auto item = m_parentItem.lock();
    if (!item || !item->isVirtualTreeItem() || !isViewLoaded())
        return;
    auto visible = tableView()->indexPathsForVisibleRows();
    if (visible.empty())
        return;
    long first = visible.front().item;
    if (first == m_topIndex)
        return;
    m_topIndex = first;
    sendTopIndex();
}

void TreeController::scrollViewDidEndDragging(platform::ScrollView& scrollView, bool willDecelerate)
{
    if (!willDecelerate)
        scrollViewDidEndDecelerating(scrollView);
}

void TreeController::scrollViewDidEndDecelerating(platform::ScrollView&)
{
    m_lastContentOffset = tableView()->contentOffset().y;
    updateUI();
    sendTopIndex();
}

int TreeController::updateScrollDirection()
{
    double offset = tableView()->contentOffset().y;
    int direction = offset < m_lastContentOffset ? 1 : offset > m_lastContentOffset ? 2 : 0;
    m_lastContentOffset = offset;
    return direction;
}

void TreeController::sendTopIndex()
{
    auto item = m_parentItem.lock();
    auto tree = m_tree.lock();
    if (!item || !tree)
        return;
    int direction = updateScrollDirection();
    long parentRow = item->rowIndexRecursive();
    long value = parentRow + m_topIndex;
    long cells = static_cast<long>(tableView()->visibleCells().size());
    if (direction == 1)
        value = std::max(parentRow, value - cells);
    else if (direction == 2)
        value = std::min(parentRow + entryCount() - 1, value + cells);
    if (direction != 0 && !(std::fabs(static_cast<double>(m_lastSentTopIndex - value)) > kPrefetchThreshold * static_cast<double>(cells)))
        return;
    m_lastSentTopIndex = value;
    auto message = tree->notificationForObject();
    if (!message)
        return;
    message->report(Tree::kTopItemIndexReport, value);
    if (tree->setDataListener())
        message->fire(Tree::kSetDataEvent, Value::object());
    else
        message->schedule();
}

// MARK: Long press

void TreeController::longPressDetected(platform::GestureRecognizer& recognizer)
{
    auto tree = m_tree.lock();
    if (!tree || (!tree->hasContextMenu() && !tree->menuDetectListener()))
        return;
    auto table = tableView();
    auto path = table->indexPathForRowAt(recognizer.locationIn(table.get()));
    if (path) {
        if (auto item = itemAt(path->item))
            tree->scheduleSelection(*item);
    }
    if (recognizer.state() != platform::GestureState::Began)
        return;
    auto client = tree->client();
    auto display = client ? std::dynamic_pointer_cast<Widget>(client->rootObject()) : nullptr;
    auto displayView = display ? display->view() : nullptr;
    tree->longMouseDownDetected(recognizer.locationOfTouch(0, displayView.get()));
}

} // namespace morvix
