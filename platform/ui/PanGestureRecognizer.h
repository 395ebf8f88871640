#pragma once
// Recognises a finger dragged across the screen.

#include "platform/foundation/Clock.h"
#include "platform/ui/GestureRecognizer.h"

#include <deque>
#include <limits>

namespace morvix::platform {

/// Begins once the fingers (between the minimum and maximum number) have moved more than
/// `kPanHysteresis` from where they went down, reports changed on every move, and ends when they
/// lift. The translation is measured from where the fingers went down (or from the point
/// `setTranslation` last set); the velocity from the samples of the last `kPanVelocityWindow`.
/// Main thread only.
class PanGestureRecognizer : public GestureRecognizer {
public:
    static std::shared_ptr<PanGestureRecognizer> create(Action action = {});
    const char* className() const override { return "PanGestureRecognizer"; }

    int minimumNumberOfTouches() const { return m_minimumTouches; }
    void setMinimumNumberOfTouches(int touches) { m_minimumTouches = touches < 1 ? 1 : touches; }
    int maximumNumberOfTouches() const { return m_maximumTouches; }
    void setMaximumNumberOfTouches(int touches) { m_maximumTouches = touches; }

    /// The movement since the start, in `view`'s coordinate directions (window for null).
    Point translationIn(const View* view) const;
    /// Makes the current translation read `translation`.
    void setTranslation(Point translation, const View* view);
    /// Points per second, in `view`'s coordinate directions (window for null).
    Point velocityIn(const View* view) const;
    /// Test drive: fixes what `translationIn` and `velocityIn` report (in window directions),
    /// for arithmetic tests that drive the state with `driveState`.
    void driveValues(Point translation, Point velocity);

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    void reset() override;

protected:
    explicit PanGestureRecognizer(Action action) : GestureRecognizer(std::move(action)) { }

private:
    struct Sample {
        double time;
        Point location;
    };
    Point directionIn(Point windowVector, const View* view) const;
    void addSample(double time);

    int m_minimumTouches = 1;
    int m_maximumTouches = std::numeric_limits<int>::max();
    Point m_origin;      // window location the translation is measured from
    Point m_offset;      // added by setTranslation
    std::deque<Sample> m_samples;
    bool m_driven = false;
    Point m_drivenTranslation;
    Point m_drivenVelocity;
};

} // namespace morvix::platform
