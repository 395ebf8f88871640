#include "shell/progress/POBarProgressView.h"

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/GraphicsContext.h"

#include <algorithm>

namespace morvix {

using namespace platform;

namespace {

constexpr double kInset = 2;
constexpr double kLineWidth = 2;

} // namespace

std::shared_ptr<POBarProgressView> POBarProgressView::create(const Rect& frame)
{
    Rect initial = frame.isEmpty() ? Rect(0, 0, kDefaultWidth, kDefaultHeight) : frame;
    return std::shared_ptr<POBarProgressView>(new POBarProgressView(initial));
}

POBarProgressView::POBarProgressView(const Rect& frame)
    : View(frame)
{
    setOpaque(false);
    setBackgroundColor(std::nullopt);
}

void POBarProgressView::setProgress(float progress)
{
    assertOnMainThread();
    m_progress = progress;
    setNeedsDisplay();
}

void POBarProgressView::setLineColor(Color color)
{
    assertOnMainThread();
    m_lineColor = color;
    setNeedsDisplay();
}

void POBarProgressView::setProgressRemainingColor(Color color)
{
    assertOnMainThread();
    m_progressRemainingColor = color;
    setNeedsDisplay();
}

void POBarProgressView::setProgressColor(Color color)
{
    assertOnMainThread();
    m_progressColor = color;
    setNeedsDisplay();
}

void POBarProgressView::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    Rect outline = bounds().insetBy(kInset, kInset);
    if (outline.isEmpty())
        return;
    Path bar = Path::roundedRect(outline, outline.height() / 2);
    context.save();
    context.setLineWidth(kLineWidth);
    context.setFillColor(m_progressRemainingColor);
    context.beginPath();
    context.addPath(bar);
    context.fillPath();
    context.setStrokeColor(m_lineColor);
    context.beginPath();
    context.addPath(bar);
    context.strokePath();

    Rect inside = outline.insetBy(kInset, kInset);
    double progress = std::clamp(static_cast<double>(m_progress), 0.0, 1.0);
    double width = inside.width() * progress;
    if (width > 0 && inside.height() > 0) {
        Rect filled { inside.x(), inside.y(), width, inside.height() };
        context.setFillColor(m_progressColor);
        context.beginPath();
        context.addPath(Path::roundedRect(filled, std::min(filled.height(), filled.width()) / 2));
        context.fillPath();
    }
    context.restore();
}

} // namespace morvix
