#include "shell/progress/PORoundProgressView.h"

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/GraphicsContext.h"

#include <algorithm>
#include <numbers>

namespace morvix {

using namespace platform;

namespace {

constexpr double kTop = -std::numbers::pi / 2;

} // namespace

std::shared_ptr<PORoundProgressView> PORoundProgressView::create(const Rect& frame)
{
    Rect initial = frame.isEmpty() ? Rect(0, 0, kDefaultSize, kDefaultSize) : frame;
    return std::shared_ptr<PORoundProgressView>(new PORoundProgressView(initial));
}

PORoundProgressView::PORoundProgressView(const Rect& frame)
    : View(frame)
{
    setOpaque(false);
    setBackgroundColor(std::nullopt);
}

void PORoundProgressView::setProgress(float progress)
{
    assertOnMainThread();
    m_progress = progress;
    setNeedsDisplay();
}

void PORoundProgressView::setProgressTintColor(Color color)
{
    assertOnMainThread();
    m_progressTintColor = color;
    setNeedsDisplay();
}

void PORoundProgressView::setBackgroundTintColor(Color color)
{
    assertOnMainThread();
    m_backgroundTintColor = color;
    setNeedsDisplay();
}

void PORoundProgressView::setAnnular(bool annular)
{
    assertOnMainThread();
    m_annular = annular;
    setNeedsDisplay();
}

void PORoundProgressView::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    double progress = std::clamp(static_cast<double>(m_progress), 0.0, 1.0);
    double end = progress * 2 * std::numbers::pi + kTop;
    if (m_annular)
        drawRing(context, end);
    else
        drawPie(context, end);
}

void PORoundProgressView::drawRing(GraphicsContext& context, double end) const
{
    Rect box = bounds();
    Point center { box.width() / 2, box.height() / 2 };
    double radius = (box.width() - kLineWidth) / 2;
    context.save();
    context.setLineWidth(kLineWidth);
    context.setLineCap(LineCap::Butt);
    context.setStrokeColor(m_backgroundTintColor);
    context.beginPath();
    context.arc(center, radius, kTop, 3 * std::numbers::pi / 2, ArcDirection::IncreasingAngle);
    context.strokePath();
    // An arc of no length would still leave a square cap at the top: nothing is done yet.
    if (end > kTop) {
        context.setLineCap(LineCap::Square);
        context.setStrokeColor(m_progressTintColor);
        context.beginPath();
        context.arc(center, radius, kTop, end, ArcDirection::IncreasingAngle);
        context.strokePath();
    }
    context.restore();
}

void PORoundProgressView::drawPie(GraphicsContext& context, double end) const
{
    Rect box = bounds();
    Rect circle = box.insetBy(kLineWidth, kLineWidth);
    context.save();
    context.setLineWidth(kLineWidth);
    context.setFillColor(m_backgroundTintColor);
    context.setStrokeColor(m_progressTintColor);
    context.beginPath();
    context.addEllipse(circle);
    context.fillPath();
    context.beginPath();
    context.addEllipse(circle);
    context.strokePath();
    if (end > kTop) {
        Point center { box.width() / 2, box.height() / 2 };
        context.setFillColor(Color::white());
        context.beginPath();
        context.moveTo(center);
        context.arc(center, (box.width() - 4) / 2, kTop, end, ArcDirection::IncreasingAngle);
        context.closePath();
        context.fillPath();
    }
    context.restore();
}

} // namespace morvix
