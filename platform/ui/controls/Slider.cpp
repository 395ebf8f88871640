#include "platform/ui/controls/Slider.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/ui/Touch.h"

#include <algorithm>

namespace morvix::platform {

namespace {

const Color kMinimumTrack = Color::fromRGBA(0.0f, 0.478f, 1.0f);
const Color kMaximumTrack = Color::fromRGBA(0.72f, 0.72f, 0.72f);
constexpr double kTrackHeight = 2;

} // namespace

std::shared_ptr<Slider> Slider::create(const Rect& frame)
{
    return std::shared_ptr<Slider>(new Slider(frame));
}

Slider::Slider(const Rect& frame)
    : Control(frame)
{
    setOpaque(false);
}

void Slider::setValue(double value, Animated animated)
{
    (void)animated;
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_value)
        return;
    m_value = value;
    setNeedsDisplay();
}

void Slider::setMinimumValue(double minimum)
{
    m_minimum = minimum;
    m_maximum = std::max(m_maximum, minimum);
    setValue(m_value);
}

void Slider::setMaximumValue(double maximum)
{
    m_maximum = maximum;
    m_minimum = std::min(m_minimum, maximum);
    setValue(m_value);
}

void Slider::setMinimumTrackTintColor(std::optional<Color> color)
{
    m_minimumTrackTint = color;
    setNeedsDisplay();
}

double Slider::valueAt(double x) const
{
    double span = bounds().width() - kThumbSize;
    if (span <= 0)
        return m_minimum;
    double fraction = std::clamp((x - bounds().x() - kThumbSize / 2) / span, 0.0, 1.0);
    return m_minimum + fraction * (m_maximum - m_minimum);
}

Size Slider::sizeThatFits(Size size) const
{
    return { size.width == 0 ? bounds().width() : size.width, kHeight };
}

void Slider::track(const Touch& touch)
{
    double before = m_value;
    setValue(valueAt(touch.locationIn(this).x));
    if (m_value == before)
        return;
    m_changedWhileTracking = true;
    if (m_continuous)
        sendActionsForControlEvents(ControlEventValueChanged);
}

void Slider::beganTracking(const Touch& touch)
{
    m_changedWhileTracking = false;
    track(touch);
}

void Slider::continuedTracking(const Touch& touch)
{
    track(touch);
}

void Slider::endedTracking(const Touch& touch, bool inside)
{
    (void)inside;
    track(touch);
    if (!m_continuous && m_changedWhileTracking)
        sendActionsForControlEvents(ControlEventValueChanged);
}

void Slider::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    Rect box = bounds();
    double span = std::max(box.width() - kThumbSize, 0.0);
    double fraction = m_maximum > m_minimum ? (m_value - m_minimum) / (m_maximum - m_minimum) : 0;
    double thumbX = box.x() + kThumbSize / 2 + span * fraction;
    double trackY = box.midY() - kTrackHeight / 2;
    context.setFillColor(m_minimumTrackTint.value_or(tintColor().value_or(kMinimumTrack)));
    context.fillRect({ box.x() + kThumbSize / 2, trackY, thumbX - box.x() - kThumbSize / 2, kTrackHeight });
    context.setFillColor(kMaximumTrack);
    context.fillRect({ thumbX, trackY, box.x() + kThumbSize / 2 + span - thumbX, kTrackHeight });
    context.setFillColor(Color::white());
    context.beginPath();
    context.addEllipse({ thumbX - kThumbSize / 2, box.midY() - kThumbSize / 2, kThumbSize, kThumbSize });
    context.fillPath();
    context.setStrokeColor(kMaximumTrack);
    context.setLineWidth(0.5);
    context.beginPath();
    context.addEllipse({ thumbX - kThumbSize / 2, box.midY() - kThumbSize / 2, kThumbSize, kThumbSize });
    context.strokePath();
}

} // namespace morvix::platform
