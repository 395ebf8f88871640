#include "widgets/lists/Tree.h"

#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/tables/TableView.h"
#include "widgets/containers/ScrollBar.h"
#include "widgets/lists/ItemHeight.h"
#include "widgets/lists/RefreshHandler.h"
#include "widgets/lists/Template.h"
#include "widgets/lists/TreeController.h"
#include "widgets/lists/TreeItem.h"
#include "widgets/text/AttributedStrings.h"

#include <algorithm>

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .attributes = R"({"item": id})",
    .note = "after \"selection\" and \"focusItem\", when the user taps an item whose \"itemCount\" is below 1 (one "
            "with children opens their level instead)",
};
constexpr EventDeclaration kAccessorySelectionEvent {
    .name = "Selection",
    .attributes = R"({"item": id, "altKey": true})",
    .sentWithoutListen = true,
    .note = "after \"selection\" and \"focusItem\", when the user taps an item's detail button",
};
constexpr EventDeclaration kExpandEvent {
    .listen = "Expand",
    .name = "Expand",
    .attributes = R"({"item": id})",
    .note = "when an item's level opens, by a tap or by the peer's \"expanded\"; the item's \"expanded\" is scheduled",
};
constexpr EventDeclaration kCollapseEvent {
    .listen = "Collapse",
    .name = "Collapse",
    .attributes = R"({"item": id})",
    .note = "when an item's level closes, by going back or by the peer's \"expanded\"; the item's \"expanded\" is "
            "scheduled",
};
constexpr ReportDeclaration kSelectionReport {
    .name = "selection",
    .kind = "[id]",
    .note = "the item the user tapped or long-pressed (while \"menu\" is set or \"MenuDetect\" listened): with "
            "\"Selection\", else scheduled",
};
constexpr ReportDeclaration kFocusItemReport {
    .name = "focusItem",
    .kind = "id",
    .note = "the item of \"selection\", with it at the same times",
};

} // namespace

const StyleDeclaration Tree::kVirtualStyle {
    .word = "VIRTUAL",
    .effect = "every level shows \"itemCount\" rows at once, placeholders until the peer creates their items; the "
              "client reports the visible rows as \"topItemIndex\"",
};

const StyleDeclaration Tree::kFullSelectionStyle {
    .word = "FULL_SELECTION",
    .effect = "a level keeps its selected row when it comes back on screen",
};

const EventDeclaration Tree::kCellSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .attributes = R"({"item": id, "detail": "cell", "text": string})",
    .note = "after \"selection\" and \"focusItem\", when the user taps a selectable cell of a \"rowTemplate\", with "
            "the cell's name",
};

const EventDeclaration Tree::kSetDataEvent {
    .listen = "SetData",
    .name = "SetData",
    .note = "after \"topItemIndex\", when the visible rows of a \"VIRTUAL\" level have moved far enough",
};

const ReportDeclaration Tree::kTopItemIndexReport {
    .name = "topItemIndex",
    .kind = "number",
    .note = "the first row the user scrolled to on a \"VIRTUAL\" level (on a deeper level, added to the row of its "
            "item): with \"SetData\", else scheduled",
};

const WireTable& Tree::wire()
{
    static const WireTable table = WireTable::extend(AbstractComposite::wire())
                                       .style(kVirtualStyle)
                                       .style(kFullSelectionStyle)
                                       .event(kSelectionEvent)
                                       .event(kAccessorySelectionEvent)
                                       .event(kCellSelectionEvent)
                                       .event(kExpandEvent)
                                       .event(kCollapseEvent)
                                       .event(kSetDataEvent)
                                       .report(kSelectionReport)
                                       .report(kFocusItemReport)
                                       .report(kTopItemIndexReport);
    return table;
}

