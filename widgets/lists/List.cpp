#include "widgets/lists/List.h"

#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/tables/TableView.h"
#include "widgets/containers/ScrollBar.h"
#include "widgets/lists/ItemHeight.h"
#include "widgets/lists/ListController.h"
#include "widgets/text/FontHelper.h"

#include <algorithm>
#include <cmath>

namespace morvix {

using platform::rowPath;
using platform::Value;

namespace {

// The row a wire index names: a number truncated toward zero; nothing for anything else.
std::optional<long> rowNumber(const Value& index)
{
    auto number = platform::numberValue(index);
    if (!number || !std::isfinite(*number))
        return std::nullopt;
    return static_cast<long>(std::trunc(std::clamp(*number, -1.0, 2147483647.0)));
}

constexpr EventDeclaration kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .note = "after the three properties, when the user taps a row; the row is in \"selection\", not in the event",
};
constexpr EventDeclaration kAccessorySelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .attributes = R"({"altKey": true})",
    .note = "after the three properties, when the user taps a row's detail button (\"data\" {\"altSelection\": \"all\"}); "
            "nothing at all is sent for it while \"Selection\" is not listened",
};
constexpr EventDeclaration kDefaultSelectionEvent {
    .listen = "DefaultSelection",
    .name = "DefaultSelection",
    .note = "after the three properties, when the user taps a row and \"Selection\" is not listened",
};
constexpr ReportDeclaration kSelectionReport {
    .name = "selection",
    .kind = "[row]",
    .note = "the row the user tapped or long-pressed, counted from 0, as an array of one: with the event, else "
            "scheduled (the peer sets the selection with \"selectionIndices\")",
};
constexpr ReportDeclaration kFocusIndexReport {
    .name = "focusIndex",
    .kind = "number",
    .note = "the row of \"selection\", with it at the same times",
};
constexpr ReportDeclaration kTopIndexReport {
    .name = "topIndex",
    .kind = "number",
    .note = "the row of \"selection\", with it at the same times",
};

} // namespace

const WireTable& List::wire()
{
    static const WireTable table = WireTable::extend(Control::wire())
                                       .event(kSelectionEvent)
                                       .event(kAccessorySelectionEvent)
                                       .event(kDefaultSelectionEvent)
                                       .report(kSelectionReport)
                                       .report(kFocusIndexReport)
                                       .report(kTopIndexReport);
    return table;
}

const PropertyTable& List::properties()
{
    static const PropertyTable table
        = PropertyTable::extend<List>(Control::properties())
              .array("items", &List::setItems, [](const List& self) { return std::optional<Value>(self.items()); })
              .array("selectionIndices", &List::setSelectionIndices,
                  [](const List& self) { return std::optional<Value>(self.selectionIndices()); })
              .number("topIndex", &List::setTopIndex, &List::firstVisibleRow)
              .number("focusIndex", &List::setFocusIndex, &List::firstVisibleRow)
              .number("itemHeight", &List::setItemHeight, [](const List& self) { return std::optional<Value>(self.itemHeight()); })
              .string("toolTip", &List::setToolTip, [](const List& self) { return std::optional<std::string>(self.toolTip()); })
              .color("background", &List::setBackground, &List::tableBackground)
              .color("foreground", &List::setForeground,
                  [](const List& self) { return std::optional<platform::Color>(self.listForeground()); })
              .font("font", &List::setFont, [](const List& self) { return std::optional<TypeConverter::NativeFont>(self.listFont()); })
              .boolean("enabled", &List::setEnabled, &List::allowsSelection)
              .boolean("markupEnabled", &List::setMarkupEnabled, &List::markupEnabled)
              .string("menu", &List::setContextMenu)
              .boolean("menuDetectListener", &List::setMenuDetectFlag, &Control::menuDetectListener);
    return table;
}

const PropertyNames& List::remoteObjectProperties()
{
    static const PropertyNames names
        = extendPropertyNames(Control::remoteObjectProperties(), { "items", "enabled", "toolTip", "selectionIndices", "markupEnabled", "topIndex", "focusIndex" });
    return names;
}

