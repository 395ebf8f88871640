#include "widgets/lists/TreeItem.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "core/objects/TypeConverter.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/WireNumber.h"
#include "platform/ui/controls/RefreshControl.h"
#include "widgets/lists/RefreshHandler.h"
#include "widgets/lists/Tree.h"
#include "widgets/lists/TreeController.h"
#include "widgets/text/AttributedStrings.h"

#include <algorithm>
#include <cmath>

namespace morvix {

using platform::IndexPath;
using platform::Value;

const ReportDeclaration TreeItem::kExpandedReport {
    .name = "expanded",
    .kind = "boolean",
    .note = "true when the item's level opens, false when it closes (by the user or by the peer's \"expanded\"): "
            "scheduled",
};

const WireTable& TreeItem::wire()
{
    // An item has no view of its own, so none of a control's input events: its base's table is
    // left out, and "listen" takes their keys to no effect.
    static const WireTable table = WireTable::extend(BasicWidget::wire()).report(kExpandedReport);
    return table;
}

const PropertyTable& TreeItem::properties()
{
    static const PropertyTable table
        = PropertyTable::extend<TreeItem>(Control::properties())
              .number("index", &TreeItem::setIndex, [](const TreeItem& self) { return std::optional<Value>(self.index()); })
              .number("itemCount", &TreeItem::setItemCount, [](const TreeItem& self) { return std::optional<Value>(self.itemCount()); })
              .array("texts", &TreeItem::setTexts, [](const TreeItem& self) { return std::optional<Value>(self.texts()); })
              .array("images", &TreeItem::setImages, [](const TreeItem& self) { return std::optional<Value>(self.images()); })
              .array("cellForegrounds", &TreeItem::setCellForegrounds,
                  [](const TreeItem& self) { return std::optional<Value>(self.cellForegrounds()); })
              .array("cellBackgrounds", &TreeItem::setCellBackgrounds,
                  [](const TreeItem& self) { return std::optional<Value>(self.cellBackgrounds()); })
              .color("foreground", &TreeItem::setForeground, &TreeItem::rowForeground)
              .color("background", &TreeItem::setBackground, &TreeItem::rowBackground)
              .boolean("expanded", &TreeItem::setExpanded, &TreeItem::isExpandedFlag)
              .boolean("linesVisible", &TreeItem::setLinesVisible, &TreeItem::linesVisible)
              .boolean("virtualTreeItem", &TreeItem::setVirtualTreeItem, &TreeItem::isVirtualTreeItem);
    return table;
}

const PropertyNames& TreeItem::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(), { "texts", "images", "index", "itemCount" });
    return names;
}

