#include "widgets/delegating/DelegatingNavigationBar.h"

namespace morvix {

std::shared_ptr<DelegatingNavigationBar> DelegatingNavigationBar::create(const platform::Rect& frame)
{
    return std::shared_ptr<DelegatingNavigationBar>(new DelegatingNavigationBar(frame));
}

platform::Size DelegatingNavigationBar::fullIntrinsicSize(platform::Size size) const
{
    return sizeThatFits(size);
}

} // namespace morvix
