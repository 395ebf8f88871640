#include "platform/ui/gestures/SwipeGestureRecognizer.h"

#include "platform/ui/Event.h"
#include "platform/ui/GestureConstants.h"

#include <cmath>

namespace morvix::platform {

std::shared_ptr<SwipeGestureRecognizer> SwipeGestureRecognizer::create(Action action)
{
    return std::shared_ptr<SwipeGestureRecognizer>(new SwipeGestureRecognizer(std::move(action)));
}

void SwipeGestureRecognizer::touchesBegan(const TouchSet& touches, const Event& event)
{
    bool first = trackedTouches().empty();
    GestureRecognizer::touchesBegan(touches, event);
    if (state() != GestureState::Possible)
        return;
    if (trackedTouches().size() > static_cast<std::size_t>(m_touchesRequired)) {
        setState(GestureState::Failed);
        return;
    }
    m_start = locationIn(nullptr);
    if (first)
        m_startTime = event.timestamp();
}

void SwipeGestureRecognizer::touchesMoved(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesMoved(touches, event);
    if (state() != GestureState::Possible)
        return;
    if (event.timestamp() - m_startTime > GestureConstants::kSwipeMaximumDuration) {
        setState(GestureState::Failed);
        return;
    }
    if (trackedTouches().size() != static_cast<std::size_t>(m_touchesRequired))
        return;
    Point moved = locationIn(nullptr) - m_start;
    struct Candidate {
        unsigned direction;
        double along;
        double across;
    };
    const Candidate candidates[] = {
        { SwipeRight, moved.x, moved.y },
        { SwipeLeft, -moved.x, moved.y },
        { SwipeDown, moved.y, moved.x },
        { SwipeUp, -moved.y, moved.x },
    };
    for (const auto& candidate : candidates) {
        if (!(m_direction & candidate.direction) || candidate.along < GestureConstants::kSwipeMinimumDistance)
            continue;
        if (std::fabs(candidate.across) <= candidate.along * GestureConstants::kSwipeMaximumDeviation) {
            setState(kGestureRecognized);
            return;
        }
    }
}

void SwipeGestureRecognizer::touchesEnded(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesEnded(touches, event);
    if (state() == GestureState::Possible && trackedTouches().empty())
        setState(GestureState::Failed);
}

void SwipeGestureRecognizer::touchesCancelled(const TouchSet& touches, const Event& event)
{
    GestureRecognizer::touchesCancelled(touches, event);
    if (state() == GestureState::Possible)
        setState(GestureState::Failed);
}

} // namespace morvix::platform
