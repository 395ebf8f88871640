#include "widgets/gestures/MorvixLongpressGestureRecognizer.h"

namespace morvix {

std::shared_ptr<MorvixLongpressGestureRecognizer> MorvixLongpressGestureRecognizer::create()
{
    return std::shared_ptr<MorvixLongpressGestureRecognizer>(new MorvixLongpressGestureRecognizer());
}

MorvixLongpressGestureRecognizer::MorvixLongpressGestureRecognizer()
    : LongPressGestureRecognizer({})
{
}

} // namespace morvix