const PropertyTable& Tree::properties()
{
    static const PropertyTable table
        = PropertyTable::extend<Tree>(AbstractComposite::properties())
              .number("itemCount", &Tree::setItemCount, &Tree::itemCount)
              .number("itemHeight", &Tree::setItemHeight, [](const Tree& self) { return std::optional<Value>(self.itemHeight()); })
              .boolean("linesVisible", &Tree::setLinesVisible, &Tree::linesVisible)
              .string("toolTip", &Tree::setToolTip, [](const Tree& self) { return std::optional<std::string>(self.toolTip()); })
              .string("appearance", &Tree::setAppearance, [](const Tree& self) { return std::optional<std::string>(self.appearance()); })
              .array("rowTemplate", &Tree::setRowTemplate, [](const Tree& self) {
                  return self.m_rowTemplate.is_null() ? std::nullopt : std::optional<Value>(self.m_rowTemplate);
              })
              .boolean("markupEnabled", &Tree::setMarkupEnabled, &Tree::markupEnabled)
              .color("background", &Tree::setBackground, &Tree::barTint)
              .boolean("enabled", &Tree::setEnabled, &Tree::isEnabled)
              .number("topIndex", &Tree::setTopIndex, [](const Tree& self) { return std::optional<Value>(self.topIndex()); })
              .array("columns", &Tree::setColumns, [](const Tree& self) { return std::optional<Value>(self.columns()); })
              .flag("expandListener", &Tree::m_expandListener)
              .flag("collapseListener", &Tree::m_collapseListener)
              .flag("setDataListener", &Tree::m_setDataListener);
    return table;
}

const PropertyNames& Tree::remoteObjectProperties()
{
    static const PropertyNames names
        = extendPropertyNames(AbstractComposite::remoteObjectProperties(), { "toolTip", "itemCount", "columns", "markupEnabled" });
    return names;
}

Tree::Tree(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_navigationController(platform::NavigationController::create())
{
}

Tree::~Tree() = default;

std::shared_ptr<BasicObject> Tree::create(const std::string& id, const Value* properties, std::shared_ptr<ClientContext> client)
{
    auto tree = construct<Tree>(id, client);
    // The first pass meets no root: whatever forwards to it does nothing yet. The create
    // operation applies the same properties again once the root is there.
    tree->setWithProperties(properties);
    tree->makeRoot();
    return tree;
}

void Tree::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<Tree>(shared_from_this());
    m_navigationController->setDelegate(std::weak_ptr<platform::NavigationControllerDelegate>(self));
    m_navigationController->setNavigationBarHidden(true);
    setBackground(std::nullopt);
}

void Tree::makeRoot()
{
    auto client = this->client();
    auto root = std::static_pointer_cast<TreeItem>(TreeItem::create(objectId() + ".root", nullptr, client));
    root->setParent(shared_from_this());
    m_root = root;
    m_currentParentItem = root;
    if (auto controller = root->treeController()) {
        m_controllers.push_back(controller);
        m_navigationController->pushViewController(controller, platform::Animated::No);
    }
    root->setVirtualTreeItem(hasStyle(kVirtualStyle));
}

std::shared_ptr<platform::View> Tree::view() const
{
    return m_navigationController ? m_navigationController->view() : nullptr;
}

std::shared_ptr<TreeController> Tree::currentLevel() const
{
    auto item = m_currentParentItem.lock();
    return item ? item->treeController() : nullptr;
}

// MARK: Children

void Tree::addObject(std::shared_ptr<RemoteObject> child)
{
    RemoteClass::addObject(child);
    if (auto item = std::dynamic_pointer_cast<TreeItem>(child)) {
        if (m_root && item != m_root) {
            item->setData(data());
            m_root->addObject(item);
        }
        return;
    }
    if (auto bar = std::dynamic_pointer_cast<ScrollBar>(child)) {
        (bar->horizontal() ? m_hScroll : m_vScroll) = true;
        if (auto level = currentLevel())
            level->tableView()->setScrollEnabled(m_hScroll || m_vScroll);
    }
}

void Tree::removeObject(const RemoteObject& child)
{
    if (auto* item = dynamic_cast<const TreeItem*>(&child)) {
        if (item == m_root.get())
            m_root.reset();
        else if (m_root)
            m_root->removeObject(child);
    }
    RemoteClass::removeObject(child);
}

void Tree::childObjectChanged(RemoteObject& child)
{
    if (m_root && &child != m_root.get())
        m_root->childObjectChanged(child);
}

void Tree::destroy()
{
    if (auto root = m_root)
        root->destroy();
    m_root.reset();
    m_template.reset();
    m_rowTemplate = nullptr;
    m_controllers.clear();
    RemoteClass::destroy();
}

// MARK: Properties

Value Tree::itemCount() const
{
    return m_root ? m_root->itemCount() : Value(0);
}

void Tree::setItemCount(std::optional<Value> count)
{
    if (m_root)
        m_root->setItemCount(std::move(count));
}

void Tree::setItemHeight(std::optional<Value> height)
{
    double stored = ItemHeight::bounded(height, *this, "tree");
    if (stored == m_itemHeight)
        return;
    m_itemHeight = stored;
    if (m_root)
        m_root->itemHeightChanged();
}

