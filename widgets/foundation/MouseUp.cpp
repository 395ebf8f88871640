#include "widgets/foundation/MouseUp.h"

#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/gestures/SwipeGestureRecognizer.h"

namespace morvix {

std::shared_ptr<MouseUp> MouseUp::create(Action action)
{
    return std::shared_ptr<MouseUp>(new MouseUp(std::move(action)));
}

bool MouseUp::canBePreventedBy(const platform::GestureRecognizer& other) const
{
    return dynamic_cast<const platform::PanGestureRecognizer*>(&other) || dynamic_cast<const platform::SwipeGestureRecognizer*>(&other);
}

} // namespace morvix
