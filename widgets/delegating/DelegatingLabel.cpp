#include "widgets/delegating/DelegatingLabel.h"

namespace morvix {

std::shared_ptr<DelegatingLabel> DelegatingLabel::create(const platform::Rect& frame)
{
    return std::shared_ptr<DelegatingLabel>(new DelegatingLabel(frame));
}

} // namespace morvix
