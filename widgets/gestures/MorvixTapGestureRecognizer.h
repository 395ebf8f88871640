#pragma once
// The tap recogniser of remote gestures.

#include "platform/ui/gestures/TapGestureRecognizer.h"
#include "widgets/gestures/MorvixGestureRecognizer.h"

#include <memory>

namespace morvix {

/// The platform's tap recogniser, marked as a remote gesture's; it adds nothing else.
/// Owned by its gesture, attached to the target widget's view. Main thread only.
class MorvixTapGestureRecognizer final : public platform::TapGestureRecognizer, public MorvixGestureRecognizer {
public:
    static std::shared_ptr<MorvixTapGestureRecognizer> create();
    const char* className() const override { return "MorvixTapGestureRecognizer"; }

private:
    MorvixTapGestureRecognizer();
};

} // namespace morvix
