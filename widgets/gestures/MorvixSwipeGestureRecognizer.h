#pragma once
// The swipe recogniser of remote gestures.

#include "platform/ui/gestures/SwipeGestureRecognizer.h"
#include "widgets/gestures/MorvixGestureRecognizer.h"

#include <memory>

namespace morvix {

/// The platform's swipe recogniser, marked as a remote gesture's; it adds nothing else.
/// Owned by its gesture, attached to the target widget's view. Main thread only.
class MorvixSwipeGestureRecognizer final : public platform::SwipeGestureRecognizer, public MorvixGestureRecognizer {
public:
    static std::shared_ptr<MorvixSwipeGestureRecognizer> create();
    const char* className() const override { return "MorvixSwipeGestureRecognizer"; }

private:
    MorvixSwipeGestureRecognizer();
};

} // namespace morvix
