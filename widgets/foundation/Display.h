#pragma once
// The root widget: the device screen.

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Point.h"
#include "platform/graphics/Rect.h"
#include "platform/ui/AlertView.h"
#include "widgets/foundation/AbstractComposite.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class CancelKeyboardRecognizer;
class CursorLocationGestureRecognizer;

namespace platform {
class Event;
class ViewController;
}

/// "zub.widgets.Display": the composite that stands for the device screen. The session's first
/// response creates it; every top-level widget (a `Shell` above all) hangs under it, and its
/// view is the session's root view, so it is always shown.
///
/// What it reports, each through its own message builder:
///  1. When registered: "bounds" [0, 0, w, h] (truncated), "colorDepth" 24 and "dpi" [163, 163]
///     scheduled together; then every service object synchronises, in the registry's order;
///     then the head key "zub_initialize" is scheduled.
///  2. On an orientation notification that changed the size: the device service sends its
///     orientation, "bounds" is scheduled, "Resize" {"bounds": …} goes out at once (whatever
///     "Resize" listens to), and the keyboard is dismissed. An unchanged size does nothing.
///  3. Every touch on the window stores "cursorLocation" [x, y] (rounded) to ride with the next
///     request; it never causes one.
///  4. 0.3 s after each focus change, "focusControl" and "activeControl" with the id of the
///     control that got the focus (the Display's own id for none). A later focus move does not
///     cancel an earlier report; `destroy` cancels every pending one.
///
/// Calls: "reload" (an alert "Restart Session" whose "OK" loads the session again), "beep"
/// (system sound 1306), and "probe" and "measureStrings", which do nothing.
///
/// Without a root view controller the Display's `view` and `screen` are both the session's root
/// view, it keeps the active text field itself, and a modal presentation is refused and logged.
///
/// A Display takes no parent: its view is the session's root view, which no other view may hold.
/// A "parent" other than null raises "Incorrect Parameter", in a create before the Display
/// exists, so that the refused one never touches the root view or the window.
///
/// Main thread only.
class Display : public RemoteClass<Display, AbstractComposite>, public platform::AlertViewDelegate {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Display";
    /// The id under which the device service is looked up (never created).
    static constexpr std::string_view kDeviceServiceId = "morvix.Device";
    static constexpr int kColorDepth = 24;
    static constexpr int kDpi = 163;
    /// Seconds between a focus change and its report.
    static constexpr double kFocusReportDelay = 0.3;
    static constexpr unsigned kBeepSound = 1306;

    Display(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Display() override;

    /// Constructs the Display, unless `properties` names a parent (see the class comment).
    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client);
    static const PropertyTable& properties();
    /// "Resize", the screen's properties and the focus reports.
    static const WireTable& wire();
    /// The focus reports, which a text widget also makes when its editing ends.
    static const ReportDeclaration kFocusControlReport;
    static const ReportDeclaration kActiveControlReport;

    /// The session's root view (a view always exists while the session has one).
    std::shared_ptr<platform::View> view() const override;
    /// The view top-level widgets are placed on: while the session's application frame is
    /// active, the superview of the root controller's view (the page stack with its bars);
    /// otherwise, or while that view has no superview, `view`.
    std::shared_ptr<platform::View> screen() const;
    /// `view`'s bounds size, less the top content inset when `view` is a scroll view.
    platform::Size size() const;
    /// The origin of `view`'s bounds converted into `screen`.
    platform::Point displayOffset() const;
    /// The smaller side of the application's status-bar frame.
    static double statusBarHeight();

    // RemoteObject
    /// Null only; any other parent raises "Incorrect Parameter".
    void setParent(std::shared_ptr<RemoteObject> parent) override;
    /// Reports the screen, synchronises the services and schedules "zub_initialize".
    void registered() override;
    /// Takes both recognisers off the window, stops observing, cancels pending focus reports,
    /// then the base's destroy.
    void destroy() override;

    // Focus.
    const std::optional<std::string>& focusControl() const { return m_focusControl; }
    /// Stores the id (nothing: the Display itself), sets or clears the active text field and
    /// enables the cancel-keyboard recogniser only for a text widget; schedules the report of
    /// a control 0.3 s later. An unknown id reports nothing.
    void setFocusControl(std::optional<std::string> id);
    /// The view of the text widget that has the focus, or null. With the application frame on,
    /// the frame's root controller keeps it.
    std::shared_ptr<platform::View> activeTextField() const;
    void setActiveTextField(std::shared_ptr<platform::View> field);
    /// With an active text field: it resigns, the field is cleared, the focus goes to the
    /// Display and editing ends on the field. Nothing otherwise. With the application frame on,
    /// the frame's root controller does this.
    void dismissFocus();

    const std::optional<std::string>& currentTheme() const { return m_currentTheme; }
    void setCurrentTheme(std::optional<std::string> theme) { m_currentTheme = std::move(theme); }
    platform::Size lastScreenSize() const { return m_lastScreenSize; }
    platform::Point cursorLocation() const { return m_cursorLocation; }

    const std::shared_ptr<CursorLocationGestureRecognizer>& cursorLocationRecognizer() const { return m_cursorLocationRecognizer; }
    const std::shared_ptr<CancelKeyboardRecognizer>& cancelKeyboardRecognizer() const { return m_cancelKeyboardRecognizer; }

    /// The session's root controller presents `controller`, without completion; a session
    /// without one (no application frame) refuses and logs.
    void presentModalViewController(const std::shared_ptr<platform::ViewController>& controller, bool animated = true);

    // Recogniser actions and notifications.
    /// Records the first touch's location in `view` and stores "cursorLocation".
    void cursorLocationChanged(const platform::Event& event);
    void cancelKeyboardRecognized();
    /// Handles an orientation notification (see the class comment).
    void rotated();

    // AlertViewDelegate
    /// "OK" of the restart alert: loads the session again.
    void clickedButtonAtIndex(platform::AlertView& alert, int index) override;

protected:
    void didConstruct() override;

private:
    void reloadSession(const platform::Value* properties);
    void beep(const platform::Value* properties);
    void scheduleDisplayProperties();
    void synchronizeServiceObjects();
    void sendScreenSize(const platform::Value& bounds);
    void focusOnControl(const std::string& id, platform::MainLoop::TimerId report);
    [[noreturn]] static void refuseParent(const std::string& id, const platform::Value& parent);
    platform::Value boundsValue() const;

    std::optional<std::string> m_focusControl;
    std::optional<std::string> m_currentTheme;
    platform::Size m_lastScreenSize;
    platform::Point m_cursorLocation;
    std::shared_ptr<platform::View> m_view;
    std::shared_ptr<platform::View> m_activeTextField;
    std::shared_ptr<CursorLocationGestureRecognizer> m_cursorLocationRecognizer;
    std::shared_ptr<CancelKeyboardRecognizer> m_cancelKeyboardRecognizer;
    std::weak_ptr<platform::Window> m_window;
    platform::ObserverToken m_orientationObserver;
    // The delayed focus reports not yet run, so that `destroy` can cancel them.
    std::vector<platform::MainLoop::TimerId> m_focusReports;
    std::shared_ptr<platform::AlertView> m_restartAlert;
};

} // namespace morvix
