#include "widgets/lists/CollectionView.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "core/objects/TypeConverter.h"
#include "core/outgoing/Notification.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/MainLoop.h"
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

/// The items of consecutive (start, count) pairs; a trailing number is ignored, and so is a pair
/// whose count is below 1 or that is not two numbers. Starts are truncated toward zero.
std::vector<std::int64_t> itemsOfPairs(const Value* pairs)
{
    std::vector<std::int64_t> items;
    if (!pairs || !pairs->is_array())
        return items;
    for (std::size_t index = 0; index + 1 < pairs->size(); index += 2) {
        const Value& start = (*pairs)[index];
        const Value& count = (*pairs)[index + 1];
        if (!start.is_number() || !count.is_number())
            continue;
        double first = std::trunc(start.get<double>());
        double length = std::trunc(count.get<double>());
        // A count of more items than a view can hold is as wrong as a start past the end: the
        // first item past the range is enough to make the batch fail its check.
        length = std::min(length, static_cast<double>(std::numeric_limits<std::int32_t>::max()) + 1);
        if (!std::isfinite(first) || length < 1)
            continue;
        first = std::clamp(first, -1.0, static_cast<double>(std::numeric_limits<std::int32_t>::max()) + 1);
        for (double item = first; item < first + length; ++item) {
            items.push_back(static_cast<std::int64_t>(item));
            if (item < 0 || item > std::numeric_limits<std::int32_t>::max())
                break;
        }
    }
    return items;
}

} // namespace

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

void CollectionView::fireEvent(const std::string& event, Value attributes)
{
    if (auto notification = notificationForObject())
        notification->fireEvent(event, std::move(attributes));
}

// MARK: Properties

void CollectionView::setItemHeight(std::optional<Value> height)
{
    m_itemHeight.reset();
    if (height && TypeConverter::isNumber(*height))
        m_itemHeight = height->is_boolean() ? (height->get<bool>() ? 1.0 : 0.0) : height->get<double>();
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
        fireEvent("refresh");
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
}

void CollectionView::reload(const Value* arguments)
{
    double count = numberIn(arguments, "items").value_or(0);
    if (std::isnan(count) || count < 0)
        count = 0;
    count = std::trunc(count);
    if (count > std::numeric_limits<std::int32_t>::max())
        RemoteException::throwIncorrectParameter("collection view %@ cannot hold %@ items", objectId(), Value(count));
    applyOutsideLayout([items = static_cast<std::int64_t>(count)](CollectionView& widget) {
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
    auto pairs = [&arguments](const char* key) -> std::vector<std::int64_t> {
        auto found = arguments.is_object() ? arguments.find(key) : arguments.end();
        return itemsOfPairs(found != arguments.end() ? &*found : nullptr);
    };
    auto reloads = pairs("reload");
    auto removals = pairs("remove");
    auto inserts = pairs("insert");
    std::int64_t before = m_itemCount;
    std::int64_t after = std::max<std::int64_t>(0, before - static_cast<std::int64_t>(removals.size()) + static_cast<std::int64_t>(inserts.size()));
    auto within = [](const std::vector<std::int64_t>& items, std::int64_t count) {
        return std::all_of(items.begin(), items.end(), [count](std::int64_t item) { return item >= 0 && item < count; });
    };
    bool fits = within(reloads, before) && within(removals, before) && within(inserts, after);
    std::optional<std::pair<int, int>> move;
    auto moveValue = arguments.is_object() ? arguments.find("move") : arguments.end();
    if (moveValue != arguments.end() && moveValue->is_array() && moveValue->size() == 2) {
        const Value& from = (*moveValue)[0];
        const Value& to = (*moveValue)[1];
        auto whole = [](const Value& value, std::int64_t count) {
            return value.is_number() && std::trunc(value.get<double>()) == value.get<double>() && value.get<double>() >= 0
                && value.get<double>() < static_cast<double>(count);
        };
        if (whole(from, before) && whole(to, after))
            move = { static_cast<int>(from.get<double>()), static_cast<int>(to.get<double>()) };
    }
    m_itemCount = after;
    if (!fits) {
        warn(platform::format("collection view %@: update %@ names items outside its %@ items; reloading all %@",
            objectId(), arguments, Value(before), Value(after)));
        m_collectionView->reloadData();
        return;
    }
    auto paths = [](const std::vector<std::int64_t>& items) {
        std::vector<IndexPath> result;
        for (auto item : items)
            result.push_back({ 0, static_cast<int>(item) });
        return result;
    };
    auto& view = *m_collectionView;
    view.performBatchUpdates([&] {
        if (move)
            view.moveItem({ 0, move->first }, { 0, move->second });
        if (!reloads.empty())
            view.reloadItems(paths(reloads));
        if (!removals.empty())
            view.deleteItems(paths(removals));
        if (!inserts.empty())
            view.insertItems(paths(inserts));
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
    fireEvent("requestinfo", Value { { "index", indexPath.item } });
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
    fireEvent("populateitem", std::move(attributes));
    return cell;
}

void CollectionView::fillCell(CollectionViewListCell& cell)
{
    fireEvent("createitem", m_itemType ? Value { { "type", wireNumber(*m_itemType) } } : Value());
    std::string id = std::exchange(m_widgetForCell, std::string());
    auto client = this->client();
    if (auto object = client && !id.empty() ? client->objectById(id) : nullptr)
        cell.setWidget(object);
}

std::optional<platform::Size> CollectionView::sizeForItem(platform::CollectionView& view, platform::CollectionViewFlowLayout&,
    IndexPath indexPath)
{
    AskingScope asking(*this);
    fireEvent("requestinfo", Value { { "index", indexPath.item } });
    double height = m_currentItemHeight && m_itemType ? *m_currentItemHeight : m_itemHeight.value_or(0);
    return platform::Size { view.bounds().width(), static_cast<float>(height) };
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
        fireEvent("selection", Value { { "index", indexPath.item } });
}

} // namespace morvix
