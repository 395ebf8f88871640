#pragma once
// The pan recogniser of remote gestures.

#include "platform/ui/PanGestureRecognizer.h"
#include "widgets/gestures/MorvixGestureRecognizer.h"

#include <memory>

namespace morvix {

/// The platform's pan recogniser, marked as a remote gesture's; it adds nothing else.
/// Owned by its gesture, attached to the target widget's view. Main thread only.
class MorvixPanGestureRecognizer final : public platform::PanGestureRecognizer, public MorvixGestureRecognizer {
public:
    static std::shared_ptr<MorvixPanGestureRecognizer> create();
    const char* className() const override { return "MorvixPanGestureRecognizer"; }

private:
    MorvixPanGestureRecognizer();
};

} // namespace morvix
