#include "platform/ui/controls/ActivityIndicatorView.h"

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/GraphicsContext.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace morvix::platform {

namespace {

constexpr int kSpokes = 12;

} // namespace

std::shared_ptr<ActivityIndicatorView> ActivityIndicatorView::create(const Rect& frame, ActivityIndicatorStyle style)
{
    auto view = std::shared_ptr<ActivityIndicatorView>(new ActivityIndicatorView(frame, style));
    view->setHidden(true);
    return view;
}

ActivityIndicatorView::ActivityIndicatorView(const Rect& frame, ActivityIndicatorStyle style)
    : View(frame)
    , m_style(style)
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
    if (m_hidesWhenStopped)
        setHidden(true);
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides)
{
    assertOnMainThread();
    m_hidesWhenStopped = hides;
    if (!m_animating)
        setHidden(hides);
}

void ActivityIndicatorView::setStyle(ActivityIndicatorStyle style)
{
    m_style = style;
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void ActivityIndicatorView::setColor(std::optional<Color> color)
{
    m_color = color;
    setNeedsDisplay();
}

Size ActivityIndicatorView::intrinsicContentSize() const
{
    double side = m_style == ActivityIndicatorStyle::WhiteLarge ? kLargeSize : kSize;
    return { side, side };
}

void ActivityIndicatorView::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    Rect box = bounds();
    double radius = std::min(box.width(), box.height()) / 2;
    if (radius <= 0)
        return;
    Point center { box.midX(), box.midY() };
    Color color = m_color.value_or(m_style == ActivityIndicatorStyle::Gray ? Color::fromRGBA(0.25f, 0.25f, 0.25f) : Color::white());
    context.setLineWidth(radius / 5);
    context.setLineCap(LineCap::Round);
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        double angle = 2 * std::numbers::pi * spoke / kSpokes - std::numbers::pi / 2;
        double dx = std::cos(angle);
        double dy = std::sin(angle);
        // The leading spoke is strongest; the others fade behind it.
        float strength = 1.0f - 0.75f * static_cast<float>(spoke) / kSpokes;
        context.setStrokeColor(color.withAlpha(color.alpha * strength));
        context.beginPath();
        context.moveTo({ center.x + dx * radius * 0.45, center.y + dy * radius * 0.45 });
        context.lineTo({ center.x + dx * radius * 0.9, center.y + dy * radius * 0.9 });
        context.strokePath();
    }
}

} // namespace morvix::platform
