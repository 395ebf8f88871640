#include "widgets/gestures/MorvixTapGestureRecognizer.h"

namespace morvix {

std::shared_ptr<MorvixTapGestureRecognizer> MorvixTapGestureRecognizer::create()
{
    return std::shared_ptr<MorvixTapGestureRecognizer>(new MorvixTapGestureRecognizer());
}

MorvixTapGestureRecognizer::MorvixTapGestureRecognizer()
    : TapGestureRecognizer({})
{
}

} // namespace morvix
