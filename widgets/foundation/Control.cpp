#include "widgets/foundation/Control.h"

#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/gestures/LongPressGestureRecognizer.h"
#include "widgets/foundation/ContextMenu.h"
#include "widgets/foundation/MouseListener.h"
#include "widgets/foundation/ShowTouchGestureRecognizer.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace morvix {

using platform::Point;
using platform::Value;

namespace {

constexpr double kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr double kInt32Max = std::numeric_limits<std::int32_t>::max();

// Coordinates on the wire are whole numbers. Values beyond the 32-bit range (or not numbers at
// all) are clamped first, so that no conversion below is undefined.
double clampToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    return std::fmax(kInt32Min, std::fmin(kInt32Max, value));
}

// Narrowed to a 32-bit float, then rounded towards minus infinity: -0.5 gives -1.
std::int64_t flooredCoordinate(double value)
{
    return static_cast<std::int64_t>(std::floor(static_cast<float>(clampToInt32(value))));
}

// Cut towards zero, as "MenuDetect" reports its point.
std::int64_t truncatedCoordinate(double value)
{
    return static_cast<std::int64_t>(std::trunc(clampToInt32(value)));
}

constexpr std::string_view kTouchAttributes = R"({"touches": [{"x": number, "y": number, "pageX": number, "pageY": number}], "time": number})";
constexpr EventDeclaration kTouchStartEvent {
    .listen = "touchstart",
    .name = "touchstart",
    .attributes = kTouchAttributes,
    .note = "when fingers touch the control, or a view inside it that does not take touches itself; \"x\", \"y\" in "
            "the control, \"pageX\", \"pageY\" in the display, rounded down; \"time\" is milliseconds since the "
            "session was loaded",
};
constexpr EventDeclaration kTouchMoveEvent {
    .listen = "touchmove",
    .name = "touchmove",
    .attributes = kTouchAttributes,
    .note = "when touching fingers move",
};
constexpr EventDeclaration kTouchEndEvent {
    .listen = "touchend",
    .name = "touchend",
    .attributes = kTouchAttributes,
    .note = "when the fingers lift (or the system cancels them) inside the control's bounds",
};
constexpr EventDeclaration kTouchCancelEvent {
    .listen = "touchcancel",
    .name = "touchcancel",
    .attributes = kTouchAttributes,
    .note = "when the fingers lift with one of them outside the control's bounds",
};
constexpr EventDeclaration kLongpressEvent {
    .listen = "longpress",
    .name = "longpress",
    .attributes = R"({"touches": [{"x": number, "y": number}], "time": number})",
    .note = "once per long press, when it is recognised",
};
constexpr EventDeclaration kMouseDownEvent {
    .listen = "MouseDown",
    .name = "MouseDown",
    .attributes = R"({"button": number, "x": number, "y": number, "time": number})",
    .note = "on a tap (\"button\" 1) or when a long press begins (\"button\" 3) on the control's own view, not on a "
            "view inside it; \"x\", \"y\" in the display",
};
constexpr EventDeclaration kMouseUpEvent {
    .listen = "MouseUp",
    .name = "MouseUp",
    .attributes = R"({"button": number, "x": number, "y": number, "time": number})",
    .note = "at the end of a tap (\"button\" 1) or of a long press (\"button\" 3)",
};
constexpr EventDeclaration kMouseDoubleClickEvent {
    .listen = "MouseDoubleClick",
    .name = "MouseDoubleClick",
    .attributes = R"({"button": number, "x": number, "y": number, "time": number})",
    .note = "on a double tap (\"button\" 1)",
};
constexpr EventDeclaration kMenuDetectEvent {
    .listen = "MenuDetect",
    .name = "MenuDetect",
    .attributes = R"({"x": number, "y": number})",
    .note = "when a long press begins, after the context menu (\"menu\") has opened; \"x\", \"y\" in the display",
};
constexpr EventDeclaration kResizeEvent {
    .listen = "Resize",
    .name = "Resize",
    .attributes = R"({"bounds": [x, y, width, height]})",
    .note = "when the control's size changes (not when it only moves), with its frame rounded down",
};

} // namespace

