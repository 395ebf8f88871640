#include "platform/ui/controls/Switch.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Path.h"

namespace morvix::platform {

namespace {

const Color kDefaultOnTint = Color::fromRGBA(0.298f, 0.851f, 0.392f);
const Color kOffTrack = Color::fromRGBA(0.9f, 0.9f, 0.9f);
constexpr double kThumbInset = 2;

} // namespace

std::shared_ptr<Switch> Switch::create(const Rect& frame)
{
    return std::shared_ptr<Switch>(new Switch(frame));
}

Switch::Switch(const Rect& frame)
    : Control({ frame.origin, kSize })
{
    setOpaque(false);
}

void Switch::setOn(bool on, Animated animated)
{
    (void)animated; // the thumb has no separate model value to animate
    if (m_on == on)
        return;
    m_on = on;
    setNeedsDisplay();
}

void Switch::setOnTintColor(std::optional<Color> color)
{
    m_onTint = color;
    setNeedsDisplay();
}

void Switch::setThumbTintColor(std::optional<Color> color)
{
    m_thumbTint = color;
    setNeedsDisplay();
}

Size Switch::sizeThatFits(Size size) const
{
    (void)size;
    return kSize;
}

void Switch::endedTracking(const Touch& touch, bool inside)
{
    (void)touch;
    if (!inside)
        return;
    m_on = !m_on;
    setNeedsDisplay();
    sendActionsForControlEvents(ControlEventValueChanged);
}

void Switch::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    Rect track = bounds();
    double radius = track.height() / 2;
    Path trackPath = Path::roundedRect(track, radius);
    context.setFillColor(m_on ? m_onTint.value_or(kDefaultOnTint) : tintColor().value_or(kOffTrack));
    context.beginPath();
    context.addPath(trackPath);
    context.fillPath();
    double diameter = track.height() - 2 * kThumbInset;
    double x = m_on ? track.maxX() - kThumbInset - diameter : track.x() + kThumbInset;
    context.setFillColor(m_thumbTint.value_or(Color::white()));
    context.beginPath();
    context.addEllipse({ x, track.y() + kThumbInset, diameter, diameter });
    context.fillPath();
}

} // namespace morvix::platform
