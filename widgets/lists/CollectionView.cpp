#include "widgets/lists/CollectionView.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "core/objects/TypeConverter.h"
#include "core/outgoing/Notification.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/WireNumber.h"
#include "platform/graphics/AttributedString.h"
#include "platform/ui/Animator.h"
#include "platform/ui/controls/RefreshControl.h"
#include "widgets/delegating/DelegatingCollectionView.h"
#include "widgets/lists/CollectionViewListCell.h"
#include "widgets/text/FontHelper.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace morvix {

using platform::IndexPath;
using platform::Value;

namespace {

/// The number under `key` (a boolean counts as one); none when absent or not a number.
std::optional<double> numberIn(const Value* arguments, const char* key)
{
    if (!arguments || !arguments->is_object())
        return std::nullopt;
    auto found = arguments->find(key);
    if (found == arguments->end() || !TypeConverter::isNumber(*found))
        return std::nullopt;
    return found->is_boolean() ? (found->get<bool>() ? 1.0 : 0.0) : found->get<double>();
}

// Starts and counts of update pairs are clamped here first: far past any count a view may hold,
// and small enough that sums of them cannot overflow.
constexpr std::int64_t kLargestRun = std::int64_t(1) << 40;

/// The (start, count) pairs of one key of an "update", read but not expanded: a peer names a
/// million items with two numbers, so the pairs are checked by their bounds before any item is
/// listed.
struct Runs {
    std::vector<std::pair<std::int64_t, std::int64_t>> pairs;
    std::int64_t total = 0; // the items of every pair, saturated at kLargestRun

    /// Every pair lies within [0, count), and together they name no more than `count` items
    /// (more would name one twice, which a batch refuses).
    bool within(std::int64_t count) const
    {
        return total <= count && std::all_of(pairs.begin(), pairs.end(), [count](const auto& pair) {
            return pair.first >= 0 && pair.first + pair.second <= count;
        });
    }
    std::vector<IndexPath> paths() const
    {
        std::vector<IndexPath> result;
        result.reserve(static_cast<std::size_t>(total));
        for (const auto& [first, count] : pairs)
            for (std::int64_t item = first; item < first + count; ++item)
                result.push_back({ 0, static_cast<int>(item) });
        return result;
    }
};

/// The consecutive (start, count) pairs under `key`; a trailing number is ignored, and so is a
/// pair whose count is below 1 or that is not two numbers (a boolean counts as a number). Starts
/// and counts are truncated toward zero.
Runs runsOfPairs(const Value& arguments, const char* key)
{
    Runs runs;
    auto found = arguments.is_object() ? arguments.find(key) : arguments.end();
    if (found == arguments.end() || !found->is_array())
        return runs;
    const Value& pairs = *found;
    for (std::size_t index = 0; index + 1 < pairs.size(); index += 2) {
        auto first = platform::WireNumber::clampedCount(pairs[index], -1, kLargestRun);
        auto count = platform::WireNumber::clampedCount(pairs[index + 1], 0, kLargestRun);
        if (!first || !count || *count < 1)
            continue;
        runs.pairs.emplace_back(*first, *count);
        runs.total = std::min(runs.total + *count, kLargestRun);
    }
    return runs;
}

constexpr EventDeclaration kRequestInfoEvent {
    .name = "requestinfo",
    .attributes = R"({"index": number})",
    .sentWithoutListen = true,
    .note = "before the cell of item \"index\" is made, and when the layout asks the item's size; the peer answers "
            "with the call \"describeItem\" within the event",
};
constexpr EventDeclaration kCreateItemEvent {
    .listen = "createitem",
    .name = "createitem",
    .attributes = R"({"type": number})",
    .sentWithoutListen = true,
    .note = "when a cell without a widget is about to show, with the \"type\" the last \"describeItem\" gave ({} "
            "without one); the peer answers with \"addItem\". Listening changes nothing",
};
constexpr EventDeclaration kPopulateItemEvent {
    .listen = "populateitem",
    .name = "populateitem",
    .attributes = R"({"index": number, "widget": id})",
    .sentWithoutListen = true,
    .note = "every time the cell of item \"index\" shows, with the widget it holds (null for none), for the peer to "
            "fill. Listening changes nothing",
};
constexpr EventDeclaration kSelectionEvent {
    .listen = "selection",
    .name = "selection",
    .attributes = R"({"index": number})",
    .note = "when the user selects an item",
};
constexpr EventDeclaration kRefreshEvent {
    .listen = "refresh",
    .name = "refresh",
    .note = "when the user pulls the refresh control (\"refreshEnabled\"); the peer ends it with \"refreshIndicator\" false",
};

} // namespace

