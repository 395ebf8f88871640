#include "widgets/delegating/DelegatingWKView.h"

namespace morvix {

std::shared_ptr<DelegatingWKView> DelegatingWKView::create(const platform::Rect& frame,
    platform::WKViewConfiguration configuration)
{
    return std::shared_ptr<DelegatingWKView>(new DelegatingWKView(frame, configuration));
}

} // namespace morvix
