#include "platform/ui/gestures/TouchDriver.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Event.h"
#include "platform/ui/GestureConstants.h"
#include "platform/ui/Touch.h"
#include "platform/ui/Window.h"

#include <chrono>
#include <cmath>

namespace morvix::platform {

namespace {

double now() { return Clock::seconds(Clock::current()->now()); }

} // namespace

TouchDriver::TouchDriver(std::shared_ptr<Window> window)
    : m_window(std::move(window))
{
}

void TouchDriver::advance(double seconds)
{
    MainLoop::main().advanceBy(std::chrono::round<Duration>(std::chrono::duration<double>(seconds)));
}

void TouchDriver::send(const std::shared_ptr<Touch>& changed)
{
    // The event goes to the window the changed finger came down in, with that window's fingers.
    auto window = changed->window();
    if (!window)
        return;
    TouchSet touches;
    for (const auto& [finger, touch] : m_down) {
        if (touch->window() != window)
            continue;
        if (touch != changed)
            touch->setPhase(TouchPhase::Stationary);
        touches.push_back(touch);
    }
    if (std::find(touches.begin(), touches.end(), changed) == touches.end())
        touches.push_back(changed);
    Event event(touches, now());
    window->sendEvent(event);
    MainLoop::main().runOnce();
}

std::shared_ptr<Window> TouchDriver::windowAt(Point location) const
{
    Point screen { location.x + m_window->frame().x(), location.y + m_window->frame().y() };
    auto windows = Application::shared().visibleWindowsInLevelOrder();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if ((*it)->frame().contains(screen))
            return *it;
    }
    return m_window;
}

Point TouchDriver::pointIn(const Window& window, Point location) const
{
    return { location.x + m_window->frame().x() - window.frame().x(), location.y + m_window->frame().y() - window.frame().y() };
}

TouchDriver::Finger TouchDriver::down(Point location)
{
    Finger finger = m_next++;
    double time = now();
    auto window = windowAt(location);
    auto touch = Touch::create(finger, window, pointIn(*window, location), time);
    bool again = m_lastTapTime >= 0 && time - m_lastTapTime <= GestureConstants::kMultiTapInterval
        && std::hypot(location.x - m_lastTapLocation.x, location.y - m_lastTapLocation.y) <= GestureConstants::kTapAllowableMovement;
    touch->setTapCount(again ? m_lastTapCount + 1 : 1);
    touch->setPhase(TouchPhase::Began);
    m_down[finger] = touch;
    send(touch);
    return finger;
}

void TouchDriver::move(Finger finger, Point location)
{
    auto found = m_down.find(finger);
    if (found == m_down.end())
        return;
    auto window = found->second->window();
    found->second->moveTo(window ? pointIn(*window, location) : location, now());
    found->second->setPhase(TouchPhase::Moved);
    send(found->second);
}

void TouchDriver::up(Finger finger)
{
    auto found = m_down.find(finger);
    if (found == m_down.end())
        return;
    auto touch = found->second;
    touch->moveTo(touch->windowLocation(), now());
    touch->setPhase(TouchPhase::Ended);
    m_down.erase(found);
    m_lastTapLocation = touch->windowLocation();
    m_lastTapTime = now();
    m_lastTapCount = touch->tapCount();
    send(touch);
}

void TouchDriver::cancel(Finger finger)
{
    auto found = m_down.find(finger);
    if (found == m_down.end())
        return;
    auto touch = found->second;
    touch->setPhase(TouchPhase::Cancelled);
    m_down.erase(found);
    send(touch);
}

void TouchDriver::tap(Point location)
{
    up(down(location));
}

void TouchDriver::doubleTap(Point location)
{
    tap(location);
    advance(0.1);
    tap(location);
}

void TouchDriver::longPress(Point location, double seconds)
{
    Finger finger = down(location);
    advance(seconds);
    up(finger);
}

void TouchDriver::drag(Point from, Point to, double seconds, int steps)
{
    steps = std::max(steps, 1);
    Finger finger = down(from);
    for (int i = 1; i <= steps; ++i) {
        advance(seconds / steps);
        double t = static_cast<double>(i) / steps;
        move(finger, { from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t });
    }
    up(finger);
}

void TouchDriver::swipe(Point from, SwipeDirection direction)
{
    Point to = from;
    switch (direction) {
    case SwipeRight:
        to.x += 100;
        break;
    case SwipeLeft:
        to.x -= 100;
        break;
    case SwipeUp:
        to.y -= 100;
        break;
    case SwipeDown:
        to.y += 100;
        break;
    }
    drag(from, to, 0.1, 5);
}

Point TouchDriver::windowPoint(const View& view, Point localPoint) const
{
    auto window = view.window();
    if (!window || window == m_window)
        return view.convertPointTo(localPoint, m_window.get());
    // A view of another window (a sheet's, a popover's): through the screen.
    Point point = view.convertPointTo(localPoint, nullptr);
    return { point.x + window->frame().x() - m_window->frame().x(), point.y + window->frame().y() - m_window->frame().y() };
}

void TouchDriver::tapView(const View& view, Point localPoint)
{
    tap(windowPoint(view, localPoint));
}

} // namespace morvix::platform