const WireTable& CollectionView::wire()
{
    static const WireTable table = WireTable::extend(Control::wire())
                                       .event(kRequestInfoEvent)
                                       .event(kCreateItemEvent)
                                       .event(kPopulateItemEvent)
                                       .event(kSelectionEvent)
                                       .event(kRefreshEvent);
    return table;
}

/// Marks the widget as being asked by its view for as long as it lives.
class CollectionView::AskingScope {
public:
    explicit AskingScope(CollectionView& widget) : m_widget(widget) { ++m_widget.m_asking; }
    ~AskingScope() { --m_widget.m_asking; }
    AskingScope(const AskingScope&) = delete;
    AskingScope& operator=(const AskingScope&) = delete;

private:
    CollectionView& m_widget;
};

const PropertyTable& CollectionView::properties()
{
    static const PropertyTable table = PropertyTable::extend<CollectionView>(Control::properties())
                                           .number("itemHeight", &CollectionView::setItemHeight,
                                               [](const CollectionView& self) -> std::optional<Value> {
                                                   if (!self.itemHeight())
                                                       return std::nullopt;
                                                   return TypeConverter::floatNumber(*self.itemHeight());
                                               })
                                           .boolean("refreshEnabled", &CollectionView::setRefreshEnabled, &CollectionView::refreshEnabled)
                                           .boolean("refreshIndicator", &CollectionView::setRefreshIndicator, &CollectionView::refreshIndicator)
                                           .string("refreshMessage", &CollectionView::setRefreshMessage, &CollectionView::refreshMessage)
                                           .flag("refreshListener", &CollectionView::m_refreshListener)
                                           .flag("createitemListener", &CollectionView::m_createitemListener)
                                           .flag("populateitemListener", &CollectionView::m_populateitemListener);
    return table;
}

const PropertyNames& CollectionView::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(),
        { "itemHeight", "refreshEnabled", "refreshIndicator", "refreshMessage" });
    return names;
}

CollectionView::CollectionView(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_collectionView(DelegatingCollectionView::create())
{
    m_collectionView->setBackgroundColor(platform::Color::clear());
    m_collectionView->setCollectionViewLayout(platform::CollectionViewFlowLayout::create(), platform::Animated::No);
    setForeground(std::nullopt);
    auto call = [this](void (CollectionView::*method)(const Value*), const char* name) {
        registerSelector(CallHandler([this, method](const Value* arguments) -> std::optional<Value> {
            (this->*method)(arguments);
            return std::nullopt;
        }),
            name);
    };
    call(&CollectionView::addItem, "addItem");
    call(&CollectionView::reload, "reload");
    call(&CollectionView::update, "update");
    call(&CollectionView::reveal, "reveal");
    call(&CollectionView::describeItem, "describeItem");
}

CollectionView::~CollectionView() = default;

void CollectionView::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<CollectionView>(shared_from_this());
    m_collectionView->setLayoutDelegate(self);
    m_collectionView->setDataSource(std::static_pointer_cast<platform::CollectionViewDataSource>(self));
    m_collectionView->setDelegate(std::static_pointer_cast<platform::CollectionViewDelegate>(self));
}

std::shared_ptr<platform::View> CollectionView::view() const
{
    return m_collectionView;
}

void CollectionView::warn(const std::string& message)
{
    if (auto client = this->client())
        client->log(LogEntry(message, LogEntry::Type::Warning));
}

double CollectionView::boundedItemHeight(double height, const char* what)
{
    // Negative heights have always meant no height; they pass without a word.
    bool none = std::isnan(height) || height <= 0;
    double bounded = none ? 0 : platform::WireNumber::clampedNumber(Value(height), 1.0, kMaximumItemHeight).value_or(0);
    if (bounded != height && !(height < 0))
        warn(platform::format("collection view %@: %@ %@ clamped to %@", objectId(), what, Value(height), Value(bounded)));
    return bounded;
}

