#include "widgets/delegating/DelegatingView.h"

namespace morvix {

std::shared_ptr<DelegatingView> DelegatingView::create(const platform::Rect& frame)
{
    return std::shared_ptr<DelegatingView>(new DelegatingView(frame));
}

} // namespace morvix
