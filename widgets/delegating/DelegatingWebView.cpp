#include "widgets/delegating/DelegatingWebView.h"

namespace morvix {

std::shared_ptr<DelegatingWebView> DelegatingWebView::create(const platform::Rect& frame)
{
    return std::shared_ptr<DelegatingWebView>(new DelegatingWebView(frame));
}

} // namespace morvix
