#include "shell/TopLevelMenuImageRenderer.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "widgets/images/IconDrawing.h"

namespace morvix {

void TopLevelMenuImageRenderer::setColor(platform::Color color)
{
    m_color = color;
    m_image.reset();
}

std::shared_ptr<platform::Image> TopLevelMenuImageRenderer::image()
{
    if (!m_image)
        m_image = drawIconImage(kSide, [this](platform::GraphicsContext& context) { drawImage(context); });
    return m_image;
}

void TopLevelMenuImageRenderer::drawImage(platform::GraphicsContext& context) const
{
    context.save();
    for (double y : { 3.0, 7.0, 11.0, 15.0 }) {
        context.setFillColor(m_color.withAlpha(0.75f));
        context.fillRect({ 1, y, 2, 2 });
        context.setFillColor(m_color);
        context.fillRect({ 5, y, 14, 2 });
    }
    context.restore();
}

} // namespace morvix
