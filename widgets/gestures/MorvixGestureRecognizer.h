#pragma once
// The mark of recognisers that belong to remote gestures.

namespace morvix {

/// Adopted beside a platform recogniser by the recognisers of remote gestures, and by nothing
/// else: a gesture tells its peers apart with `dynamic_cast<const MorvixGestureRecognizer*>`.
/// No operations.
class MorvixGestureRecognizer {
public:
    virtual ~MorvixGestureRecognizer() = default;

protected:
    MorvixGestureRecognizer() = default;
    MorvixGestureRecognizer(const MorvixGestureRecognizer&) = default;
    MorvixGestureRecognizer& operator=(const MorvixGestureRecognizer&) = default;
};

} // namespace morvix
