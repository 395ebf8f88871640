#include "platform/ui/gestures/TapGestureRecognizer.h"

#include "platform/ui/GestureConstants.h"
#include "platform/ui/Touch.h"

#include <chrono>
#include <cmath>

namespace morvix::platform {

namespace {

Duration interval()
{
    return std::chrono::round<Duration>(std::chrono::duration<double>(GestureConstants::kMultiTapInterval));
}

double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

} // namespace

std::shared_ptr<TapGestureRecognizer> TapGestureRecognizer::create(Action action)
{
    return std::shared_ptr<TapGestureRecognizer>(new TapGestureRecognizer(std::move(action)));
}

void TapGestureRecognizer::fail()
{
    m_timer.stop();
    m_failedTap = true;
    if (state() == GestureState::Possible)
        tapFailed();
}

void TapGestureRecognizer::touchesBegan(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesBegan(touches, event);
    if (state() != GestureState::Possible || m_failedTap)
        return;
    if (trackedTouches().size() == touches.size())
        m_starts.clear(); // a new tap starts
    for (const auto& touch : touches)
        m_starts.push_back(touch->windowLocation());
    m_fingersThisTap = std::max(m_fingersThisTap, trackedTouches().size());
    if (m_fingersThisTap > static_cast<std::size_t>(m_touchesRequired)) {
        fail();
        return;
    }
    // The finger must lift again within the interval.
    m_timer.start(interval(), Repeat::No, [this] { fail(); });
}

void TapGestureRecognizer::touchesMoved(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesMoved(touches, event);
    if (m_failedTap)
        return;
    for (const auto& touch : touches) {
        bool near = false;
        for (const auto& start : m_starts)
            near = near || distance(start, touch->windowLocation()) <= GestureConstants::kTapAllowableMovement;
        if (!near) {
            fail();
            return;
        }
    }
}

void TapGestureRecognizer::touchesEnded(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesEnded(touches, event);
    if (state() != GestureState::Possible || !trackedTouches().empty())
        return;
    if (m_failedTap) {
        tapFailed(); // a subclass that waited for the lift fails now
        return;
    }
    if (m_fingersThisTap != static_cast<std::size_t>(m_touchesRequired)) {
        fail();
        return;
    }
    m_fingersThisTap = 0;
    if (++m_taps >= m_tapsRequired) {
        m_timer.stop();
        setState(kGestureRecognized);
        return;
    }
    // Wait for the next tap.
    m_timer.start(interval(), Repeat::No, [this] { fail(); });
}

void TapGestureRecognizer::touchesCancelled(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesCancelled(touches, event);
    fail();
}

void TapGestureRecognizer::reset()
{
    GestureRecognizer::reset();
    m_timer.stop();
    m_failedTap = false;
    m_taps = 0;
    m_fingersThisTap = 0;
    m_starts.clear();
}

} // namespace morvix::platform
