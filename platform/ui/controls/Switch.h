#pragma once
// An on/off control.

#include "platform/ui/Control.h"

#include <memory>
#include <optional>

namespace morvix::platform {

/// A two-state control of the platform's size, 51 by 31 points: its natural size, the size it is
/// made with and the size that fits (a frame of another size set later is kept). A tap (a touch lifted inside) flips it and sends `ValueChanged`;
/// `setOn` from code sends nothing. Drawn as a rounded track with a round thumb at the left
/// (off) or right (on); the track is in the on tint while on and in the view's tint colour while
/// off, each defaulting to the platform's colour. Main thread only.
class Switch : public Control {
public:
    static constexpr Size kSize { 51, 31 };

    static std::shared_ptr<Switch> create(const Rect& frame = {});
    const char* className() const override { return "Switch"; }

    bool isOn() const { return m_on; }
    void setOn(bool on, Animated animated = Animated::No);
    std::optional<Color> onTintColor() const { return m_onTint; }
    void setOnTintColor(std::optional<Color> color);
    std::optional<Color> thumbTintColor() const { return m_thumbTint; }
    void setThumbTintColor(std::optional<Color> color);

    Size intrinsicContentSize() const override { return kSize; }
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit Switch(const Rect& frame);
    void endedTracking(const Touch& touch, bool inside) override;

private:
    bool m_on = false;
    std::optional<Color> m_onTint;
    std::optional<Color> m_thumbTint;
};

} // namespace morvix::platform
