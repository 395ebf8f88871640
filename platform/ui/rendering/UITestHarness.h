#pragma once
// A ready-made screen, window and manual clock for tests of views and widgets.

#include "platform/foundation/Clock.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/graphics/Size.h"
#include "platform/ui/Forward.h"
#include "platform/ui/gestures/TouchDriver.h"

#include <memory>
#include <string>

namespace morvix::platform {

/// Sets up what a view test needs and tears it down again: a manual clock installed as the
/// process clock, a fresh main loop, animator and application, the main screen at the given
/// size and scale (also written to the device facts, in portrait), and a key, visible window
/// over it with a touch driver. The destructor resets them all (the device facts included) and
/// restores the steady clock. One at a time; main thread only.
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
    /// Turns the device to `orientation` (Unknown: from portrait to landscape left, or from
    /// landscape back to portrait), in this order (after posting the application's
    /// will-change-status-bar-orientation notification, for a turn between interface orientations):
    ///  1. each window's root controller hears `willRotateToInterfaceOrientation`;
    ///  2. the screen's and the window's width and height are swapped when the new orientation
    ///     is of the other kind (portrait or landscape), the status bar's frame and orientation
    ///     and the device facts (`DeviceInfo`: orientation, screen size) follow, the roots hear
    ///     `willAnimateRotationToInterfaceOrientation`, and the window is laid out;
    ///  3. the roots hear `didRotateFromInterfaceOrientation` with the old orientation.
    ///     A root passes each call on to its children and presented controller
    ///     (`ViewController::deliverWillRotate` and its siblings) unless it forwards them itself;
    ///  4. the orientation notification is posted (once).
    /// Face up and face down change only the device's orientation and post the notification.
    void rotate(DeviceOrientation orientation = DeviceOrientation::Unknown);

private:
    std::shared_ptr<ManualClock> m_clock;
    std::shared_ptr<Window> m_window;
    TouchDriver m_touches;
};

} // namespace morvix::platform
