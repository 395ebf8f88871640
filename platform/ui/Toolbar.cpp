#include "platform/ui/Toolbar.h"

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"

#include <algorithm>

namespace morvix::platform {

std::shared_ptr<Toolbar> Toolbar::create(const Rect& frame)
{
    return std::shared_ptr<Toolbar>(new Toolbar(frame));
}

void Toolbar::setItems(std::vector<std::shared_ptr<BarButtonItem>> items)
{
    m_items = std::move(items);
    setNeedsLayout();
}

void Toolbar::layoutSubviews()
{
    constexpr double spacing = NavigationBar::kItemSpacing;
    double fixed = spacing;
    int flexible = 0;
    for (const auto& item : m_items) {
        if (item->isFlexibleSpace())
            ++flexible;
        else
            fixed += item->layoutWidth() + spacing;
    }
    double share = flexible ? std::max(0.0, bounds().width() - fixed) / flexible : 0;
    double x = spacing;
    std::vector<std::shared_ptr<View>> views;
    for (const auto& item : m_items) {
        if (item->isFlexibleSpace()) {
            x += share;
            continue;
        }
        NavigationBar::placeItem(item, x, bounds().height());
        x += item->layoutWidth() + spacing;
        views.push_back(item->view());
    }
    NavigationBar::replaceItemViews(*this, m_itemViews, std::move(views));
}

} // namespace morvix::platform
