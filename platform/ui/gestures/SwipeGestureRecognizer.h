#pragma once
// Recognises a quick stroke in a direction.

#include "platform/ui/GestureRecognizer.h"

namespace morvix::platform {

/// Swipe directions by the platform's bits.
enum SwipeDirection : unsigned { SwipeRight = 1, SwipeLeft = 2, SwipeUp = 4, SwipeDown = 8 };

/// Recognises (discretely) when the required fingers travel at least `kSwipeMinimumDistance`
/// in one of the allowed directions within `kSwipeMaximumDuration` of touching down, without
/// straying across the direction by more than `kSwipeMaximumDeviation` of the travel. Main
/// thread only.
class SwipeGestureRecognizer : public GestureRecognizer {
public:
    static std::shared_ptr<SwipeGestureRecognizer> create(Action action = {});
    const char* className() const override { return "SwipeGestureRecognizer"; }

    unsigned direction() const { return m_direction; }
    void setDirection(unsigned direction) { m_direction = direction; }
    int numberOfTouchesRequired() const { return m_touchesRequired; }
    void setNumberOfTouchesRequired(int touches) { m_touchesRequired = touches < 1 ? 1 : touches; }

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

protected:
    explicit SwipeGestureRecognizer(Action action) : GestureRecognizer(std::move(action)) { }

private:
    unsigned m_direction = SwipeRight;
    int m_touchesRequired = 1;
    Point m_start;
    double m_startTime = 0;
};

} // namespace morvix::platform
