#include "widgets/lists/RowTemplateCell.h"

#include "platform/ui/gestures/TapGestureRecognizer.h"
#include "widgets/lists/Cell.h"
#include "widgets/lists/Template.h"
#include "widgets/lists/TreeItem.h"

namespace morvix {

using platform::Value;

std::shared_ptr<RowTemplateCell> RowTemplateCell::create(const std::shared_ptr<Template>& rowTemplate, std::string reuseIdentifier)
{
    auto cell = std::shared_ptr<RowTemplateCell>(new RowTemplateCell(std::move(reuseIdentifier)));
    cell->buildSubviews();
    cell->setSelectionStyle(platform::TableViewCellSelectionStyle::Blue);
    cell->contentView()->removeConstraints(cell->contentView()->constraints());
    if (rowTemplate)
        cell->materializeCells(*rowTemplate);
    return cell;
}

RowTemplateCell::RowTemplateCell(std::string reuseIdentifier)
    : TableViewCell(platform::TableViewCellStyle::Default, std::move(reuseIdentifier))
{
}

void RowTemplateCell::materializeCells(const Template& rowTemplate)
{
    std::weak_ptr<RowTemplateCell> weak = std::static_pointer_cast<RowTemplateCell>(shared_from_this());
    for (const auto& cell : rowTemplate.cells()) {
        auto view = cell->createViewInContainer(contentView());
        if (!view)
            continue;
        m_viewToCellBinding[view.get()] = cell;
        if (auto column = cell->bindingIndex())
            m_bindingIndex[*column].push_back(view);
        if (!cell->isSelectable())
            continue;
        view->addGestureRecognizer(platform::TapGestureRecognizer::create([weak](platform::GestureRecognizer& recognizer) {
            auto self = weak.lock();
            auto tapped = recognizer.view();
            if (self && tapped)
                self->cellSelected(*tapped);
        }));
    }
}

void RowTemplateCell::updateWith(const std::shared_ptr<TreeItem>& item)
{
    m_item = item;
    contentView()->setBackgroundColor(item ? item->rowBackground() : std::nullopt);
    setSelectionStyle(item ? platform::TableViewCellSelectionStyle::Blue : platform::TableViewCellSelectionStyle::None);
    for (const auto& [column, views] : m_bindingIndex) {
        for (const auto& view : views) {
            auto found = m_viewToCellBinding.find(view.get());
            if (found != m_viewToCellBinding.end())
                found->second->updateWith(item, column, *view);
        }
    }
}

std::vector<std::shared_ptr<platform::View>> RowTemplateCell::viewsBoundTo(std::size_t column) const
{
    auto found = m_bindingIndex.find(column);
    return found == m_bindingIndex.end() ? std::vector<std::shared_ptr<platform::View>> {} : found->second;
}

void RowTemplateCell::cellSelected(const platform::View& view)
{
    auto item = m_item.lock();
    auto found = m_viewToCellBinding.find(&view);
    if (!item || found == m_viewToCellBinding.end())
        return;
    Value attributes = Value::object();
    attributes["item"] = item->objectId();
    attributes["detail"] = "cell";
    if (auto name = found->second->name())
        attributes["text"] = *name;
    item->selectedWithAttributes(std::move(attributes));
}

} // namespace morvix
