#include "widgets/controls/StateImageRenderer.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/Screen.h"

namespace morvix {

StateImageRenderer::StateImageRenderer()
    : m_color(platform::Color::fromRGBA(0.086f, 0.494f, 0.984f, 1.0f))
{
}

void StateImageRenderer::setColor(const platform::Color& color)
{
    m_color = color;
    m_checkedImage.reset();
    m_uncheckedImage.reset();
}

const std::shared_ptr<platform::Image>& StateImageRenderer::checkedImage()
{
    if (!m_checkedImage)
        m_checkedImage = draw(&StateImageRenderer::drawChecked);
    return m_checkedImage;
}

const std::shared_ptr<platform::Image>& StateImageRenderer::uncheckedImage()
{
    if (!m_uncheckedImage)
        m_uncheckedImage = draw(&StateImageRenderer::drawUnchecked);
    return m_uncheckedImage;
}

std::shared_ptr<platform::Image> StateImageRenderer::draw(void (StateImageRenderer::*drawing)(platform::GraphicsContext&))
{
    platform::ImageContext canvas({ kImageSize, kImageSize }, platform::Opaque::No, platform::Screen::main().scale());
    if (!canvas.isValid())
        return nullptr;
    auto& context = canvas.context();
    context.setFillColor(m_color);
    context.setStrokeColor(m_color);
    context.setLineWidth(1);
    (this->*drawing)(context);
    return canvas.image();
}

} // namespace morvix
