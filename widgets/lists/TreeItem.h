#pragma once
// One row of a tree, and the parent of the level below it.

#include "platform/graphics/AttributedString.h"
#include "platform/ui/tables/TableView.h"
#include "widgets/foundation/Control.h"
#include "widgets/lists/SubItemList.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class RefreshHandler;
class Tree;
class TreeController;

/// "zub.widgets.GridItem": a row of a `Tree` with texts, images and colours per column, the number
/// of children the peer declared ("itemCount") and its children in row order (`subItems`). In a
/// virtual tree (style "VIRTUAL") the list has a placeholder in every row the peer has not filled
/// yet, so that the level shows the declared count at once; placeholders are only counted, so a
/// large count costs what the rows shown cost. The declared count is clamped to
/// [0, `platform::WireNumber::kMaximumItemCount`] (logged above it). Every item owns the
/// `TreeController` of the level that shows its children; it gets it on joining a tree. The item
/// has no view.
///
/// Rules of the child list:
///  1. Placeholders (virtual items only): a count above the length appends placeholders as new
///     last rows; a count below it drops the last entries, whatever they hold. The level's table
///     is told of the rows that came or went as one run.
///  2. A child goes to row "index" (0 without one). In a virtual item a placeholder there is
///     replaced and the row reloaded; otherwise the child is inserted and, with two or more
///     entries, the last entry dropped again so that the declared length holds (announced as
///     reloads of the shown rows from the index to the end).
///  3. An "index" that is negative, not a whole number or beyond the list (where no placeholder
///     is replaced) fails the operation with "Incorrect Parameter" before the child joins.
///  4. A removed child of a virtual item leaves a placeholder at the end; of another item its row
///     is deleted.
///  5. Every change opens the level's batch, which closes at the end of the message.
///
/// Main thread, except that `texts`, `foreground` and `background` are written under the item's
/// mutex.
class TreeItem : public RemoteClass<TreeItem, Control> {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.GridItem";

