#include "widgets/delegating/DelegatingSlider.h"

namespace morvix {

std::shared_ptr<DelegatingSlider> DelegatingSlider::create(const platform::Rect& frame)
{
    return std::shared_ptr<DelegatingSlider>(new DelegatingSlider(frame));
}

platform::Size DelegatingSlider::fullIntrinsicSize(platform::Size size) const
{
    return sizeThatFits(size);
}

} // namespace morvix