TreeItem::TreeItem(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
{
}

TreeItem::~TreeItem() = default;

void TreeItem::didConstruct()
{
    RemoteClass::didConstruct();
}

std::shared_ptr<Tree> TreeItem::tree() const
{
    for (auto current = parent(); current; current = current->parent()) {
        if (auto tree = std::dynamic_pointer_cast<Tree>(current))
            return tree;
    }
    return nullptr;
}

long TreeItem::boundedCount(const Value& count) const
{
    using platform::WireNumber;
    auto bounded = WireNumber::clampedCount(count, 0, WireNumber::kMaximumItemCount);
    auto number = platform::numberValue(count);
    if (number && *number > static_cast<double>(WireNumber::kMaximumItemCount)) {
        if (auto client = this->client()) {
            client->log(LogEntry(platform::format("tree item %@ declares %@ rows; keeping the first %@", objectId(), count,
                                     Value(WireNumber::kMaximumItemCount)),
                LogEntry::Type::Warning));
        }
    }
    return static_cast<long>(bounded.value_or(0));
}

// MARK: Joining a tree

void TreeItem::setParent(std::shared_ptr<RemoteObject> parent)
{
    if (parent == this->parent())
        return;
    // The row is checked before anything changes, so that a bad "index" leaves the parent, the
    // table and the registry as they were.
    std::shared_ptr<TreeItem> list = std::dynamic_pointer_cast<TreeItem>(parent);
    if (auto asTree = std::dynamic_pointer_cast<Tree>(parent))
        list = asTree->root();
    if (list && list.get() != this) {
        long row = validatedIndex(m_index, false);
        const auto& entries = list->m_subItems;
        long length = static_cast<long>(entries.size());
        bool replaces = list->m_virtualTreeItem && row < length && !entries[static_cast<std::size_t>(row)];
        if (!replaces && row > length)
            RemoteException::throwIncorrectParameter("index %ld is beyond the %zu rows of %s", row, entries.size(),
                list->objectId().c_str());
    }
    auto tree = std::dynamic_pointer_cast<Tree>(parent);
    if (!tree && parent) {
        if (auto item = std::dynamic_pointer_cast<TreeItem>(parent))
            tree = item->tree();
    }
    if (tree)
        joinTree(tree);
    RemoteClass::setParent(parent);
    notifyObjectChange();
}

void TreeItem::joinTree(const std::shared_ptr<Tree>& tree)
{
    setVirtualTreeItem(tree->hasStyle(Tree::kVirtualStyle));
    if (m_treeController)
        m_treeController->destroy();
    auto self = std::static_pointer_cast<TreeItem>(shared_from_this());
    m_treeController = TreeController::create(self, tree);
    setLinesVisible(tree->linesVisible());
    updateWithRefreshHandler(tree->namedRefreshHandler());
}

long TreeItem::validatedIndex(const Value& index, bool) const
{
    if (index.is_null())
        return 0;
    if (!platform::isNumber(index))
        RemoteException::throwIncorrectParameter("index of %s is not a number", objectId().c_str());
    // No level has more rows than the largest count it may declare.
    auto value = platform::WireNumber::number(index, 0, static_cast<double>(platform::WireNumber::kMaximumItemCount));
    if (!value || *value != std::floor(*value))
        RemoteException::throwIncorrectParameter("index %s of %s is not a row", index.dump().c_str(), objectId().c_str());
    return static_cast<long>(*value);
}

void TreeItem::destroy()
{
    if (m_treeController) {
        m_treeController->destroy();
        m_treeController.reset();
    }
    RemoteClass::destroy();
}

// MARK: Children

void TreeItem::addObject(std::shared_ptr<RemoteObject> child)
{
    RemoteClass::addObject(child);
    if (auto item = std::dynamic_pointer_cast<TreeItem>(child))
        addSubItem(item);
}

void TreeItem::removeObject(const RemoteObject& child)
{
    if (auto* item = dynamic_cast<const TreeItem*>(&child))
        removeSubItem(*item);
    RemoteClass::removeObject(child);
}

void TreeItem::addSubItem(const std::shared_ptr<TreeItem>& child)
{
    if (m_treeController)
        m_treeController->startUpdate();
    child->setData(data());
    long length = static_cast<long>(m_subItems.size());
    long row = std::min(validatedIndex(child->m_index, false), length);
    auto slot = static_cast<std::size_t>(row);
    if (m_virtualTreeItem && row < length && !m_subItems[slot]) {
        m_subItems.replace(slot, child);
        if (m_treeController)
            m_treeController->reload({ platform::rowPath(static_cast<int>(row)) });
        return;
    }
    m_subItems.insert(slot, child);
    if (m_virtualTreeItem && m_subItems.size() >= 2) {
        // The list keeps its declared length: the last entry goes again, and every row from the
        // insertion down shows something else now.
        m_subItems.resize(m_subItems.size() - 1);
        if (m_treeController)
            m_treeController->reloadRows(row, static_cast<long>(m_subItems.size()));
        return;
    }
    if (m_treeController)
        m_treeController->insert({ platform::rowPath(static_cast<int>(row)) });
}

void TreeItem::removeSubItem(const TreeItem& child)
{
    auto found = m_subItems.rowOf(child);
    if (!found)
        return;
    if (m_treeController)
        m_treeController->startUpdate();
    int row = static_cast<int>(*found);
    m_subItems.erase(*found);
    if (m_virtualTreeItem) {
        m_subItems.resize(m_subItems.size() + 1);
        if (m_treeController)
            m_treeController->move({ platform::rowPath(row) }, platform::rowPath(static_cast<int>(m_subItems.size()) - 1));
        return;
    }
    if (m_treeController)
        m_treeController->remove({ platform::rowPath(row) });
}

void TreeItem::updateVirtualItemCount(long count)
{
    // The rows come and go as runs: placeholders are only counted, and the table is told of a
    // run at once, so that a long list costs what a short one does.
    long length = static_cast<long>(m_subItems.size());
    count = std::max(count, 0L);
    if (count == length)
        return;
    m_subItems.resize(static_cast<std::size_t>(count));
    if (!m_treeController)
        return;
    if (count > length)
        m_treeController->insertRange(length, count - length);
    else
        m_treeController->removeRange(count, length - count);
}

// MARK: Properties

void TreeItem::setIndex(std::optional<Value> index)
{
    m_index = index.value_or(Value(0));
}

void TreeItem::setItemCount(std::optional<Value> count)
{
    Value value = count.value_or(Value(0));
    if (platform::valuesEqual(value, m_itemCount))
        return;
    m_declaredCount = boundedCount(value);
    m_itemCount = std::move(value);
    if (m_treeController)
        m_treeController->startUpdate();
    if (m_virtualTreeItem && parent())
        updateVirtualItemCount(declaredCount());
}

void TreeItem::setVirtualTreeItem(bool isVirtual)
{
    m_virtualTreeItem = isVirtual;
    if (!isVirtual)
        return;
    // No table is told: the level reads the list when it first shows.
    m_subItems.resize(static_cast<std::size_t>(std::max(declaredCount(), 0L)));
}

Value TreeItem::texts() const
{
    std::lock_guard lock(m_itemMutex);
    return m_texts;
}

void TreeItem::setTexts(std::optional<Value> texts)
{
    Value value = texts.value_or(Value::array());
    {
        std::lock_guard lock(m_itemMutex);
        if (value == m_texts)
            return;
        m_texts = std::move(value);
    }
    notifyObjectChange();
}

std::optional<platform::Color> TreeItem::rowForeground() const
{
    std::lock_guard lock(m_itemMutex);
    return m_rowForeground;
}

void TreeItem::setForeground(std::optional<platform::Color> color)
{
    {
        std::lock_guard lock(m_itemMutex);
        if (color == m_rowForeground)
            return;
        m_rowForeground = color;
    }
    RemoteClass::setForeground(color);
    notifyObjectChange();
}

std::optional<platform::Color> TreeItem::rowBackground() const
{
    std::lock_guard lock(m_itemMutex);
    return m_rowBackground;
}

void TreeItem::setBackground(std::optional<platform::Color> color)
{
    {
        std::lock_guard lock(m_itemMutex);
        if (color == m_rowBackground)
            return;
        m_rowBackground = color;
    }
    RemoteClass::setBackground(color);
    notifyObjectChange();
}

void TreeItem::setLinesVisible(bool visible)
{
    forEachItem([visible](TreeItem& item) {
        item.m_linesVisible = visible;
        if (item.m_treeController)
            item.m_treeController->setLinesVisible(visible);
    });
}

// MARK: Per-column lookups

platform::AttributedString TreeItem::textForColumn(std::size_t column) const
{
    if (column < m_attributedTexts.size())
        return m_attributedTexts[column];
    return platform::AttributedString("");
}

namespace {

std::optional<platform::Color> columnColor(const Value& colors, std::size_t column)
{
    if (!colors.is_array() || column >= colors.size() || colors[column].is_null())
        return std::nullopt;
    return TypeConverter::toUIColor(colors[column]);
}

} // namespace

std::optional<platform::Color> TreeItem::foregroundForColumn(std::size_t column) const
{
    if (auto color = columnColor(m_cellForegrounds, column))
        return color;
    return rowForeground();
}

std::optional<platform::Color> TreeItem::backgroundForColumn(std::size_t column) const
{
    if (auto color = columnColor(m_cellBackgrounds, column))
        return color;
    return rowBackground();
}

IndexPath TreeItem::currentItemIndexPath(const TreeItem& child) const
{
    return platform::rowPath(static_cast<int>(m_subItems.rowOf(child).value_or(0)));
}

void TreeItem::selectedWithAttributes(Value attributes)
{
    if (auto tree = this->tree())
        tree->sendTreeItemSelected(Tree::kCellSelectionEvent, *this, std::move(attributes));
}

// MARK: Texts and titles

void TreeItem::updateAttributedTexts()
{
    Value texts = this->texts();
    auto tree = this->tree();
    bool markup = tree && tree->markupEnabled();
    std::vector<platform::AttributedString> attributed;
    if (texts.is_array()) {
        for (std::size_t column = 0; column < texts.size(); ++column) {
            std::string text = texts[column].is_string() ? texts[column].get<std::string>() : "";
            std::optional<platform::AttributedString> made;
            if (markup)
                made = AttributedStrings::attributedStringFromMarkupString(text, font(), foregroundForColumn(column));
            attributed.push_back(made.value_or(platform::AttributedString(text)));
        }
    }
    m_attributedTexts = std::move(attributed);
}

void TreeItem::updateTitle()
{
    if (!m_treeController)
        return;
    std::string title = textForColumn(0).string();
    if (title.empty()) {
        if (auto tree = this->tree())
            title = tree->toolTip();
    }
    m_treeController->setTitle(title);
}

// MARK: Row redraw

void TreeItem::notifyObjectChange()
{
    updateAttributedTexts();
    updateTitle();
    RemoteClass::notifyObjectChange();
}

void TreeItem::childObjectChanged(RemoteObject& child)
{
    if (creationPhase())
        return;
    auto* item = dynamic_cast<TreeItem*>(&child);
    if (!item || !m_subItems.contains(*item))
        return;
    std::weak_ptr<TreeItem> weakChild = std::static_pointer_cast<TreeItem>(item->shared_from_this());
    std::weak_ptr<TreeItem> weakParent = std::static_pointer_cast<TreeItem>(shared_from_this());
    platform::MainLoop::main().post([weakChild, weakParent] { update(weakChild, weakParent); });
}

void TreeItem::update(const std::weak_ptr<TreeItem>& weakChild, const std::weak_ptr<TreeItem>& weakParent)
{
    // Either may have gone, or the child left the list, while the redraw waited for its turn.
    auto child = weakChild.lock();
    auto parent = weakParent.lock();
    if (!child || !parent || !parent->m_treeController)
        return;
    if (!parent->m_subItems.contains(*child))
        return;
    auto controller = parent->m_treeController;
    controller->reload({ parent->currentItemIndexPath(*child) });
    auto client = parent->client();
    if (!client || !client->isProcessingMessage())
        controller->processingFinished();
}

// MARK: Row numbers

long TreeItem::rowIndex() const
{
    auto parent = this->parent();
    std::shared_ptr<TreeItem> list = std::dynamic_pointer_cast<TreeItem>(parent);
    if (auto tree = std::dynamic_pointer_cast<Tree>(parent))
        list = tree->root();
    if (!list)
        return 0;
    return static_cast<long>(list->m_subItems.rowOf(*this).value_or(0));
}

long TreeItem::rowIndexRecursive() const
{
    auto parent = this->parent();
    if (auto item = std::dynamic_pointer_cast<TreeItem>(parent))
        return rowIndex() + item->rowIndexRecursive() + 1;
    if (auto tree = std::dynamic_pointer_cast<Tree>(parent))
        return (tree->root() && tree->root().get() != this ? tree->root()->rowIndex() : 0) + rowIndex();
    return rowIndex();
}

double TreeItem::itemHeight() const
{
    auto tree = this->tree();
    return tree ? tree->itemHeight() : Tree::kMinimumItemHeight;
}

bool TreeItem::isUpdating() const
{
    if (m_treeController && m_treeController->isUpdating())
        return true;
    auto entries = m_subItems.items();
    return std::any_of(entries.begin(), entries.end(), [](const auto& entry) { return entry->isUpdating(); });
}

// MARK: Walks

template<typename Function>
void TreeItem::forEachItem(Function&& function)
{
    function(*this);
    // A copy: the function may change the list.
    for (const auto& entry : m_subItems.items())
        entry->forEachItem(function);
}

void TreeItem::itemHeightChanged()
{
    forEachItem([](TreeItem& item) {
        if (item.m_treeController)
            item.m_treeController->itemHeightChanged();
    });
}

void TreeItem::backgroundColorChanged()
{
    auto tree = this->tree();
    auto color = tree ? tree->background() : std::nullopt;
    forEachItem([color](TreeItem& item) {
        if (item.m_treeController)
            item.m_treeController->view()->setBackgroundColor(color.value_or(platform::Color::white()));
    });
}

void TreeItem::updateWithRefreshHandler(const std::shared_ptr<RefreshHandler>& handler)
{
    forEachItem([&handler](TreeItem& item) {
        if (item.m_treeController)
            item.m_treeController->setRefreshControl(handler ? handler->createRefreshControl() : nullptr);
    });
}

void TreeItem::refreshHandlerUpdatingDone()
{
    forEachItem([](TreeItem& item) {
        if (item.m_treeController && item.m_treeController->refreshControl())
            item.m_treeController->refreshControl()->endRefreshing();
    });
}

// MARK: Expansion from the peer

void TreeItem::setExpanded(bool expanded)
{
    bool old = m_expanded;
    m_expanded = expanded;
    if (old == expanded)
        return;
    auto tree = this->tree();
    if (!tree)
        return;
    if (expanded) {
        if (tree->isExpanded(*this))
            return;
        if (auto parentItem = std::dynamic_pointer_cast<TreeItem>(parent()))
            parentItem->setExpanded(true);
        delayedPush();
        return;
    }
    if (tree->isExpanded(*this))
        delayedPop();
}

void TreeItem::delayedPush()
{
    std::weak_ptr<TreeItem> weak = std::static_pointer_cast<TreeItem>(shared_from_this());
    bool waits = creationPhase() || isUpdating();
    platform::MainLoop::main().postAfter(platform::Duration(0), [weak, waits] {
        auto self = weak.lock();
        if (!self)
            return;
        if (waits) {
            self->delayedPush();
            return;
        }
        if (auto tree = self->tree())
            tree->pushItem(self);
    });
}

void TreeItem::delayedPop()
{
    std::weak_ptr<TreeItem> weak = std::static_pointer_cast<TreeItem>(shared_from_this());
    bool waits = creationPhase() || isUpdating();
    platform::MainLoop::main().postAfter(platform::Duration(0), [weak, waits] {
        auto self = weak.lock();
        if (!self)
            return;
        if (waits) {
            self->delayedPop();
            return;
        }
        if (auto tree = self->tree())
            tree->popItem(self);
    });
}

} // namespace morvix
