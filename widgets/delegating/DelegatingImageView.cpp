#include "widgets/delegating/DelegatingImageView.h"

namespace morvix {

std::shared_ptr<DelegatingImageView> DelegatingImageView::create(const platform::Rect& frame)
{
    return std::shared_ptr<DelegatingImageView>(new DelegatingImageView(frame));
}

} // namespace morvix
