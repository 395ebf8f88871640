#include "platform/ui/WKView.h"

namespace morvix::platform {

std::shared_ptr<WKView> WKView::create(const Rect& frame)
{
    return std::shared_ptr<WKView>(new WKView(frame));
}

} // namespace morvix::platform
