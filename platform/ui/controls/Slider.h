#pragma once
// A control that picks a value from a range by moving a thumb along a track.

#include "platform/ui/Control.h"

#include <memory>
#include <optional>

namespace morvix::platform {

/// A value between a minimum and a maximum (0 and 1 at first), chosen by dragging along the
/// track: a touch moves the thumb under the finger. While the finger moves, each change of the
/// value sends `ValueChanged` (only on lift when not continuous). `setValue` clamps and sends
/// nothing. The natural height is 31 points; the width has no natural value. The track left of
/// the thumb is drawn in the minimum-track tint, else the view's tint colour, else the
/// platform's blue. Main thread only.
class Slider : public Control {
public:
    static constexpr double kHeight = 31;
    /// The thumb's diameter; the track runs between the thumb's centres at either end.
    static constexpr double kThumbSize = 28;

    static std::shared_ptr<Slider> create(const Rect& frame = {});
    const char* className() const override { return "Slider"; }

    double value() const { return m_value; }
    /// Clamped to [minimum, maximum].
    void setValue(double value, Animated animated = Animated::No);
    double minimumValue() const { return m_minimum; }
    /// Raises the maximum when it falls below, and clamps the value.
    void setMinimumValue(double minimum);
    double maximumValue() const { return m_maximum; }
    void setMaximumValue(double maximum);
    bool isContinuous() const { return m_continuous; }
    void setContinuous(bool continuous) { m_continuous = continuous; }

    std::optional<Color> minimumTrackTintColor() const { return m_minimumTrackTint; }
    /// Null restores the default (the view's tint colour, else the platform's blue).
    void setMinimumTrackTintColor(std::optional<Color> color);

    /// The value under a point of the bounds' x axis.
    double valueAt(double x) const;

    Size intrinsicContentSize() const override { return { kNoIntrinsicMetric, kHeight }; }
    /// The given width (the current one for 0) and the natural height.
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit Slider(const Rect& frame);
    void beganTracking(const Touch& touch) override;
    void continuedTracking(const Touch& touch) override;
    void endedTracking(const Touch& touch, bool inside) override;

private:
    void track(const Touch& touch);

    double m_value = 0;
    double m_minimum = 0;
    double m_maximum = 1;
    bool m_continuous = true;
    bool m_changedWhileTracking = false;
    std::optional<Color> m_minimumTrackTint;
};

} // namespace morvix::platform
