#pragma once
// The default row of a tree level: title, detail line, image and accessory of an item.

#include "platform/graphics/Font.h"
#include "platform/ui/tables/TableViewCell.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix {

class Tree;
class TreeItem;

/// The cell of a tree level without a row template: always the subtitle style, whatever style is
/// asked for. Column 0 of the item is the title, column 1 the detail line, the first image sits
/// at the left; colours come per column. The accessory follows the tree's "altSelection" data key
/// and the item's declared count:
///  - "all": the detail-disclosure button on every row;
///  - else a leaf (count below 1, which every placeholder is): the button for "leaf", else none;
///  - else (a branch): the button for "branch", else the disclosure indicator.
/// With markup the labels show any number of lines, clipped, in the fonts the labels had when the
/// cell was first filled; plain texts are truncated at the tail. A placeholder row (no item)
/// shows no text or image and cannot be highlighted. Main thread only.
class GridTreeCell final : public platform::TableViewCell {
public:
    static std::shared_ptr<GridTreeCell> create(std::string reuseIdentifier);
    const char* className() const override { return "GridTreeCell"; }

    std::shared_ptr<TreeItem> item() const { return m_item.lock(); }
    /// Fills the cell from `item` (null for a placeholder) of `tree`.
    void updateWith(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<Tree>& tree);

private:
    explicit GridTreeCell(std::string reuseIdentifier);
    void updateImage(const std::shared_ptr<TreeItem>& item);
    void updateAccessory(const std::shared_ptr<TreeItem>& item, const std::shared_ptr<Tree>& tree);
    void updateTexts(const std::shared_ptr<TreeItem>& item, bool markup);

    std::weak_ptr<TreeItem> m_item;
    std::optional<platform::Font> m_defaultTextFont;
    std::optional<platform::Font> m_defaultDetailTextFont;
};

} // namespace morvix