void Tree::setLinesVisible(bool visible)
{
    m_linesVisible = visible;
    if (m_root)
        m_root->setLinesVisible(visible);
}

std::string Tree::toolTip() const
{
    std::lock_guard lock(m_treeMutex);
    return m_toolTip;
}

void Tree::setToolTip(std::optional<std::string> toolTip)
{
    std::string title;
    {
        std::lock_guard lock(m_treeMutex);
        m_toolTip = toolTip.value_or("");
        title = m_toolTip;
    }
    if (m_markupEnabled)
        title = AttributedStrings::stringFromMarkupString(title).value_or("");
    if (m_root && m_root->treeController())
        m_root->treeController()->setTitle(title);
    m_navigationController->setNavigationBarHidden(title.empty());
}

std::string Tree::appearance() const
{
    std::lock_guard lock(m_treeMutex);
    return m_appearance;
}

void Tree::setAppearance(std::optional<std::string> appearance)
{
    std::string value = appearance.value_or("");
    {
        std::lock_guard lock(m_treeMutex);
        m_appearance = value;
    }
    if (value == "table" || value == "list")
        m_navigationController->setNavigationBarHidden(true);
}

void Tree::setRowTemplate(std::optional<Value> rowTemplate)
{
    m_rowTemplate = rowTemplate.value_or(Value());
    if (!rowTemplate || rowTemplate->is_null()) {
        m_template.reset();
        return;
    }
    m_template = Template::create(*rowTemplate, m_markupEnabled, client());
}

std::optional<platform::Color> Tree::barTint() const
{
    return m_navigationController->navigationBar()->barTintColor();
}

void Tree::setBackground(std::optional<platform::Color> color)
{
    RemoteClass::setBackground(color);
    m_navigationController->navigationBar()->setBarTintColor(color);
    if (auto view = this->view())
        view->setBackgroundColor(color.value_or(platform::Color::white()));
    if (m_root)
        m_root->backgroundColorChanged();
}

void Tree::setEnabled(bool enabled)
{
    RemoteClass::setEnabled(enabled);
    if (m_root && m_root->treeController())
        m_root->treeController()->tableView()->setAllowsSelection(enabled);
}

void Tree::setData(std::optional<Value> data)
{
    RemoteClass::setData(data);
    if (!m_root)
        return;
    m_root->setData(data);
    auto view = this->view();
    if (auto level = currentLevel(); level && view && !view->isHidden()) {
        auto table = level->tableView();
        table->reloadRows(table->indexPathsForVisibleRows(), platform::TableViewRowAnimation::None);
    }
    // "data" replaces the whole dictionary: without the key no handler is named any more, so
    // that levels made from now on get no refresh control. Those already there keep theirs.
    if (!data || !data->is_object() || !data->contains("refreshHandler")) {
        m_refreshHandler.clear();
        return;
    }
    const Value& named = (*data)["refreshHandler"];
    m_refreshHandler = named.is_string() ? named.get<std::string>() : "";
    if (m_refreshHandler.empty())
        return;
    updateWithRefreshHandler(namedRefreshHandler());
}

std::shared_ptr<RefreshHandler> Tree::namedRefreshHandler() const
{
    auto client = this->client();
    if (!client || m_refreshHandler.empty())
        return nullptr;
    return std::dynamic_pointer_cast<RefreshHandler>(client->objectById(m_refreshHandler));
}

// MARK: Navigation

void Tree::itemClicked(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<TreeItem>&)
{
    if (item->declaredCount() < 1) {
        Value attributes = Value::object();
        attributes["item"] = item->objectId();
        sendTreeItemSelected(kSelectionEvent, *item, std::move(attributes));
        return;
    }
    expandTreeItem(item);
}

void Tree::altItemClicked(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<TreeItem>&)
{
    auto message = notificationForObject();
    if (!message)
        return;
    recordSelection(*message, *item);
    Value attributes = Value::object();
    attributes["item"] = item->objectId();
    attributes["altKey"] = true;
    message->fire(kAccessorySelectionEvent, std::move(attributes));
}

void Tree::expandTreeItem(const std::shared_ptr<TreeItem>& item)
{
    auto controller = item->treeController();
    if (!controller)
        return;
    m_currentParentItem = item;
    m_controllers.push_back(controller);
    m_navigationController->pushViewController(controller, platform::Animated::Yes);
    sendExpandedTreeItem(item);
}

