#pragma once
// The overlay's round determinate indicator: a pie, or a ring.

#include "platform/ui/View.h"

#include <memory>

namespace morvix {

/// Shows `progress` (0 to 1) as a white sector growing clockwise from the top inside a tinted
/// circle, or with `annular` on as an arc stroked over a faint full ring. Progress outside 0 to 1
/// is drawn clamped. Every setter marks the view for redisplay. Not opaque, clear background,
/// 37 x 37 by default. Main thread only.
class PORoundProgressView final : public platform::View {
public:
    static constexpr double kDefaultSize = 37;
    static constexpr double kLineWidth = 2;

    /// An empty frame gives the default 37 x 37 one.
    static std::shared_ptr<PORoundProgressView> create(const platform::Rect& frame = {});
    const char* className() const override { return "PORoundProgressView"; }

    float progress() const { return m_progress; }
    void setProgress(float progress);
    const platform::Color& progressTintColor() const { return m_progressTintColor; }
    void setProgressTintColor(platform::Color color);
    const platform::Color& backgroundTintColor() const { return m_backgroundTintColor; }
    void setBackgroundTintColor(platform::Color color);
    bool isAnnular() const { return m_annular; }
    void setAnnular(bool annular);

    void draw(platform::GraphicsContext& context, const platform::Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

private:
    explicit PORoundProgressView(const platform::Rect& frame);
    void drawRing(platform::GraphicsContext& context, double end) const;
    void drawPie(platform::GraphicsContext& context, double end) const;

    float m_progress = 0;
    platform::Color m_progressTintColor = platform::Color::white();
    platform::Color m_backgroundTintColor = platform::Color::fromRGBA(1, 1, 1, 0.1f);
    bool m_annular = false;
};

} // namespace morvix
