#pragma once
// The base class of every widget the user can touch.

#include "platform/graphics/Rect.h"
#include "widgets/foundation/BasicWidget.h"
#include "widgets/foundation/MouseListenerDelegate.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace morvix {

class MouseListener;
class ShowTouchGestureRecognizer;

namespace platform {
class GestureRecognizer;
class LongPressGestureRecognizer;
}

/// Adds to `BasicWidget` the listener flags that "listen" switches and the generic input events:
/// raw touches ("touchstart", "touchmove", "touchend", "touchcancel"), "longpress", the
/// mouse-style events ("MouseDown", "MouseUp", "MouseDoubleClick", "MenuDetect"), the context
/// menu opened on a long press ("menu"), and "Resize". The flags of the semantic events
/// ("Selection", "DefaultSelection", "Modify", "FocusIn", "FocusOut") live here too; the widget
/// classes send those themselves.
///
/// Events go out at once (`Notification::fireEvent`), only while their flag is on; the `send…`
/// operations themselves never look at the flags. Coordinates are narrowed to 32-bit floats and
/// rounded down ("MenuDetect" truncates); "time" is the session time in milliseconds, saturated
/// to the 32-bit range.
///
/// The touch operations answer whether any touch event is listened: a control that listens
/// keeps its touches from the enclosing views; one that does not lets the nearest enclosing
/// control that listens report them in its own coordinates.
///
/// Main thread only.
class Control : public RemoteClass<Control, BasicWidget>,
                public MouseListenerDelegate,
                public ViewDelegate::SizeChanged,
                public ViewDelegate::TouchStarted,
                public ViewDelegate::TouchMoved,
                public ViewDelegate::TouchEnded {
public:
    using RemoteClass::RemoteClass;
    ~Control() override;

    static const PropertyTable& properties();
    /// `BasicWidget`'s names plus "highlightOnTouch".
    static const PropertyNames& remoteObjectProperties();
    /// The generic input events every control sends: "longpress", the mouse-style events and
    /// "Resize".
    static const WireTable& wire();
    /// The raw touch events, which only the classes whose view hands its touches to them send:
    /// those add these to their own tables.
    static std::span<const EventDeclaration* const> touchEvents();

    // ViewDelegate
    /// "Resize" with the view's frame while "Resize" is listened.
    void sizeChanged(platform::Size size) override;
    /// "touchstart" while listened; answers `hasTouchListener`.
    bool touchStarted(const platform::TouchSet& touches) override;
    /// "touchmove" while listened; answers `hasTouchListener`.
    bool touchMoved(const platform::TouchSet& touches) override;
    /// Lifted or cancelled touches: "touchend" when all lie inside the view's bounds (an empty
    /// set does), else "touchcancel", each only while listened; nothing while neither is.
    /// Answers `hasTouchListener`.
    bool touchEnded(const platform::TouchSet& touches) override;

    // MouseListenerDelegate
    void mouseDownDetected(platform::Point point) override;
    void mouseUpDetected(platform::Point point) override;
    /// In this order: opens the context menu, sends "MouseDown" with button 3, sends
    /// "MenuDetect"; each step only when it applies.
    void longMouseDownDetected(platform::Point point) override;
    void longMouseUpDetected(platform::Point point) override;
    void mouseDoubleClickDetected(platform::Point point) override;

    /// Stores "data", then switches the touch highlight when "showTouch" is true or false.
    void setData(std::optional<platform::Value> data) override;

    /// True when any raw touch event is listened.
    bool hasTouchListener() const;
    /// True when every touch lies inside the view's bounds (half-open); true for none.
    bool isInsideControl(const platform::TouchSet& touches) const;
    /// True when `view` is NOT this control's own view: a touch on a child's view is not a touch
    /// on the control.
    virtual bool consistsOfView(const platform::View* view) const;

    // Sending, without looking at the flags.
    virtual void sendResizeEvent(const platform::Rect& rect);
    void sendTouchEvent(const EventDeclaration& event, const platform::TouchSet& touches);
    void sendMouseDownEvent(platform::Point point);
    void sendMouseUpEvent(platform::Point point);
    void sendLongMouseDownEvent(platform::Point point);
    void sendLongMouseUpEvent(platform::Point point);
    void sendMouseDoubleClickEvent(platform::Point point);
    void sendMenuDetectEvent(platform::Point point);

    /// The view of the session's root object (the display); null while there is none, and
    /// locations are then taken in window coordinates.
    std::shared_ptr<platform::View> displayView() const;
    /// The session time in milliseconds, computed in 64 bits and saturated to the 32-bit range.
    std::int32_t sessionTime() const;

    // Context menu.
    const std::string& menu() const { return m_menu; }
    void setMenu(std::optional<std::string> menu);
    bool hasContextMenu() const { return !m_menu.empty(); }
    /// Opens the menu "menu" names at `point`, when that is an enabled `ContextMenu`.
    void openContextMenu(platform::Point point);

    // Listener flags with side effects.
    bool longpressListener() const { return m_longpressListener; }
    /// Attaches the long-press recogniser when switched on, detaches it when switched off.
    void setLongpressListener(bool listen);
    const std::shared_ptr<platform::LongPressGestureRecognizer>& longpressRecognizer() const { return m_longpressRecognizer; }
    bool mouseDownListener() const { return m_mouseDownListener; }
    void setMouseDownListener(bool listen);
    bool mouseUpListener() const { return m_mouseUpListener; }
    void setMouseUpListener(bool listen);
    bool mouseDoubleClickListener() const { return m_mouseDoubleClickListener; }
    void setMouseDoubleClickListener(bool listen);
    bool menuDetectListener() const { return m_menuDetectListener; }
    void setMenuDetectListener(bool listen);
    bool highlightOnTouch() const { return m_highlightOnTouch; }
    /// Switched on, replaces any touch-feedback recogniser on the view by a new one; switched
    /// off, removes it.
    void setHighlightOnTouch(bool highlight);
    /// Made when a mouse event or "MenuDetect" is first listened or a menu is first set, then
    /// kept for the life of the control; null before.
    const std::shared_ptr<MouseListener>& mouseListener() const { return m_mouseListener; }
    /// Present while `highlightOnTouch` is on.
    const std::shared_ptr<ShowTouchGestureRecognizer>& showTouchGestureRecognizer() const { return m_showTouchGestureRecognizer; }

    bool resizeListener() const { return m_resizeListener; }
    bool touchstartListener() const { return m_touchstartListener; }
    bool touchmoveListener() const { return m_touchmoveListener; }
    bool touchendListener() const { return m_touchendListener; }
    bool touchcancelListener() const { return m_touchcancelListener; }

protected:
    bool m_focusInListener = false;
    bool m_focusOutListener = false;
    bool m_selectionListener = false;
    bool m_defaultSelectionListener = false;
    bool m_modifyListener = false;
    bool m_resizeListener = false;
    bool m_touchstartListener = false;
    bool m_touchmoveListener = false;
    bool m_touchendListener = false;
    bool m_touchcancelListener = false;

private:
    void longpressDetected(platform::GestureRecognizer& recognizer);
    void sendMouseEvent(const EventDeclaration& event, int button, platform::Point point);
    void fire(const EventDeclaration& event, platform::Value attributes);
    void mouseListenerNeeded();
    void removeShowTouchGestureRecognizer();

    bool m_longpressListener = false;
    bool m_mouseDownListener = false;
    bool m_mouseUpListener = false;
    bool m_mouseDoubleClickListener = false;
    bool m_menuDetectListener = false;
    bool m_highlightOnTouch = false;
    std::string m_menu;
    std::shared_ptr<platform::LongPressGestureRecognizer> m_longpressRecognizer;
    std::shared_ptr<MouseListener> m_mouseListener;
    std::shared_ptr<ShowTouchGestureRecognizer> m_showTouchGestureRecognizer;
};

} // namespace morvix
