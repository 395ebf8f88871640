#include "platform/ui/controls/ProgressView.h"

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/GraphicsContext.h"

#include <algorithm>
#include <cmath>

namespace morvix::platform {

namespace {

const Color kFilledTrack = Color::fromRGBA(0.0f, 0.478f, 1.0f);
const Color kEmptyTrack = Color::fromRGBA(0.72f, 0.72f, 0.72f);

} // namespace

std::shared_ptr<ProgressView> ProgressView::create(const Rect& frame)
{
    return std::shared_ptr<ProgressView>(new ProgressView(frame));
}

ProgressView::ProgressView(const Rect& frame)
    : View(frame)
{
}

void ProgressView::setProgress(float progress, Animated animated)
{
    (void)animated;
    assertOnMainThread();
    float clamped = std::isnan(progress) ? 0.0f : std::clamp(progress, 0.0f, 1.0f);
    if (clamped == m_progress)
        return;
    m_progress = clamped;
    setNeedsDisplay();
}

void ProgressView::setProgressTintColor(std::optional<Color> color)
{
    m_progressTint = color;
    setNeedsDisplay();
}

void ProgressView::setTrackTintColor(std::optional<Color> color)
{
    m_trackTint = color;
    setNeedsDisplay();
}

void ProgressView::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    Rect box = bounds();
    double filled = box.width() * m_progress;
    context.setFillColor(m_progressTint.value_or(kFilledTrack));
    context.fillRect({ box.x(), box.y(), filled, box.height() });
    context.setFillColor(m_trackTint.value_or(kEmptyTrack));
    context.fillRect({ box.x() + filled, box.y(), box.width() - filled, box.height() });
}

} // namespace morvix::platform