void CollectionView::fire(const EventDeclaration& event, Value attributes)
{
    if (auto notification = notificationForObject())
        notification->fire(event, std::move(attributes));
}

// MARK: Properties

void CollectionView::setItemHeight(std::optional<Value> height)
{
    m_itemHeight.reset();
    if (auto number = height ? platform::numberValue(*height) : std::nullopt)
        m_itemHeight = boundedItemHeight(*number, "item height");
    invalidateLayout();
}

void CollectionView::setForeground(std::optional<platform::Color> color)
{
    RemoteClass::setForeground(color.value_or(FontHelper::activeColor()));
}

void CollectionView::setRefreshEnabled(bool enabled)
{
    if (enabled == refreshEnabled())
        return;
    if (!enabled) {
        m_refreshControl->removeFromSuperview();
        m_refreshControl.reset();
        return;
    }
    m_refreshControl = platform::RefreshControl::create();
    auto self = std::static_pointer_cast<CollectionView>(shared_from_this());
    std::weak_ptr<CollectionView> weak = self;
    m_refreshControl->addTarget(self, [weak](platform::Control&, const platform::Event*) {
        if (auto widget = weak.lock())
            widget->refreshRequested();
    }, platform::ControlEventValueChanged);
    m_collectionView->insertSubview(m_refreshControl, 0);
    m_collectionView->setAlwaysBounceVertical(true);
    setRefreshMessage(m_refreshMessage);
}

bool CollectionView::refreshIndicator() const
{
    return m_refreshControl && m_refreshControl->isRefreshing();
}

void CollectionView::setRefreshIndicator(bool refreshing)
{
    if (!m_refreshControl)
        return;
    if (refreshing)
        m_refreshControl->beginRefreshing();
    else
        m_refreshControl->endRefreshing();
}

void CollectionView::setRefreshMessage(std::optional<std::string> message)
{
    m_refreshMessage = std::move(message);
    if (m_refreshControl)
        m_refreshControl->setAttributedTitle(platform::AttributedString(m_refreshMessage.value_or("")));
}

void CollectionView::refreshRequested()
{
    if (m_refreshListener && !isDisposed())
        fire(kRefreshEvent);
}

// MARK: Life cycle

void CollectionView::setParent(std::shared_ptr<RemoteObject> parent)
{
    RemoteClass::setParent(std::move(parent));
    if (this->parent())
        applyOutsideLayout([](CollectionView& widget) { widget.performUpdates(); });
}

void CollectionView::sizeChanged(platform::Size size)
{
    invalidateLayout();
    RemoteClass::sizeChanged(size);
}

void CollectionView::invalidateLayout()
{
    platform::Point offset = m_collectionView->contentOffset();
    m_collectionView->setCollectionViewLayout(platform::CollectionViewFlowLayout::create(), platform::Animated::Yes);
    m_collectionView->setContentOffset(offset, platform::Animated::No);
}

void CollectionView::destroy()
{
    if (isDisposed())
        return;
    RemoteClass::destroy();
    m_updates.clear();
    if (m_refreshControl)
        m_refreshControl->removeTarget(this, platform::ControlEventValueChanged);
}

// MARK: Calls

void CollectionView::applyOutsideLayout(std::function<void(CollectionView&)> change)
{
    if (m_asking == 0 && m_deferred.empty()) {
        change(*this);
        return;
    }
    m_deferred.push_back(std::move(change));
    if (m_deferred.size() > 1)
        return;
    std::weak_ptr<CollectionView> weak = std::static_pointer_cast<CollectionView>(shared_from_this());
    platform::MainLoop::main().post([weak] {
        auto widget = weak.lock();
        if (!widget)
            return;
        // Changes deferred meanwhile join the queue and run in this same turn, in order.
        while (!widget->m_deferred.empty()) {
            auto change = std::move(widget->m_deferred.front());
            widget->m_deferred.pop_front();
            change(*widget);
        }
    });
}

