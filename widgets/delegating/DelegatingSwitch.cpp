#include "widgets/delegating/DelegatingSwitch.h"

namespace morvix {

std::shared_ptr<DelegatingSwitch> DelegatingSwitch::create(const platform::Rect& frame)
{
    return std::shared_ptr<DelegatingSwitch>(new DelegatingSwitch(frame));
}

} // namespace morvix
