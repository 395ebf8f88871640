#include "widgets/gestures/MorvixSwipeGestureRecognizer.h"

namespace morvix {

std::shared_ptr<MorvixSwipeGestureRecognizer> MorvixSwipeGestureRecognizer::create()
{
    return std::shared_ptr<MorvixSwipeGestureRecognizer>(new MorvixSwipeGestureRecognizer());
}

MorvixSwipeGestureRecognizer::MorvixSwipeGestureRecognizer()
    : SwipeGestureRecognizer({})
{
}

} // namespace morvix
