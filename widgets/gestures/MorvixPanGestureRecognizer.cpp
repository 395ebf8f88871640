#include "widgets/gestures/MorvixPanGestureRecognizer.h"

namespace morvix {

std::shared_ptr<MorvixPanGestureRecognizer> MorvixPanGestureRecognizer::create()
{
    return std::shared_ptr<MorvixPanGestureRecognizer>(new MorvixPanGestureRecognizer());
}

MorvixPanGestureRecognizer::MorvixPanGestureRecognizer()
    : PanGestureRecognizer({})
{
}

} // namespace morvix
