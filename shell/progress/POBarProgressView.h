#pragma once
// The overlay's bar indicator.

#include "platform/ui/View.h"

#include <memory>

namespace morvix {

/// A horizontal bar with rounded ends: an outline 2 wide in `lineColor`, inset 2 from the
/// bounds and filled with `progressRemainingColor`, and a filled part in `progressColor` a
/// further 2 inside the outline, growing from the left with `progress` (drawn clamped to 0..1).
/// The filled part is a rounded rectangle whose corner radius is half its height, shrunk to half
/// its width while it is narrower than it is high, so its ends follow the bar's rounded ends.
/// Every setter marks the view for redisplay. Not opaque, clear background, 120 x 20 by default.
/// Main thread only.
class POBarProgressView final : public platform::View {
public:
    static constexpr double kDefaultWidth = 120;
    static constexpr double kDefaultHeight = 20;

    /// An empty frame gives the default 120 x 20 one.
    static std::shared_ptr<POBarProgressView> create(const platform::Rect& frame = {});
    const char* className() const override { return "POBarProgressView"; }

    float progress() const { return m_progress; }
    void setProgress(float progress);
    const platform::Color& lineColor() const { return m_lineColor; }
    void setLineColor(platform::Color color);
    const platform::Color& progressRemainingColor() const { return m_progressRemainingColor; }
    void setProgressRemainingColor(platform::Color color);
    const platform::Color& progressColor() const { return m_progressColor; }
    void setProgressColor(platform::Color color);

    void draw(platform::GraphicsContext& context, const platform::Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

private:
    explicit POBarProgressView(const platform::Rect& frame);

    float m_progress = 0;
    platform::Color m_lineColor = platform::Color::white();
    platform::Color m_progressRemainingColor = platform::Color::clear();
    platform::Color m_progressColor = platform::Color::white();
};

} // namespace morvix
