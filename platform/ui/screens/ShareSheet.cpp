#include "platform/ui/screens/ShareSheet.h"

namespace morvix::platform {

std::shared_ptr<ShareSheet> ShareSheet::create(std::vector<std::any> items)
{
    std::shared_ptr<ShareSheet> sheet(new ShareSheet);
    sheet->m_items = std::move(items);
    return sheet;
}

void ShareSheet::finish()
{
    if (auto presenter = presentingViewController())
        presenter->dismissViewController(Animated::No);
}

} // namespace morvix::platform