Control::~Control()
{
    if (m_mouseListener)
        m_mouseListener->setDelegate({});
}

const PropertyTable& Control::properties()
{
    static const PropertyTable table = PropertyTable::extend<Control>(BasicWidget::properties())
                                           .flag("focusInListener", &Control::m_focusInListener)
                                           .flag("focusOutListener", &Control::m_focusOutListener)
                                           .flag("selectionListener", &Control::m_selectionListener)
                                           .flag("defaultSelectionListener", &Control::m_defaultSelectionListener)
                                           .flag("modifyListener", &Control::m_modifyListener)
                                           .flag("resizeListener", &Control::m_resizeListener)
                                           .flag("touchstartListener", &Control::m_touchstartListener)
                                           .flag("touchmoveListener", &Control::m_touchmoveListener)
                                           .flag("touchendListener", &Control::m_touchendListener)
                                           .flag("touchcancelListener", &Control::m_touchcancelListener)
                                           .boolean("longpressListener", &Control::setLongpressListener, &Control::longpressListener)
                                           .boolean("mouseDownListener", &Control::setMouseDownListener, &Control::mouseDownListener)
                                           .boolean("mouseUpListener", &Control::setMouseUpListener, &Control::mouseUpListener)
                                           .boolean("mouseDoubleClickListener", &Control::setMouseDoubleClickListener,
                                               &Control::mouseDoubleClickListener)
                                           .boolean("menuDetectListener", &Control::setMenuDetectListener, &Control::menuDetectListener)
                                           .boolean("highlightOnTouch", &Control::setHighlightOnTouch, &Control::highlightOnTouch)
                                           .string("menu", &Control::setMenu);
    return table;
}

const WireTable& Control::wire()
{
    static const WireTable table = WireTable::extend(BasicWidget::wire())
                                       .event(kLongpressEvent)
                                       .event(kMouseDownEvent)
                                       .event(kMouseUpEvent)
                                       .event(kMouseDoubleClickEvent)
                                       .event(kMenuDetectEvent)
                                       .event(kResizeEvent);
    return table;
}

std::span<const EventDeclaration* const> Control::touchEvents()
{
    static const EventDeclaration* const events[] = { &kTouchStartEvent, &kTouchMoveEvent, &kTouchEndEvent, &kTouchCancelEvent };
    return events;
}

const PropertyNames& Control::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicWidget::remoteObjectProperties(), { "highlightOnTouch" });
    return names;
}

// MARK: Sending

void Control::fire(const EventDeclaration& event, Value attributes)
{
    if (auto notification = notificationForObject())
        notification->fire(event, std::move(attributes));
}

std::int32_t Control::sessionTime() const
{
    auto client = this->client();
    double milliseconds = (client ? client->timeInSession() : 0) * 1000;
    // Truncated in 64 bits, then held to the 32-bit range: a session older than about 24.8
    // days reports the largest time instead of an undefined conversion.
    auto wide = static_cast<std::int64_t>(std::trunc(clampToInt32(milliseconds)));
    return static_cast<std::int32_t>(wide);
}

std::shared_ptr<platform::View> Control::displayView() const
{
    auto client = this->client();
    auto root = client ? client->rootObject() : nullptr;
    auto* widget = dynamic_cast<Widget*>(root.get());
    return widget ? widget->view() : nullptr;
}

void Control::sendMouseDownEvent(Point point)
{
    sendMouseEvent(kMouseDownEvent, 1, point);
}

void Control::sendMouseUpEvent(Point point)
{
    sendMouseEvent(kMouseUpEvent, 1, point);
}

void Control::sendLongMouseDownEvent(Point point)
{
    sendMouseEvent(kMouseDownEvent, 3, point);
}

void Control::sendLongMouseUpEvent(Point point)
{
    sendMouseEvent(kMouseUpEvent, 3, point);
}

void Control::sendMouseDoubleClickEvent(Point point)
{
    sendMouseEvent(kMouseDoubleClickEvent, 1, point);
}

