#pragma once
// Recognises a finger held still for a while.

#include "platform/foundation/Timer.h"
#include "platform/ui/GestureRecognizer.h"

namespace morvix::platform {

/// Begins once the required fingers have been held for `minimumPressDuration` (a clock timer)
/// without moving more than `allowableMovement`, after `numberOfTapsRequired` quick taps; then
/// reports changed on every move and ends when the fingers lift. Main thread only.
class LongPressGestureRecognizer : public GestureRecognizer {
public:
    static std::shared_ptr<LongPressGestureRecognizer> create(Action action = {});
    const char* className() const override { return "LongPressGestureRecognizer"; }

    double minimumPressDuration() const { return m_minimumDuration; }
    void setMinimumPressDuration(double seconds) { m_minimumDuration = seconds < 0 ? 0 : seconds; }
    double allowableMovement() const { return m_allowableMovement; }
    void setAllowableMovement(double points) { m_allowableMovement = points; }
    int numberOfTapsRequired() const { return m_tapsRequired; }
    void setNumberOfTapsRequired(int taps) { m_tapsRequired = taps < 0 ? 0 : taps; }
    int numberOfTouchesRequired() const { return m_touchesRequired; }
    void setNumberOfTouchesRequired(int touches) { m_touchesRequired = touches < 1 ? 1 : touches; }

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    void reset() override;

protected:
    explicit LongPressGestureRecognizer(Action action) : GestureRecognizer(std::move(action)) { }

private:
    void fail();
    double m_minimumDuration;
    double m_allowableMovement;
    int m_tapsRequired = 0;
    int m_touchesRequired = 1;
    int m_taps = 0;
    Point m_start;
    Timer m_timer;
};

} // namespace morvix::platform
