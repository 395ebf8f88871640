#pragma once
// A spinning wheel that says work is going on.

#include "platform/ui/View.h"

#include <memory>

namespace morvix::platform {

/// Spins while animating and is hidden while stopped (it starts stopped, so hidden). The
/// headless platform draws the wheel as twelve spokes fading round the circle; it does not turn
/// them. The natural size is 20 by 20 points. Main thread only.
class ActivityIndicatorView : public View {
public:
    static constexpr double kSize = 20;

    static std::shared_ptr<ActivityIndicatorView> create(const Rect& frame = {});
    const char* className() const override { return "ActivityIndicatorView"; }

    /// Shows the view and starts the wheel; does nothing when already animating.
    void startAnimating();
    /// Stops the wheel and hides the view; does nothing when already stopped.
    void stopAnimating();
    bool isAnimating() const { return m_animating; }

    Size intrinsicContentSize() const override { return { kSize, kSize }; }
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit ActivityIndicatorView(const Rect& frame);

private:
    bool m_animating = false;
};

} // namespace morvix::platform