void CollectionView::addItem(const Value* arguments)
{
    m_widgetForCell.clear();
    if (!arguments || !arguments->is_object())
        return;
    auto widget = arguments->find("widget");
    if (widget != arguments->end() && widget->is_string())
        m_widgetForCell = widget->get<std::string>();
}

void CollectionView::describeItem(const Value* arguments)
{
    m_itemType = numberIn(arguments, "type");
    m_currentItemHeight = numberIn(arguments, "height");
    if (m_currentItemHeight)
        m_currentItemHeight = boundedItemHeight(*m_currentItemHeight, "height of an item");
}

void CollectionView::reload(const Value* arguments)
{
    // Negative counts and what is no number count as 0; counts past what a view may hold fail.
    Value asked = arguments && arguments->is_object() ? arguments->value("items", Value()) : Value();
    auto count = platform::WireNumber::clampedCount(asked, 0, std::numeric_limits<std::int64_t>::max());
    if (count.value_or(0) > platform::WireNumber::kMaximumItemCount)
        RemoteException::throwIncorrectParameter("collection view %@ cannot hold %@ items", objectId(), asked);
    applyOutsideLayout([items = count.value_or(0)](CollectionView& widget) {
        widget.m_itemCount = items;
        widget.m_collectionView->reloadData();
    });
}

void CollectionView::update(const Value* arguments)
{
    m_updates.push_back(arguments ? *arguments : Value::object());
    if (parent())
        applyOutsideLayout([](CollectionView& widget) { widget.performUpdates(); });
}

void CollectionView::reveal(const Value* arguments)
{
    auto index = numberIn(arguments, "index");
    if (!index || !(*index >= 0))
        return;
    applyOutsideLayout([index = std::trunc(*index)](CollectionView& widget) {
        if (index >= static_cast<double>(widget.m_itemCount))
            return;
        namespace Position = platform::CollectionViewScrollPosition;
        widget.m_collectionView->scrollToItem({ 0, static_cast<int>(index) },
            Position::CenteredVertically | Position::CenteredHorizontally, platform::Animated::Yes);
    });
}

void CollectionView::performUpdates()
{
    auto updates = std::move(m_updates);
    m_updates.clear();
    if (isDisposed())
        return;
    for (const auto& arguments : updates)
        performUpdate(arguments);
}

void CollectionView::performUpdate(const Value& arguments)
{
    auto reloads = runsOfPairs(arguments, "reload");
    auto removals = runsOfPairs(arguments, "remove");
    auto inserts = runsOfPairs(arguments, "insert");
    std::int64_t before = m_itemCount;
    std::int64_t counted = std::max<std::int64_t>(0, before - removals.total + inserts.total);
    std::int64_t after = std::min(counted, platform::WireNumber::kMaximumItemCount);
    bool fits = counted == after && reloads.within(before) && removals.within(before) && inserts.within(after);
    std::optional<std::pair<int, int>> move;
    auto moveValue = arguments.is_object() ? arguments.find("move") : arguments.end();
    if (moveValue != arguments.end() && moveValue->is_array() && moveValue->size() == 2) {
        const Value& from = (*moveValue)[0];
        const Value& to = (*moveValue)[1];
        // An item of the view on its side: a whole number (a boolean counts) in [0, count).
        auto whole = [](const Value& value, std::int64_t count) -> std::optional<int> {
            auto number = platform::WireNumber::number(value, 0, static_cast<double>(count) - 1);
            if (!number || std::trunc(*number) != *number)
                return std::nullopt;
            return static_cast<int>(*number);
        };
        auto first = whole(from, before);
        auto second = whole(to, after);
        if (first && second)
            move = { *first, *second };
    }
    m_itemCount = after;
    if (!fits) {
        // The arguments are logged by their size only: the peer chose them, and they can be long.
        warn(platform::format("collection view %@: update naming %@ reloads, %@ removals and %@ inserts lies outside its "
                              "%@ items; reloading all %@",
            objectId(), Value(reloads.total), Value(removals.total), Value(inserts.total), Value(before), Value(after)));
        m_collectionView->reloadData();
        return;
    }
    // Checked: every list below is no longer than the items the view holds.
    auto& view = *m_collectionView;
    view.performBatchUpdates([&] {
        if (move)
            view.moveItem({ 0, move->first }, { 0, move->second });
        if (!reloads.pairs.empty())
            view.reloadItems(reloads.paths());
        if (!removals.pairs.empty())
            view.deleteItems(removals.paths());
        if (!inserts.pairs.empty())
            view.insertItems(inserts.paths());
    });
}