void Control::sendTouchEvent(const EventDeclaration& event, const platform::TouchSet& touches)
{
    auto display = displayView();
    auto view = this->view();
    Value list = Value::array();
    for (const auto& touch : touches) {
        Point local = touch->locationIn(view.get());
        Point page = touch->locationIn(display.get());
        Value entry = Value::object();
        entry["x"] = flooredCoordinate(local.x);
        entry["y"] = flooredCoordinate(local.y);
        entry["pageX"] = flooredCoordinate(page.x);
        entry["pageY"] = flooredCoordinate(page.y);
        list.push_back(std::move(entry));
    }
    Value attributes = Value::object();
    attributes["touches"] = std::move(list);
    attributes["time"] = sessionTime();
    fire(event, std::move(attributes));
}

void Control::sendMouseEvent(const EventDeclaration& event, int button, Point point)
{
    Value attributes = Value::object();
    attributes["button"] = button;
    attributes["x"] = flooredCoordinate(point.x);
    attributes["y"] = flooredCoordinate(point.y);
    attributes["time"] = sessionTime();
    fire(event, std::move(attributes));
}

void Control::sendMenuDetectEvent(Point point)
{
    Value attributes = Value::object();
    attributes["x"] = truncatedCoordinate(point.x);
    attributes["y"] = truncatedCoordinate(point.y);
    fire(kMenuDetectEvent, std::move(attributes));
}

void Control::sendResizeEvent(const platform::Rect& rect)
{
    Value bounds = Value::array({ flooredCoordinate(rect.x()), flooredCoordinate(rect.y()), flooredCoordinate(rect.width()),
        flooredCoordinate(rect.height()) });
    Value attributes = Value::object();
    attributes["bounds"] = std::move(bounds);
    fire(kResizeEvent, std::move(attributes));
}

// MARK: View delegate

void Control::sizeChanged(platform::Size)
{
    if (m_resizeListener)
        sendResizeEvent(bounds());
}

bool Control::hasTouchListener() const
{
    return m_touchstartListener || m_touchmoveListener || m_touchendListener || m_touchcancelListener;
}

bool Control::isInsideControl(const platform::TouchSet& touches) const
{
    auto view = this->view();
    if (!view)
        return touches.empty();
    auto bounds = view->bounds();
    for (const auto& touch : touches) {
        Point point = touch->locationIn(view.get());
        bool inside = point.x >= bounds.x() && point.x < bounds.x() + bounds.width() && point.y >= bounds.y()
            && point.y < bounds.y() + bounds.height();
        if (!inside)
            return false;
    }
    return true;
}

bool Control::touchStarted(const platform::TouchSet& touches)
{
    if (m_touchstartListener)
        sendTouchEvent(kTouchStartEvent, touches);
    return hasTouchListener();
}

bool Control::touchMoved(const platform::TouchSet& touches)
{
    if (m_touchmoveListener)
        sendTouchEvent(kTouchMoveEvent, touches);
    return hasTouchListener();
}

bool Control::touchEnded(const platform::TouchSet& touches)
{
    if (!m_touchendListener && !m_touchcancelListener)
        return hasTouchListener();
    if (isInsideControl(touches)) {
        if (m_touchendListener)
            sendTouchEvent(kTouchEndEvent, touches);
    } else if (m_touchcancelListener) {
        sendTouchEvent(kTouchCancelEvent, touches);
    }
    return hasTouchListener();
}

bool Control::consistsOfView(const platform::View* view) const
{
    return view != this->view().get();
}

// MARK: Long press

void Control::setLongpressListener(bool listen)
{
    m_longpressListener = listen;
    auto view = this->view();
    if (listen && !m_longpressRecognizer) {
        std::weak_ptr<BasicObject> weak = weak_from_this();
        m_longpressRecognizer = platform::LongPressGestureRecognizer::create([weak](platform::GestureRecognizer& recognizer) {
            if (auto self = std::static_pointer_cast<Control>(weak.lock()))
                self->longpressDetected(recognizer);
        });
        m_longpressRecognizer->setCancelsTouchesInView(false);
        if (view)
            view->addGestureRecognizer(m_longpressRecognizer);
    } else if (!listen && m_longpressRecognizer) {
        if (view)
            view->removeGestureRecognizer(m_longpressRecognizer);
        m_longpressRecognizer.reset();
    }
}

