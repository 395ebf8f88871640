#include "widgets/foundation/MouseListener.h"

#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/gestures/LongPressGestureRecognizer.h"
#include "widgets/foundation/Control.h"
#include "widgets/foundation/MouseDown.h"
#include "widgets/foundation/MouseListenerDelegate.h"
#include "widgets/foundation/MouseUp.h"

#include <cmath>

namespace morvix {

using platform::GestureRecognizer;
using platform::GestureState;
using platform::Point;

std::shared_ptr<MouseListener> MouseListener::create(const std::shared_ptr<Control>& control)
{
    auto listener = std::shared_ptr<MouseListener>(new MouseListener(control));
    if (auto view = control ? control->view() : nullptr)
        listener->initializeGestureRecognizers(*view);
    return listener;
}

void MouseListener::initializeGestureRecognizers(platform::View& view)
{
    auto doubleClick = platform::TapGestureRecognizer::create();
    doubleClick->setNumberOfTapsRequired(kDoubleClickTaps);
    install(view, doubleClick, &MouseListener::mouseDoubleClick);
    install(view, MouseDown::create(), &MouseListener::mouseDown);
    auto up = MouseUp::create();
    install(view, up, &MouseListener::mouseUp);
    auto longPress = platform::LongPressGestureRecognizer::create();
    install(view, longPress, &MouseListener::handleLongPress);
    up->requireToFail(longPress);
}

void MouseListener::install(platform::View& view, const std::shared_ptr<GestureRecognizer>& recognizer,
    void (MouseListener::*handler)(GestureRecognizer&))
{
    std::weak_ptr<MouseListener> weak = weak_from_this();
    recognizer->addTarget(weak, [weak, handler](GestureRecognizer& recognizer) {
        if (auto self = weak.lock())
            ((*self).*handler)(recognizer);
    });
    recognizer->setDelegate(weak);
    recognizer->setCancelsTouchesInView(false);
    view.addGestureRecognizer(recognizer);
}

bool MouseListener::shouldReceiveTouch(GestureRecognizer& recognizer, const platform::Touch& touch)
{
    auto view = touch.view();
    return view && view == recognizer.view();
}

void MouseListener::mouseDown(GestureRecognizer& recognizer) { notify(recognizer, Kind::MouseDown); }

void MouseListener::mouseUp(GestureRecognizer& recognizer) { notify(recognizer, Kind::MouseUp); }

void MouseListener::mouseDoubleClick(GestureRecognizer& recognizer) { notify(recognizer, Kind::DoubleClick); }

void MouseListener::handleLongPress(GestureRecognizer& recognizer)
{
    if (recognizer.state() == GestureState::Began)
        notify(recognizer, Kind::LongMouseDown);
    else if (recognizer.state() == GestureState::Ended)
        notify(recognizer, Kind::LongMouseUp);
}

void MouseListener::notify(GestureRecognizer& recognizer, Kind kind)
{
    auto delegate = this->delegate();
    if (!delegate)
        return;
    auto point = computeTouchPoint(recognizer, kind);
    if (!point)
        return;
    switch (kind) {
    case Kind::MouseUp:
        delegate->mouseUpDetected(*point);
        return;
    case Kind::MouseDown:
        delegate->mouseDownDetected(*point);
        return;
    case Kind::LongMouseDown:
        delegate->longMouseDownDetected(*point);
        return;
    case Kind::LongMouseUp:
        delegate->longMouseUpDetected(*point);
        return;
    case Kind::DoubleClick:
        delegate->mouseDoubleClickDetected(*point);
        return;
    }
}

std::optional<Point> MouseListener::computeTouchPoint(const GestureRecognizer& recognizer, Kind kind) const
{
    auto control = this->control();
    auto view = control ? control->view() : nullptr;
    if (!view)
        return std::nullopt;
    auto display = control->displayView();
    Point root = recognizer.locationIn(display.get());
    Point local = recognizer.locationIn(view.get());
    switch (kind) {
    case Kind::MouseDown:
    case Kind::LongMouseDown:
    case Kind::DoubleClick: {
        // Only a finger on the control's own view counts, not one on a child widget's.
        auto touched = view->hitTest(local);
        if (control->consistsOfView(touched.get()))
            return std::nullopt;
        return root;
    }
    case Kind::MouseUp:
    case Kind::LongMouseUp:
        return computeExtendedTouchArea(local, root);
    }
    return std::nullopt;
}

std::optional<Point> MouseListener::computeExtendedTouchArea(Point local, Point root) const
{
    auto control = this->control();
    auto view = control ? control->view() : nullptr;
    if (!view)
        return std::nullopt;
    Point delta = deltaForTap(local, view->bounds().size);
    if (std::fabs(delta.x) > kReleaseMargin || std::fabs(delta.y) > kReleaseMargin)
        return std::nullopt; // lifted too far away
    return root + delta;
}

Point MouseListener::deltaForTap(Point point, platform::Size size)
{
    auto axis = [](double value, double length) {
        if (value < 0)
            return -value;
        if (value > length)
            return length - value;
        return 0.0;
    };
    return { axis(point.x, size.width), axis(point.y, size.height) };
}

} // namespace morvix
