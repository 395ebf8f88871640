#pragma once
// Drives touches into a window as a person would (tests, demos, scripts).

#include "platform/graphics/Point.h"
#include "platform/ui/Forward.h"
#include "platform/ui/Responder.h"
#include "platform/ui/gestures/SwipeGestureRecognizer.h"

#include <cstdint>
#include <map>
#include <memory>

namespace morvix::platform {

/// Sends touches to a window at window points. Each step builds the touch event (moved or lifted
/// fingers with their phase, the others stationary), hands it to `Window::sendEvent` and runs
/// one turn of the main loop. Points are the driver's window's; a finger goes down in the
/// topmost visible window at that point of the screen (by level, then latest shown: an open
/// sheet's or popover's window over the driver's own) and stays with that window. Helpers
/// that take time (`longPress`, `drag`, `swipe`, `doubleTap`) move a manual clock forward with
/// `MainLoop::advanceBy`, so timers of recognisers fire as they would. Main thread only.
class TouchDriver final {
public:
    using Finger = std::uint64_t;

    explicit TouchDriver(std::shared_ptr<Window> window);

    Finger down(Point location);
    void move(Finger finger, Point location);
    void up(Finger finger);
    void cancel(Finger finger);

    void tap(Point location);
    void doubleTap(Point location);
    void longPress(Point location, double seconds);
    /// Down at `from`, `steps` moves spread over `seconds` to `to`, up.
    void drag(Point from, Point to, double seconds, int steps = 10);
    /// A 100-point stroke from `from` in `direction` over 0.1 s.
    void swipe(Point from, SwipeDirection direction);
    /// A tap at `localPoint` of `view` (in its bounds coordinates).
    void tapView(const View& view, Point localPoint);
    /// The window point of `localPoint` in `view`.
    Point windowPoint(const View& view, Point localPoint) const;
    /// Moves the clock on by `seconds`, firing what falls due.
    static void advance(double seconds);

private:
    void send(const std::shared_ptr<Touch>& changed);
    std::shared_ptr<Window> windowAt(Point location) const;
    Point pointIn(const Window& window, Point location) const;

    std::shared_ptr<Window> m_window;
    std::map<Finger, std::shared_ptr<Touch>> m_down;
    Finger m_next = 1;
    Point m_lastTapLocation;
    double m_lastTapTime = -1;
    int m_lastTapCount = 0;
};

} // namespace morvix::platform
