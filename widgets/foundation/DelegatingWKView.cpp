#include "widgets/foundation/DelegatingWKView.h"

namespace morvix {

std::shared_ptr<DelegatingWKView> DelegatingWKView::create(const platform::Rect& frame)
{
    return std::shared_ptr<DelegatingWKView>(new DelegatingWKView(frame));
}

} // namespace morvix
