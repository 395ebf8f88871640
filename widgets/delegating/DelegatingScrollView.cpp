#include "widgets/delegating/DelegatingScrollView.h"

namespace morvix {

std::shared_ptr<DelegatingScrollView> DelegatingScrollView::create(const platform::Rect& frame)
{
    // The pan recogniser attaches itself on the first hit-test.
    return std::shared_ptr<DelegatingScrollView>(new DelegatingScrollView(frame));
}

} // namespace morvix
