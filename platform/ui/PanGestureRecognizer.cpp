#include "platform/ui/PanGestureRecognizer.h"

#include "platform/ui/Event.h"
#include "platform/ui/GestureConstants.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

#include <cmath>

namespace morvix::platform {

std::shared_ptr<PanGestureRecognizer> PanGestureRecognizer::create(Action action)
{
    return std::shared_ptr<PanGestureRecognizer>(new PanGestureRecognizer(std::move(action)));
}

Point PanGestureRecognizer::directionIn(Point vector, const View* view) const
{
    if (!view)
        return vector;
    auto window = view->window();
    Point zero = view->convertPointFrom({ 0, 0 }, window.get());
    Point end = view->convertPointFrom(vector, window.get());
    return end - zero;
}

Point PanGestureRecognizer::translationIn(const View* view) const
{
    if (m_driven)
        return directionIn(m_drivenTranslation, view);
    return directionIn(locationIn(nullptr) - m_origin + m_offset, view);
}

void PanGestureRecognizer::setTranslation(Point translation, const View* view)
{
    Point inWindow = translation;
    if (view) {
        auto window = view->window();
        inWindow = view->convertPointTo(translation, window.get()) - view->convertPointTo({ 0, 0 }, window.get());
    }
    if (m_driven) {
        m_drivenTranslation = inWindow;
        return;
    }
    m_origin = locationIn(nullptr);
    m_offset = inWindow;
}

Point PanGestureRecognizer::velocityIn(const View* view) const
{
    if (m_driven)
        return directionIn(m_drivenVelocity, view);
    if (m_samples.size() < 2)
        return {};
    const Sample& first = m_samples.front();
    const Sample& last = m_samples.back();
    double elapsed = last.time - first.time;
    if (elapsed <= 0)
        return {};
    return directionIn({ (last.location.x - first.location.x) / elapsed, (last.location.y - first.location.y) / elapsed }, view);
}

void PanGestureRecognizer::driveValues(Point translation, Point velocity)
{
    m_driven = true;
    m_drivenTranslation = translation;
    m_drivenVelocity = velocity;
}

void PanGestureRecognizer::addSample(double time)
{
    // Keep the newest sample at or before the window's start as the first one, so that the
    // velocity spans the whole window. Timestamps are seconds since the clock's epoch, so a
    // difference that is exactly the window in clock ticks can come out a hair below it in
    // floating point; the tolerance (far below a clock tick that matters) counts it as inside.
    constexpr double kTolerance = 1e-9;
    m_samples.push_back({ time, locationIn(nullptr) });
    while (m_samples.size() > 2 && time - m_samples[1].time >= GestureConstants::kPanVelocityWindow - kTolerance)
        m_samples.pop_front();
}

void PanGestureRecognizer::touchesBegan(const TouchSet& touches, const Event& event)
{
    Point before = locationIn(nullptr);
    bool first = trackedTouches().empty();
    GestureRecognizer::touchesBegan(touches, event);
    int count = static_cast<int>(trackedTouches().size());
    if (count > m_maximumTouches && state() == GestureState::Possible) {
        setState(GestureState::Failed);
        return;
    }
    // Keep the translation steady when fingers join: the centroid jumps, the origin follows.
    m_origin = first ? locationIn(nullptr) : m_origin + (locationIn(nullptr) - before);
    m_samples.clear();
    addSample(event.timestamp());
}

void PanGestureRecognizer::touchesMoved(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesMoved(touches, event);
    addSample(event.timestamp());
    if (state() == GestureState::Possible) {
        int count = static_cast<int>(trackedTouches().size());
        Point moved = locationIn(nullptr) - m_origin;
        if (count >= m_minimumTouches && count <= m_maximumTouches && std::hypot(moved.x, moved.y) > GestureConstants::kPanHysteresis)
            setState(GestureState::Began);
        return;
    }
    if (isActive())
        setState(GestureState::Changed);
}

void PanGestureRecognizer::touchesEnded(const TouchSet& touches, const Event& event)
{
    Point before = locationIn(nullptr);
    GestureRecognizer::touchesEnded(touches, event);
    if (trackedTouches().empty()) {
        if (isActive())
            setState(GestureState::Ended);
        else if (state() == GestureState::Possible)
            setState(GestureState::Failed);
        return;
    }
    m_origin = m_origin + (locationIn(nullptr) - before);
}

void PanGestureRecognizer::touchesCancelled(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesCancelled(touches, event);
    if (isActive())
        setState(GestureState::Cancelled);
    else if (state() == GestureState::Possible)
        setState(GestureState::Failed);
}

void PanGestureRecognizer::reset()
{
    GestureRecognizer::reset();
    m_samples.clear();
    m_offset = {};
    m_driven = false;
}

} // namespace morvix::platform
