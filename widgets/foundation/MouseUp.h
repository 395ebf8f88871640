#pragma once
// The mouse listener's one-finger tap.

#include "platform/ui/gestures/TapGestureRecognizer.h"

#include <memory>

namespace morvix {

/// A one-tap recogniser that only pan and swipe recognisers (and their subclasses) can
/// prevent: a drag or a swipe is no click, whatever else recognises beside it. Main thread
/// only.
class MouseUp final : public platform::TapGestureRecognizer {
public:
    static std::shared_ptr<MouseUp> create(Action action = {});
    const char* className() const override { return "MouseUp"; }

    bool canBePreventedBy(const platform::GestureRecognizer& other) const override;

private:
    explicit MouseUp(Action action) : TapGestureRecognizer(std::move(action)) { }
};

} // namespace morvix
