#include "platform/ui/gestures/LongPressGestureRecognizer.h"

#include "platform/ui/GestureConstants.h"
#include "platform/ui/TimeInterval.h"
#include "platform/ui/Touch.h"

#include <cmath>

namespace morvix::platform {

std::shared_ptr<LongPressGestureRecognizer> LongPressGestureRecognizer::create(Action action)
{
    auto recognizer = std::shared_ptr<LongPressGestureRecognizer>(new LongPressGestureRecognizer(std::move(action)));
    recognizer->m_minimumDuration = GestureConstants::kLongPressMinimumDuration;
    recognizer->m_allowableMovement = GestureConstants::kLongPressAllowableMovement;
    return recognizer;
}

void LongPressGestureRecognizer::fail()
{
    m_timer.stop();
    if (state() == GestureState::Possible)
        setState(GestureState::Failed);
}

void LongPressGestureRecognizer::touchesBegan(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesBegan(touches, event);
    if (state() != GestureState::Possible)
        return;
    if (trackedTouches().size() > static_cast<std::size_t>(m_touchesRequired)) {
        fail();
        return;
    }
    m_start = locationIn(nullptr);
    if (trackedTouches().size() != static_cast<std::size_t>(m_touchesRequired))
        return;
    if (m_taps < m_tapsRequired) {
        // A tap before the press: it must lift within the multi-tap interval.
        m_timer.start(durationFromSeconds(GestureConstants::kMultiTapInterval), Repeat::No, [this] { fail(); });
        return;
    }
    m_timer.start(durationFromSeconds(m_minimumDuration), Repeat::No, [this] {
        if (state() == GestureState::Possible)
            setState(GestureState::Began);
    });
}

void LongPressGestureRecognizer::touchesMoved(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesMoved(touches, event);
    if (state() == GestureState::Possible) {
        Point now = locationIn(nullptr);
        if (std::hypot(now.x - m_start.x, now.y - m_start.y) > m_allowableMovement)
            fail();
        return;
    }
    if (isActive())
        setState(GestureState::Changed);
}

void LongPressGestureRecognizer::touchesEnded(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesEnded(touches, event);
    if (isActive()) {
        if (trackedTouches().empty())
            setState(GestureState::Ended);
        return;
    }
    if (state() != GestureState::Possible || !trackedTouches().empty())
        return;
    if (m_taps < m_tapsRequired && m_timer.isActive()) {
        ++m_taps;
        m_timer.start(durationFromSeconds(GestureConstants::kMultiTapInterval), Repeat::No, [this] { fail(); });
        return;
    }
    fail();
}

void LongPressGestureRecognizer::touchesCancelled(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesCancelled(touches, event);
    if (isActive())
        setState(GestureState::Cancelled);
    else
        fail();
}

void LongPressGestureRecognizer::reset()
{
    GestureRecognizer::reset();
    m_timer.stop();
    m_taps = 0;
}

} // namespace morvix::platform