void Control::longpressDetected(platform::GestureRecognizer& recognizer)
{
    if (!m_longpressListener || recognizer.state() != platform::GestureState::Began)
        return;
    auto view = this->view();
    Point location = recognizer.locationIn(view.get());
    Value touch = Value::object();
    touch["x"] = flooredCoordinate(location.x);
    touch["y"] = flooredCoordinate(location.y);
    Value attributes = Value::object();
    attributes["touches"] = Value::array({ std::move(touch) });
    attributes["time"] = sessionTime();
    fire(kLongpressEvent, std::move(attributes));
}

// MARK: Mouse listener

void Control::mouseListenerNeeded()
{
    if (m_mouseListener)
        return;
    auto self = std::static_pointer_cast<Control>(shared_from_this());
    m_mouseListener = MouseListener::create(self);
    m_mouseListener->setDelegate(std::static_pointer_cast<MouseListenerDelegate>(self));
}

void Control::setMouseDownListener(bool listen)
{
    m_mouseDownListener = listen;
    if (listen)
        mouseListenerNeeded();
}

void Control::setMouseUpListener(bool listen)
{
    m_mouseUpListener = listen;
    if (listen)
        mouseListenerNeeded();
}

void Control::setMouseDoubleClickListener(bool listen)
{
    m_mouseDoubleClickListener = listen;
    if (listen)
        mouseListenerNeeded();
}

void Control::setMenuDetectListener(bool listen)
{
    m_menuDetectListener = listen;
    if (listen)
        mouseListenerNeeded();
}

void Control::setMenu(std::optional<std::string> menu)
{
    m_menu = menu.value_or(std::string());
    if (hasContextMenu())
        mouseListenerNeeded();
}

void Control::mouseDownDetected(Point point)
{
    if (m_mouseDownListener)
        sendMouseDownEvent(point);
}

void Control::mouseUpDetected(Point point)
{
    if (m_mouseUpListener)
        sendMouseUpEvent(point);
}

void Control::mouseDoubleClickDetected(Point point)
{
    if (m_mouseDoubleClickListener)
        sendMouseDoubleClickEvent(point);
}

void Control::longMouseDownDetected(Point point)
{
    if (hasContextMenu())
        openContextMenu(point);
    if (m_mouseDownListener)
        sendLongMouseDownEvent(point);
    if (m_menuDetectListener)
        sendMenuDetectEvent(point);
}

void Control::longMouseUpDetected(Point point)
{
    if (m_mouseUpListener)
        sendLongMouseUpEvent(point);
}

void Control::openContextMenu(Point point)
{
    auto client = this->client();
    auto object = client ? client->objectById(m_menu) : nullptr;
    // Only a menu opens: any other object named here would be asked for what it does not have.
    auto* menu = dynamic_cast<ContextMenu*>(object.get());
    if (!menu || !menu->enabled())
        return;
    Value location = Value::object();
    location["x"] = static_cast<float>(point.x);
    location["y"] = static_cast<float>(point.y);
    menu->displayAt(location);
    menu->showMenu();
}

// MARK: Touch highlight

void Control::setData(std::optional<Value> data)
{
    RemoteClass::setData(std::move(data));
    if (dataForKey("showTouch", Value(true)))
        setHighlightOnTouch(true);
    else if (dataForKey("showTouch", Value(false)))
        setHighlightOnTouch(false);
}

void Control::setHighlightOnTouch(bool highlight)
{
    m_highlightOnTouch = highlight;
    removeShowTouchGestureRecognizer();
    if (!highlight)
        return;
    m_showTouchGestureRecognizer = ShowTouchGestureRecognizer::create(std::static_pointer_cast<BasicWidget>(shared_from_this()));
    if (auto view = this->view())
        view->addGestureRecognizer(m_showTouchGestureRecognizer);
}

void Control::removeShowTouchGestureRecognizer()
{
    if (!m_showTouchGestureRecognizer)
        return;
    if (auto view = this->view())
        view->removeGestureRecognizer(m_showTouchGestureRecognizer);
    m_showTouchGestureRecognizer.reset();
}

} // namespace morvix