void Tree::pushItem(const std::shared_ptr<TreeItem>& item)
{
    auto controller = item->treeController();
    if (!controller || isExpanded(*item))
        return;
    // `controllers` mirrors the stack, so that a later back navigation finds this level.
    m_controllers.push_back(controller);
    m_navigationController->pushViewController(controller, platform::Animated::No);
    sendExpandedTreeItem(item);
}

void Tree::popItem(const std::shared_ptr<TreeItem>& item)
{
    auto controller = item->treeController();
    const auto& stack = m_navigationController->viewControllers();
    auto found = std::find(stack.begin(), stack.end(), controller);
    if (!controller || found == stack.end() || found == stack.begin())
        return;
    // The level below the item's own stays on top, so that the item's level really closes.
    // `controllers` is trimmed first, so that the did-show after the pop reports nothing more.
    auto below = *(found - 1);
    auto mirrored = std::find(m_controllers.begin(), m_controllers.end(), controller);
    m_controllers.erase(mirrored, m_controllers.end());
    m_navigationController->popToViewController(below, platform::Animated::No);
    sendCollapsedTreeItem(item);
}

bool Tree::isExpanded(const TreeItem& item) const
{
    auto controller = item.treeController();
    const auto& stack = m_navigationController->viewControllers();
    return controller && std::find(stack.begin(), stack.end(), controller) != stack.end();
}

bool Tree::isUpdating() const
{
    return m_root && m_root->isUpdating();
}

void Tree::recordSelection(Notification& message, const TreeItem& item) const
{
    message.report(kSelectionReport, Value::array({ item.objectId() }));
    message.report(kFocusItemReport, item.objectId());
}

void Tree::sendTreeItemSelected(const EventDeclaration& event, const TreeItem& item, Value attributes)
{
    auto message = notificationForObject();
    if (!message)
        return;
    recordSelection(*message, item);
    if (m_selectionListener)
        message->fire(event, std::move(attributes));
    else
        message->schedule();
}

void Tree::scheduleSelection(const TreeItem& item)
{
    auto message = notificationForObject();
    if (!message)
        return;
    recordSelection(*message, item);
    message->schedule();
}

void Tree::sendExpandedTreeItem(const std::shared_ptr<TreeItem>& item)
{
    item->setExpanded(true);
    if (auto message = item->notificationForObject()) {
        message->report(TreeItem::kExpandedReport, true);
        message->schedule();
    }
    if (!m_expandListener)
        return;
    if (auto message = notificationForObject()) {
        Value attributes = Value::object();
        attributes["item"] = item->objectId();
        message->fire(kExpandEvent, std::move(attributes));
    }
}

void Tree::sendCollapsedTreeItem(const std::shared_ptr<TreeItem>& item)
{
    item->setExpanded(false);
    if (auto message = item->notificationForObject()) {
        message->report(TreeItem::kExpandedReport, false);
        message->schedule();
    }
    if (!m_collapseListener)
        return;
    if (auto message = notificationForObject()) {
        Value attributes = Value::object();
        attributes["item"] = item->objectId();
        message->fire(kCollapseEvent, std::move(attributes));
    }
}

void Tree::longMouseDownDetected(platform::Point point)
{
    RemoteClass::longMouseDownDetected(point);
}

void Tree::willShowViewController(platform::NavigationController& navigation, platform::ViewController& controller, bool)
{
    navigation.setNavigationBarHidden(controller.title().empty(), platform::Animated::No);
}

void Tree::didShowViewController(platform::NavigationController& navigation, platform::ViewController&, bool)
{
    // The lowest level that is no longer on the stack closed; only it is reported.
    const auto& stack = navigation.viewControllers();
    auto closed = std::find_if(m_controllers.begin(), m_controllers.end(), [&](const std::shared_ptr<TreeController>& level) {
        return std::find(stack.begin(), stack.end(), level) == stack.end();
    });
    if (closed != m_controllers.end()) {
        auto item = (*closed)->parentItem();
        m_controllers.erase(closed, m_controllers.end());
        if (item)
            sendCollapsedTreeItem(item);
    }
    if (!m_controllers.empty())
        m_controllers.back()->recomputeWindow();
}

// MARK: Refresh

void Tree::updateWithRefreshHandler(const std::shared_ptr<RefreshHandler>& handler)
{
    if (m_root)
        m_root->updateWithRefreshHandler(handler);
}

void Tree::refreshHandlerUpdatingDone()
{
    if (m_root)
        m_root->refreshHandlerUpdatingDone();
}

} // namespace morvix
