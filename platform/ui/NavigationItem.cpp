#include "platform/ui/NavigationItem.h"

#include "platform/ui/BarButtonItem.h"

namespace morvix::platform {

std::shared_ptr<NavigationItem> NavigationItem::create(std::string title)
{
    std::shared_ptr<NavigationItem> item(new NavigationItem);
    item->m_title = std::move(title);
    return item;
}

void NavigationItem::setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item)
{
    m_left.clear();
    if (item)
        m_left.push_back(std::move(item));
}

void NavigationItem::setRightBarButtonItem(std::shared_ptr<BarButtonItem> item)
{
    m_right.clear();
    if (item)
        m_right.push_back(std::move(item));
}

} // namespace morvix::platform
