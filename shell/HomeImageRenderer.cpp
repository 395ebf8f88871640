#include "shell/HomeImageRenderer.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "widgets/images/IconDrawing.h"

#include <array>

namespace morvix {

using platform::Point;

void HomeImageRenderer::setColor(platform::Color color)
{
    m_color = color;
    m_image.reset();
}

std::shared_ptr<platform::Image> HomeImageRenderer::image()
{
    if (!m_image)
        m_image = drawIconImage(kSide, [this](platform::GraphicsContext& context) { drawImage(context); });
    return m_image;
}

void HomeImageRenderer::drawImage(platform::GraphicsContext& context) const
{
    // The roof with its chimney, then the body with the door left open.
    static constexpr std::array<Point, 10> kRoof { {
        { 20, 10 }, { 18, 10 }, { 10, 2 }, { 2, 10 }, { 0, 10 }, { 3, 7 }, { 3, 2 }, { 6, 2 }, { 6, 4 }, { 10, 0 } } };
    static constexpr std::array<Point, 9> kBody { {
        { 17, 11 }, { 17, 20 }, { 12, 20 }, { 12, 14 }, { 8, 14 }, { 8, 20 }, { 3, 20 }, { 3, 11 }, { 10, 4 } } };
    context.save();
    context.setFillColor(m_color);
    fillIconPolygon(context, kRoof);
    fillIconPolygon(context, kBody);
    context.restore();
}

} // namespace morvix