// MARK: Data source and delegate

namespace {

/// A whole number goes on the wire as an integer, anything else as it is.
Value wireNumber(double number)
{
    if (std::trunc(number) == number && std::abs(number) < 9.0e15)
        return Value(static_cast<std::int64_t>(number));
    return Value(number);
}

} // namespace

int CollectionView::numberOfItems(platform::CollectionView&, int section)
{
    if (section != 0)
        return 0;
    return static_cast<int>(std::clamp<std::int64_t>(m_itemCount, 0, std::numeric_limits<std::int32_t>::max()));
}

std::shared_ptr<platform::View> CollectionView::cellForItem(platform::CollectionView& view, IndexPath indexPath)
{
    AskingScope asking(*this);
    fire(kRequestInfoEvent, Value { { "index", indexPath.item } });
    double type = m_itemType.value_or(0);
    std::int64_t kind = std::isfinite(type) ? static_cast<std::int64_t>(std::clamp(type, -9.0e18, 9.0e18)) : 0;
    std::string identifier = "CollectionListCell" + std::to_string(kind);
    if (m_registeredClasses.insert(identifier).second)
        view.registerCell(identifier, [] { return CollectionViewListCell::create(); });
    auto cell = std::dynamic_pointer_cast<CollectionViewListCell>(view.dequeueReusableCell(identifier, indexPath));
    if (!cell)
        return nullptr;
    if (!cell->widget())
        fillCell(*cell);
    Value attributes { { "index", indexPath.item } };
    attributes["widget"] = cell->widget() ? Value(cell->widgetId()) : Value();
    fire(kPopulateItemEvent, std::move(attributes));
    return cell;
}

void CollectionView::fillCell(CollectionViewListCell& cell)
{
    fire(kCreateItemEvent, m_itemType ? Value { { "type", wireNumber(*m_itemType) } } : Value());
    std::string id = std::exchange(m_widgetForCell, std::string());
    auto client = this->client();
    if (auto object = client && !id.empty() ? client->objectById(id) : nullptr)
        cell.setWidget(object);
}

std::optional<platform::Size> CollectionView::sizeForItem(platform::CollectionView& view, platform::CollectionViewFlowLayout&,
    IndexPath indexPath)
{
    AskingScope asking(*this);
    fire(kRequestInfoEvent, Value { { "index", indexPath.item } });
    double height = m_currentItemHeight && m_itemType ? *m_currentItemHeight : m_itemHeight.value_or(0);
    return platform::Size { view.bounds().width(), platform::WireNumber::singlePrecision(height) };
}

std::optional<platform::EdgeInsets> CollectionView::insetForSection(platform::CollectionView&,
    platform::CollectionViewFlowLayout&, int)
{
    return platform::EdgeInsets {};
}

std::optional<double> CollectionView::minimumLineSpacing(platform::CollectionView&, platform::CollectionViewFlowLayout&, int)
{
    return 0.0;
}

std::optional<double> CollectionView::minimumInteritemSpacing(platform::CollectionView&, platform::CollectionViewFlowLayout&, int)
{
    return 0.0;
}

void CollectionView::animateHighlight(IndexPath indexPath, std::optional<platform::Color> color)
{
    auto cell = m_collectionView->cellForItem(indexPath);
    if (!cell)
        return;
    platform::Animator::shared().animate(kHighlightDuration, 0, platform::AnimationOption::AllowUserInteraction,
        [&] { cell->setBackgroundColor(color); });
}

void CollectionView::didHighlightItem(platform::CollectionView&, IndexPath indexPath)
{
    animateHighlight(indexPath, foreground());
}

void CollectionView::didUnhighlightItem(platform::CollectionView&, IndexPath indexPath)
{
    animateHighlight(indexPath, platform::Color::clear());
}

void CollectionView::didSelectItem(platform::CollectionView&, IndexPath indexPath)
{
    if (m_selectionListener)
        fire(kSelectionEvent, Value { { "index", indexPath.item } });
}

} // namespace morvix
