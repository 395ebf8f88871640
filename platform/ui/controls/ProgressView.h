#pragma once
// A bar that shows how far a task has come.

#include "platform/ui/View.h"

#include <memory>
#include <optional>

namespace morvix::platform {

/// Shows `progress` (0 to 1) as the filled part of a thin track. The natural height is 2
/// points; the width has no natural value. The headless platform does not animate the bar, so
/// `setProgress` with `Animated::Yes` shows the new value at once. The filled part is drawn in
/// the progress tint and the rest in the track tint; either, when null, in the platform's
/// colour. Main thread only.
class ProgressView : public View {
public:
    static constexpr double kHeight = 2;

    static std::shared_ptr<ProgressView> create(const Rect& frame = {});
    const char* className() const override { return "ProgressView"; }

    float progress() const { return m_progress; }
    /// Clamped to [0, 1]; a value that is not a number counts as 0.
    void setProgress(float progress, Animated animated = Animated::No);

    std::optional<Color> progressTintColor() const { return m_progressTint; }
    void setProgressTintColor(std::optional<Color> color);
    std::optional<Color> trackTintColor() const { return m_trackTint; }
    void setTrackTintColor(std::optional<Color> color);

    Size intrinsicContentSize() const override { return { kNoIntrinsicMetric, kHeight }; }
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit ProgressView(const Rect& frame);

private:
    float m_progress = 0;
    std::optional<Color> m_progressTint;
    std::optional<Color> m_trackTint;
};

} // namespace morvix::platform
