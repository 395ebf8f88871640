#include "platform/ui/Control.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/Event.h"
#include "platform/ui/Touch.h"

#include <algorithm>

namespace morvix::platform {

std::shared_ptr<Control> Control::create(const Rect& frame)
{
    return std::shared_ptr<Control>(new Control(frame));
}

void Control::setEnabled(bool enabled)
{
    assertOnMainThread();
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    if (!enabled) {
        stopTracking();
        m_highlighted = false;
    }
    setNeedsDisplay();
}

void Control::setHighlighted(bool highlighted)
{
    if (m_highlighted == highlighted)
        return;
    m_highlighted = highlighted;
    setNeedsDisplay();
}

void Control::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    setNeedsDisplay();
}

void Control::setContentHorizontalAlignment(ContentHorizontalAlignment alignment)
{
    m_horizontalAlignment = alignment;
    setNeedsLayout();
}

void Control::setContentVerticalAlignment(ContentVerticalAlignment alignment)
{
    m_verticalAlignment = alignment;
    setNeedsLayout();
}

ControlState Control::state() const
{
    ControlState bits = ControlState::Normal;
    if (!m_enabled)
        bits = bits | ControlState::Disabled;
    if (m_highlighted)
        bits = bits | ControlState::Highlighted;
    if (m_selected)
        bits = bits | ControlState::Selected;
    return bits;
}

void Control::addAction(Action action, unsigned events)
{
    assertOnMainThread();
    if (action && events)
        m_registrations.push_back({ false, {}, nullptr, std::move(action), events });
}

void Control::addTarget(const std::shared_ptr<void>& target, Action action, unsigned events)
{
    assertOnMainThread();
    if (!target) {
        addAction(std::move(action), events);
        return;
    }
    if (action && events)
        m_registrations.push_back({ true, target, target.get(), std::move(action), events });
}

void Control::removeTarget(const void* target, unsigned events)
{
    assertOnMainThread();
    for (auto& registration : m_registrations) {
        if (!target || registration.targetKey == target)
            registration.events &= ~events;
    }
    std::erase_if(m_registrations, [](const Registration& registration) { return registration.events == 0; });
}

unsigned Control::allControlEvents() const
{
    unsigned events = 0;
    for (const auto& registration : m_registrations)
        events |= registration.events;
    return events;
}

void Control::sendActionsForControlEvents(unsigned events, const Event* event)
{
    assertOnMainThread();
    std::erase_if(m_registrations, [](const Registration& registration) {
        return registration.hasTarget && registration.target.expired();
    });
    // Actions may change the registrations or drop the last owner of this control.
    auto keepAlive = shared_from_this();
    auto snapshot = m_registrations;
    for (const auto& registration : snapshot) {
        if (!(registration.events & events))
            continue;
        auto target = registration.target.lock();
        if (registration.hasTarget && !target)
            continue;
        registration.action(*this, event);
    }
}

bool Control::isTracked(const TouchSet& touches) const
{
    return m_trackingTouch && std::find(touches.begin(), touches.end(), m_trackingTouch) != touches.end();
}

bool Control::isInsideWithMargin(const Touch& touch) const
{
    return bounds().insetBy(-kTrackingMargin, -kTrackingMargin).contains(touch.locationIn(this));
}

void Control::stopTracking()
{
    m_trackingTouch.reset();
    m_touchInside = false;
}

void Control::touchesBegan(const TouchSet& touches, const Event& event)
{
    if (!m_enabled) {
        View::touchesBegan(touches, event);
        return;
    }
    if (m_trackingTouch || touches.empty())
        return;
    m_trackingTouch = touches.front();
    m_touchInside = true;
    setHighlighted(true);
    beganTracking(*m_trackingTouch);
    unsigned events = ControlEventTouchDown;
    if (m_trackingTouch->tapCount() > 1)
        events |= ControlEventTouchDownRepeat;
    sendActionsForControlEvents(events, &event);
}

void Control::touchesMoved(const TouchSet& touches, const Event& event)
{
    if (!m_enabled) {
        View::touchesMoved(touches, event);
        return;
    }
    if (!isTracked(touches))
        return;
    bool wasInside = m_touchInside;
    m_touchInside = isInsideWithMargin(*m_trackingTouch);
    setHighlighted(m_touchInside);
    continuedTracking(*m_trackingTouch);
    unsigned events = m_touchInside ? ControlEventTouchDragInside : ControlEventTouchDragOutside;
    if (m_touchInside != wasInside)
        events |= m_touchInside ? ControlEventTouchDragEnter : ControlEventTouchDragExit;
    sendActionsForControlEvents(events, &event);
}

void Control::touchesEnded(const TouchSet& touches, const Event& event)
{
    if (!m_enabled) {
        View::touchesEnded(touches, event);
        return;
    }
    if (!isTracked(touches))
        return;
    auto touch = m_trackingTouch;
    bool inside = isInsideWithMargin(*touch);
    stopTracking();
    setHighlighted(false);
    endedTracking(*touch, inside);
    sendActionsForControlEvents(inside ? ControlEventTouchUpInside : ControlEventTouchUpOutside, &event);
}

void Control::touchesCancelled(const TouchSet& touches, const Event& event)
{
    if (!m_enabled) {
        View::touchesCancelled(touches, event);
        return;
    }
    if (!isTracked(touches))
        return;
    stopTracking();
    setHighlighted(false);
    cancelledTracking();
    sendActionsForControlEvents(ControlEventTouchCancel, &event);
}

} // namespace morvix::platform
