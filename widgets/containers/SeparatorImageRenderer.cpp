#include "widgets/containers/SeparatorImageRenderer.h"

#include "platform/graphics/Gradient.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/Screen.h"

namespace morvix {

using platform::Color;
using platform::Gradient;
using platform::Point;
using platform::Rect;

void SeparatorImageRenderer::setColor(Color color)
{
    m_color = color;
    m_image.reset();
}

std::shared_ptr<platform::Image> SeparatorImageRenderer::image()
{
    if (!m_image)
        m_image = render();
    return m_image;
}

std::shared_ptr<platform::Image> SeparatorImageRenderer::render() const
{
    constexpr double kMiddle = kHeight / 2;
    const Color transparentWhite = Color::white().withAlpha(0);
    // The stops keep their order: two at one offset make a step there.
    const Gradient colored { { { 0.5, m_color }, { 1.0, m_color }, { 1.0, transparentWhite } } };
    const Gradient white { { { 0.0, transparentWhite }, { 0.0, Color::white().withAlpha(0.5f) }, { 1.0, Color::white() } } };
    platform::ImageContext canvas({ kWidth, kHeight }, platform::Opaque::No, platform::Screen::main().scale());
    auto& context = canvas.context();
    auto strip = [&](const Rect& clip, const Gradient& gradient, Point start, Point end) {
        context.save();
        context.clipToRect(clip);
        context.drawLinearGradient(gradient, start, end, platform::GradientExtent::Both);
        context.restore();
    };
    strip({ 0, 0, 1, kMiddle }, colored, { 0.5, kMiddle }, { 0.5, 0 });
    strip({ 0, kMiddle, 1, kMiddle }, colored, { 0.5, kMiddle }, { 0.5, kHeight });
    strip({ 1, 0, 1, kMiddle }, white, { 1.5, 0 }, { 1.5, kMiddle });
    strip({ 1, kMiddle, 1, kMiddle }, white, { 1.5, kHeight }, { 1.5, kMiddle });
    return canvas.image();
}

} // namespace morvix
