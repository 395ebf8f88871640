#pragma once
// A ready-made screen, window and manual clock for tests of views and widgets.

#include "platform/foundation/Clock.h"
#include "platform/graphics/Size.h"
#include "platform/ui/Forward.h"
#include "platform/ui/TouchDriver.h"

#include <memory>
#include <string>

namespace morvix::platform {

/// Sets up what a view test needs and tears it down again: a manual clock installed as the
/// process clock, a fresh main loop, animator and application, the main screen at the given
/// size and scale, and a key, visible window over it with a touch driver. The destructor resets
/// them all and restores the steady clock. One at a time; main thread only.
class UITestHarness final {
public:
    static constexpr const char* kOrientationNotification = "UIDeviceOrientationDidChangeNotification";

    explicit UITestHarness(Size screen = { 320, 568 }, double scale = 2);
    ~UITestHarness();
    UITestHarness(const UITestHarness&) = delete;
    UITestHarness& operator=(const UITestHarness&) = delete;

    std::shared_ptr<Window> window() const { return m_window; }
    ManualClock& clock() { return *m_clock; }
    TouchDriver& touches() { return m_touches; }

    /// Moves the clock on, firing timers, animation completions and delayed tasks in order.
    void advance(double seconds);
    /// Runs the loop until nothing is due (layout passes included).
    void runUntilIdle();
    /// The view of the window's tree with this debug name (widget id); null when none.
    std::shared_ptr<View> find(const std::string& name) const;
    /// `dumpTree` of the window.
    std::string dump() const;
    /// Presses a button of the topmost alert that has it; false when none has.
    bool pressAlertButton(const std::string& title);
    /// Turns the device: swaps the screen's and the window's width and height, sets the status
    /// bar's frame and orientation, lays the window out and posts the orientation notification.
    void rotate();

private:
    std::shared_ptr<ManualClock> m_clock;
    std::shared_ptr<Window> m_window;
    TouchDriver m_touches;
};

} // namespace morvix::platform
