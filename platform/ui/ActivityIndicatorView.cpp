#include "platform/ui/ActivityIndicatorView.h"

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/GraphicsContext.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace morvix::platform {

namespace {

constexpr int kSpokes = 12;

} // namespace

std::shared_ptr<ActivityIndicatorView> ActivityIndicatorView::create(const Rect& frame)
{
    auto view = std::shared_ptr<ActivityIndicatorView>(new ActivityIndicatorView(frame));
    view->setHidden(true);
    return view;
}

ActivityIndicatorView::ActivityIndicatorView(const Rect& frame)
    : View(frame)
{
}

void ActivityIndicatorView::startAnimating()
{
    assertOnMainThread();
    if (m_animating)
        return;
    m_animating = true;
    setHidden(false);
    setNeedsDisplay();
}

void ActivityIndicatorView::stopAnimating()
{
    assertOnMainThread();
    if (!m_animating)
        return;
    m_animating = false;
    setHidden(true);
}

void ActivityIndicatorView::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    Rect box = bounds();
    double radius = std::min(box.width(), box.height()) / 2;
    if (radius <= 0)
        return;
    Point center { box.midX(), box.midY() };
    context.setLineWidth(radius / 5);
    context.setLineCap(LineCap::Round);
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        double angle = 2 * std::numbers::pi * spoke / kSpokes - std::numbers::pi / 2;
        double dx = std::cos(angle);
        double dy = std::sin(angle);
        // The leading spoke is darkest; the others fade behind it.
        float shade = 0.25f + 0.6f * static_cast<float>(spoke) / kSpokes;
        context.setStrokeColor(Color::fromRGBA(shade, shade, shade));
        context.beginPath();
        context.moveTo({ center.x + dx * radius * 0.45, center.y + dy * radius * 0.45 });
        context.lineTo({ center.x + dx * radius * 0.9, center.y + dy * radius * 0.9 });
        context.strokePath();
    }
}

} // namespace morvix::platform