List::List(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_navigationController(platform::NavigationController::create())
    , m_listController(ListController::create())
{
}

List::~List() = default;

void List::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<List>(shared_from_this());
    m_navigationController->setDelegate(std::weak_ptr<platform::NavigationControllerDelegate>(self));
    m_navigationController->setNavigationBarHidden(true);
    m_listController->setList(self);
    m_navigationController->pushViewController(m_listController, platform::Animated::No);
    auto table = m_listController->tableView();
    table->setScrollEnabled(false);
    table->setShowsHorizontalScrollIndicator(false);
    table->setShowsVerticalScrollIndicator(false);
    table->setBounces(false);
    std::weak_ptr<List> weak = self;
    m_scrollUpObserver = platform::NotificationCenter::defaultCenter()->addObserver(Notifications::kScrollUp, nullptr,
        [weak](const platform::Notification&) {
            platform::MainLoop::main().runSync([&weak] {
                if (auto list = weak.lock(); list && list->m_listController)
                    list->m_listController->scrollUp();
            });
        });
    setForeground(std::nullopt);
    setFont(std::nullopt);
    m_listController->setRowHeight(m_itemHeight);
}

std::shared_ptr<platform::View> List::view() const
{
    return m_navigationController ? m_navigationController->view() : nullptr;
}

void List::addObject(std::shared_ptr<RemoteObject> child)
{
    RemoteClass::addObject(child);
    auto bar = std::dynamic_pointer_cast<ScrollBar>(child);
    if (bar && !bar->horizontal())
        unlockScrolling();
}

void List::unlockScrolling()
{
    m_scrollUnlocked = true;
    auto table = m_listController->tableView();
    table->setScrollEnabled(true);
    table->setShowsVerticalScrollIndicator(true);
    table->setBounces(true);
    table->setAlwaysBounceVertical(true);
}

void List::destroy()
{
    m_scrollUpObserver.reset();
    RemoteClass::destroy();
}

// MARK: Rows

void List::setItems(std::optional<Value> items)
{
    m_items = items && items->is_array() ? std::move(*items) : Value::array();
    m_listController->tableView()->reloadData();
}

std::string List::itemAt(long row) const
{
    if (row < 0 || row >= itemCount() || !m_items[row].is_string())
        return {};
    return m_items[row].get<std::string>();
}

bool List::isRow(const Value& index) const
{
    auto row = rowNumber(index);
    return row && *row >= 0 && *row < itemCount();
}

Value List::selectionIndices() const
{
    auto selected = m_listController->tableView()->indexPathForSelectedRow();
    return selected ? Value::array({ selected->item }) : Value::array();
}

void List::setSelectionIndices(std::optional<Value> indices)
{
    auto table = m_listController->tableView();
    if (!indices || !indices->is_array() || indices->empty()) {
        if (auto selected = table->indexPathForSelectedRow())
            table->deselectRow(*selected, platform::Animated::Yes);
        return;
    }
    // Only the first number counts: the list has one selected row.
    const Value& first = indices->front();
    if (!isRow(first))
        return;
    table->selectRow(rowPath(static_cast<int>(*rowNumber(first))), platform::Animated::Yes, platform::TableViewScrollPosition::Middle);
}

std::optional<Value> List::firstVisibleRow() const
{
    auto visible = m_listController->tableView()->indexPathsForVisibleRows();
    if (visible.empty())
        return std::nullopt;
    return Value(visible.front().item);
}

void List::setTopIndex(std::optional<Value> index)
{
    if (!index || !isRow(*index))
        return;
    m_listController->tableView()->scrollToRow(rowPath(static_cast<int>(*rowNumber(*index))), platform::TableViewScrollPosition::Top,
        platform::Animated::Yes);
}

void List::setFocusIndex(std::optional<Value> index)
{
    if (!index || !isRow(*index))
        return;
    m_listController->tableView()->scrollToRow(rowPath(static_cast<int>(*rowNumber(*index))), platform::TableViewScrollPosition::Middle,
        platform::Animated::Yes);
}

void List::setItemHeight(std::optional<Value> height)
{
    double stored = ItemHeight::bounded(height, *this, "list");
    if (stored == m_itemHeight)
        return;
    m_itemHeight = stored;
    m_listController->setRowHeight(stored);
}

