#pragma once
// Turns touches on a control's view into mouse-style notifications.

#include "platform/graphics/Point.h"
#include "platform/graphics/Size.h"
#include "platform/ui/GestureRecognizer.h"

#include <memory>
#include <optional>

namespace morvix {

class Control;
class MouseListenerDelegate;

namespace platform {
class LongPressGestureRecognizer;
class TapGestureRecognizer;
}

/// Reports mouse down, mouse up, long mouse down, long mouse up and double click on a
/// control's view to its delegate, each at a point in the coordinates of the display's root
/// view (the session's root object; window coordinates while there is none).
///
/// Its recognisers, added to the control's view in this order, none cancelling the view's
/// touches, all recognising together with any other recogniser:
///  1. a two-tap recogniser: double click, at the second tap;
///  2. `MouseDown`: mouse down, at touch-down (so once per tap of a double tap);
///  3. `MouseUp`: mouse up, at the lift; it waits for the long press to fail, so a long press
///     gives no plain mouse up;
///  4. a long press (the view layer's default duration): long mouse down when it begins, long
///     mouse up when it ends.
///
/// Which touches count:
///  - Only touches whose view is the control's view itself; a touch on a subview (a child
///    widget) reaches none of the recognisers.
///  - Mouse down, long mouse down and double click report only while the view under the finger
///    is the control's own view (`Control::consistsOfView`).
///  - Mouse up and long mouse up report where the finger lifted, pulled back onto the nearest
///    edge of the control's bounds when it lifted outside them, and not at all when it lifted
///    more than `kReleaseMargin` points beyond an edge.
///
/// Owned by its control (which clears the delegate before dropping it); holds the control and
/// the delegate weakly, and the recognisers' actions hold it weakly. Main thread only.
class MouseListener final : public platform::GestureRecognizerDelegate, public std::enable_shared_from_this<MouseListener> {
public:
    static constexpr double kReleaseMargin = 16;
    static constexpr int kDoubleClickTaps = 2;

    /// The kinds of `computeTouchPoint`, by the numbers of the mouse-listening protocol.
    enum class Kind { MouseUp = 0, MouseDown = 1, LongMouseDown = 2, LongMouseUp = 3, DoubleClick = 4 };

    /// A listener on `control`'s view (no recogniser when it has none yet).
    static std::shared_ptr<MouseListener> create(const std::shared_ptr<Control>& control);
    MouseListener(const MouseListener&) = delete;
    MouseListener& operator=(const MouseListener&) = delete;

    std::shared_ptr<Control> control() const { return m_control.lock(); }
    std::shared_ptr<MouseListenerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<MouseListenerDelegate> delegate) { m_delegate = std::move(delegate); }

    /// Where the recogniser's touch counts for `kind`, in the display's root view; nothing
    /// when it does not count (see above).
    std::optional<platform::Point> computeTouchPoint(const platform::GestureRecognizer& recognizer, Kind kind) const;
    /// How far `point` must move to lie in (0, 0, size): per axis -x below 0, width - x above
    /// the width, else 0 (and the same for y).
    static platform::Point deltaForTap(platform::Point point, platform::Size size);

    // GestureRecognizerDelegate
    bool shouldReceiveTouch(platform::GestureRecognizer& recognizer, const platform::Touch& touch) override;
    bool shouldRecognizeSimultaneously(platform::GestureRecognizer&, platform::GestureRecognizer&) override { return true; }

private:
    explicit MouseListener(const std::shared_ptr<Control>& control) : m_control(control) { }
    void initializeGestureRecognizers(platform::View& view);
    /// Adds `recognizer` to `view` with `handler` as its action, this listener as its delegate,
    /// not cancelling the view's touches.
    void install(platform::View& view, const std::shared_ptr<platform::GestureRecognizer>& recognizer,
        void (MouseListener::*handler)(platform::GestureRecognizer&));
    void mouseDown(platform::GestureRecognizer& recognizer);
    void mouseUp(platform::GestureRecognizer& recognizer);
    void handleLongPress(platform::GestureRecognizer& recognizer);
    void mouseDoubleClick(platform::GestureRecognizer& recognizer);
    void notify(platform::GestureRecognizer& recognizer, Kind kind);
    std::optional<platform::Point> computeExtendedTouchArea(platform::Point local, platform::Point root) const;

    std::weak_ptr<Control> m_control;
    std::weak_ptr<MouseListenerDelegate> m_delegate;
};

} // namespace morvix
