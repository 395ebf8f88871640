#include "widgets/foundation/MouseDown.h"

namespace morvix {

std::shared_ptr<MouseDown> MouseDown::create(Action action)
{
    return std::shared_ptr<MouseDown>(new MouseDown(std::move(action)));
}

void MouseDown::touchesBegan(const platform::TouchSet& touches, const platform::Event& event)
{
    GestureRecognizer::touchesBegan(touches, event);
    if (state() == platform::GestureState::Possible) // a second finger of the same press is no new press
        setState(platform::kGestureRecognized);
}

} // namespace morvix