// MARK: Appearance

std::string List::toolTip() const
{
    return m_listController->title();
}

void List::setToolTip(std::optional<std::string> toolTip)
{
    // Unlike the tree's, the bar hides only for the empty string: no title at all shows it.
    m_navigationController->setNavigationBarHidden(toolTip && toolTip->empty());
    m_listController->setTitle(toolTip.value_or(std::string()));
}

std::optional<platform::Color> List::tableBackground() const
{
    return m_listController->tableView()->backgroundColor();
}

void List::setBackground(std::optional<platform::Color> color)
{
    RemoteClass::setBackground(color);
    auto table = m_listController->tableView();
    table->setBackgroundView(nullptr);
    table->setBackgroundColor(color);
    m_navigationController->navigationBar()->setBarTintColor(color);
}

void List::setForeground(std::optional<platform::Color> color)
{
    auto resolved = color.value_or(FontHelper::labelColor());
    RemoteClass::setForeground(resolved);
    m_navigationController->navigationBar()->setTitleColor(resolved);
    m_listController->tableView()->reloadData();
}

platform::Color List::listForeground() const
{
    return foreground().value_or(FontHelper::labelColor());
}

void List::setFont(std::optional<TypeConverter::NativeFont> font)
{
    RemoteClass::setFont(font ? std::move(font) : std::optional<TypeConverter::NativeFont>(FontHelper::listFont()));
}

platform::Font List::listFont() const
{
    return font().value_or(FontHelper::listFont());
}

void List::setEnabled(bool enabled)
{
    m_listController->tableView()->setAllowsSelection(enabled);
}

bool List::allowsSelection() const
{
    return m_listController->tableView()->allowsSelection();
}

void List::setData(std::optional<Value> data)
{
    RemoteClass::setData(data);
    auto table = m_listController->tableView();
    table->reloadData();
    if (auto view = this->view(); view && !view->isHidden())
        table->reloadRows(table->indexPathsForVisibleRows(), platform::TableViewRowAnimation::None);
}

bool List::showsDetailButtons() const
{
    return dataForKey("altSelection", "all");
}

// MARK: Events

void List::setContextMenu(std::optional<std::string> menu)
{
    bool wanted = wantsLongPress();
    setMenu(std::move(menu));
    if (wantsLongPress() != wanted)
        reconfigureVisibleRows();
}

void List::setMenuDetectFlag(bool listen)
{
    bool wanted = wantsLongPress();
    setMenuDetectListener(listen);
    if (wantsLongPress() != wanted)
        reconfigureVisibleRows();
}

void List::reconfigureVisibleRows()
{
    // The rows on screen were handed out before; they gain or lose their long press now rather
    // than when they are next reused.
    auto table = m_listController->tableView();
    table->reloadRows(table->indexPathsForVisibleRows(), platform::TableViewRowAnimation::None);
}

void List::recordSelection(Notification& message, long row) const
{
    message.report(kFocusIndexReport, row);
    message.report(kTopIndexReport, row);
    message.report(kSelectionReport, Value::array({ row }));
}

void List::rowTapped(long row)
{
    auto message = notificationForObject();
    if (!message)
        return;
    recordSelection(*message, row);
    if (m_selectionListener)
        message->fire(kSelectionEvent);
    else if (m_defaultSelectionListener)
        message->fire(kDefaultSelectionEvent);
    else
        message->schedule();
}

void List::accessoryTapped(long row)
{
    m_listController->tableView()->selectRow(rowPath(static_cast<int>(row)), platform::Animated::Yes,
        platform::TableViewScrollPosition::Middle);
    if (!m_selectionListener)
        return;
    auto message = notificationForObject();
    if (!message)
        return;
    recordSelection(*message, row);
    Value attributes = Value::object();
    attributes["altKey"] = true;
    message->fire(kAccessorySelectionEvent, std::move(attributes));
}

void List::rowLongPressed(long row, bool began, platform::Point point)
{
    if (auto message = notificationForObject()) {
        recordSelection(*message, row);
        message->schedule();
    }
    if (began)
        longMouseDownDetected(point);
}

} // namespace morvix
