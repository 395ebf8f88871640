#pragma once
// What the mouse listener reports to its control.

#include "platform/graphics/Point.h"

namespace morvix {

/// Taps, long presses and double taps reported by a control's mouse listener (and by the
/// long-press handlers of lists and trees), each at a point in the coordinates of the display's
/// root view. Every operation is required. Main thread only.
class MouseListenerDelegate {
public:
    virtual ~MouseListenerDelegate() = default;

    virtual void mouseDownDetected(platform::Point point) = 0;
    virtual void mouseUpDetected(platform::Point point) = 0;
    virtual void longMouseDownDetected(platform::Point point) = 0;
    virtual void longMouseUpDetected(platform::Point point) = 0;
    virtual void mouseDoubleClickDetected(platform::Point point) = 0;

protected:
    MouseListenerDelegate() = default;
    MouseListenerDelegate(const MouseListenerDelegate&) = default;
    MouseListenerDelegate& operator=(const MouseListenerDelegate&) = default;
};

} // namespace morvix