    TreeItem(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~TreeItem() override;

    static const PropertyTable& properties();
    /// `Control`'s names plus "texts", "images", "index" and "itemCount".
    static const PropertyNames& remoteObjectProperties();
    /// "expanded", which the tree reports for the item.
    static const WireTable& wire();
    static const ReportDeclaration kExpandedReport;

    /// Always null: the item has no view.
    std::shared_ptr<platform::View> view() const override { return nullptr; }

    // RemoteObject
    void setParent(std::shared_ptr<RemoteObject> parent) override;
    void addObject(std::shared_ptr<RemoteObject> child) override;
    void removeObject(const RemoteObject& child) override;
    void childObjectChanged(RemoteObject& child) override;
    void notifyObjectChange() override;
    /// Destroys the controller (it stops observing), releases it, then the base's destroy.
    void destroy() override;

    // Properties.
    const platform::Value& index() const { return m_index; }
    void setIndex(std::optional<platform::Value> index);
    const platform::Value& itemCount() const { return m_itemCount; }
    /// Stores a changed count, opens the level's batch and, for a virtual item with a parent,
    /// runs the placeholder rule. A count past the largest a level may have is clamped to it
    /// and logged; booleans count as 0 and 1, what is no number as 0.
    void setItemCount(std::optional<platform::Value> count);
    platform::Value texts() const;
    void setTexts(std::optional<platform::Value> texts);
    const platform::Value& images() const { return m_images; }
    void setImages(std::optional<platform::Value> images) { m_images = images.value_or(platform::Value::array()); }
    const platform::Value& cellForegrounds() const { return m_cellForegrounds; }
    void setCellForegrounds(std::optional<platform::Value> colors) { m_cellForegrounds = colors.value_or(platform::Value::array()); }
    const platform::Value& cellBackgrounds() const { return m_cellBackgrounds; }
    void setCellBackgrounds(std::optional<platform::Value> colors) { m_cellBackgrounds = colors.value_or(platform::Value::array()); }
    std::optional<platform::Color> rowForeground() const;
    void setForeground(std::optional<platform::Color> color) override;
    std::optional<platform::Color> rowBackground() const;
    void setBackground(std::optional<platform::Color> color) override;
    bool isExpandedFlag() const { return m_expanded; }
    /// Opens (ancestors first) or closes the item's level from the peer's side, on a later turn.
    void setExpanded(bool expanded);
    bool linesVisible() const { return m_linesVisible; }
    void setLinesVisible(bool visible);
    bool isVirtualTreeItem() const { return m_virtualTreeItem; }
    /// Setting true runs the placeholder rule with the current count (no table is told).
    void setVirtualTreeItem(bool isVirtual);

    // The level.
    const SubItemList& subItems() const { return m_subItems; }
    const std::shared_ptr<TreeController>& treeController() const { return m_treeController; }
    /// The first `Tree` up the parents, starting with the parent.
    std::shared_ptr<Tree> tree() const;
    /// `itemCount` as a whole number in [0, `platform::WireNumber::kMaximumItemCount`] (0 for
    /// none).
    long declaredCount() const { return m_declaredCount; }

    // Per-column lookups; none fail.
    platform::AttributedString textForColumn(std::size_t column) const;
    std::optional<platform::Color> foregroundForColumn(std::size_t column) const;
    std::optional<platform::Color> backgroundForColumn(std::size_t column) const;
    /// The row of `child` in `subItems`, section 0; row 0 when it is not there.
    platform::IndexPath currentItemIndexPath(const TreeItem& child) const;
    /// Sends the tree's selection with this item.
    void selectedWithAttributes(platform::Value attributes);

    /// The row within the parent's list (0 when not found).
    long rowIndex() const;
    /// The row counted through the levels: a child in row j of an item numbered k is k + 1 + j.
    long rowIndexRecursive() const;
    /// The tree's item height.
    double itemHeight() const;
    /// The level's batch is open, or one below it is (placeholders passed over).
    bool isUpdating() const;

    // Walks over this item and every item below.
    void itemHeightChanged();
    void backgroundColorChanged();
    void updateWithRefreshHandler(const std::shared_ptr<RefreshHandler>& handler);
    void refreshHandlerUpdatingDone();

    void addSubItem(const std::shared_ptr<TreeItem>& child);
    void removeSubItem(const TreeItem& child);

    void updateAttributedTexts();
    void updateTitle();

protected:
    void didConstruct() override;
    /// Nothing: the item has no view to place in its parent's.
    void connectToParent(RemoteObject&) override { }
    void disconnectFromParent(RemoteObject&) override { }

private:
    template<typename Function>
    void forEachItem(Function&& function);
    void updateVirtualItemCount(long count);
    /// The row count `count` declares, clamped to what a level may have; logs a clamp.
    long boundedCount(const platform::Value& count) const;
    long validatedIndex(const platform::Value& index, bool replacesPlaceholder) const;
    static void update(const std::weak_ptr<TreeItem>& child, const std::weak_ptr<TreeItem>& parent);
    void delayedPush();
    void delayedPop();
    void joinTree(const std::shared_ptr<Tree>& tree);

    platform::Value m_index = 0;
    platform::Value m_itemCount = 0;
    long m_declaredCount = 0;
    SubItemList m_subItems;
    platform::Value m_texts = platform::Value::array();
    std::vector<platform::AttributedString> m_attributedTexts;
    platform::Value m_images = platform::Value::array();
    platform::Value m_cellForegrounds = platform::Value::array();
    platform::Value m_cellBackgrounds = platform::Value::array();
    std::optional<platform::Color> m_rowForeground;
    std::optional<platform::Color> m_rowBackground;
    bool m_expanded = false;
    bool m_virtualTreeItem = false;
    bool m_linesVisible = false;
    std::shared_ptr<TreeController> m_treeController;
    mutable std::recursive_mutex m_itemMutex; // guards m_texts, m_rowForeground and m_rowBackground
};

} // namespace morvix
