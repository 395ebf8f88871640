#pragma once
// The long-press recogniser of remote gestures.

#include "platform/ui/gestures/LongPressGestureRecognizer.h"
#include "widgets/gestures/MorvixGestureRecognizer.h"

#include <memory>

namespace morvix {

/// The platform's long-press recogniser, marked as a remote gesture's; it adds nothing else.
/// Owned by its gesture, attached to the target widget's view. Main thread only.
class MorvixLongpressGestureRecognizer final : public platform::LongPressGestureRecognizer, public MorvixGestureRecognizer {
public:
    static std::shared_ptr<MorvixLongpressGestureRecognizer> create();
    const char* className() const override { return "MorvixLongpressGestureRecognizer"; }

private:
    MorvixLongpressGestureRecognizer();
};

} // namespace morvix
