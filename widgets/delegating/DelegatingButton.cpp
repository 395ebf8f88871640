#include "widgets/delegating/DelegatingButton.h"

namespace morvix {

std::shared_ptr<DelegatingButton> DelegatingButton::create(platform::ButtonType type, const platform::Rect& frame)
{
    return std::shared_ptr<DelegatingButton>(new DelegatingButton(type, frame));
}

platform::Size DelegatingButton::fullIntrinsicSize(platform::Size size) const
{
    platform::EdgeInsets image = imageEdgeInsets();
    platform::EdgeInsets title = titleEdgeInsets();
    return { size.width + image.left + image.right + title.left + title.right,
        size.height + image.top + image.bottom + title.top + title.bottom };
}

} // namespace morvix
