#pragma once
// A row of a tree level drawn by a row template.

#include "platform/ui/tables/TableViewCell.h"

#include <map>
#include <memory>
#include <vector>

namespace morvix {

class Cell;
class Template;
class TreeItem;

/// A table cell that builds one view per template cell in its content view, once, and refills the
/// bound views for every row. A tap on a selectable cell's view sends the tree's "Selection" with
/// {"item", "detail": "cell", "text": the cell's name} ("text" left out without a name); taps on
/// placeholder rows do nothing. The cell keeps its template's cells alive, so rows built from a
/// replaced template still work. Main thread only.
class RowTemplateCell final : public platform::TableViewCell {
public:
    static std::shared_ptr<RowTemplateCell> create(const std::shared_ptr<Template>& rowTemplate, std::string reuseIdentifier);
    const char* className() const override { return "RowTemplateCell"; }

    std::shared_ptr<TreeItem> item() const { return m_item.lock(); }
    /// Fills the bound views from `item` (null for a placeholder).
    void updateWith(const std::shared_ptr<TreeItem>& item);
    /// The views bound to `column`.
    std::vector<std::shared_ptr<platform::View>> viewsBoundTo(std::size_t column) const;

private:
    explicit RowTemplateCell(std::string reuseIdentifier);
    void materializeCells(const Template& rowTemplate);
    void cellSelected(const platform::View& view);

    std::weak_ptr<TreeItem> m_item;
    std::map<std::size_t, std::vector<std::shared_ptr<platform::View>>> m_bindingIndex;
    // Keyed by the view's address; the views are the content view's subviews, kept as long as
    // this cell.
    std::map<const platform::View*, std::shared_ptr<Cell>> m_viewToCellBinding;
};

} // namespace morvix
