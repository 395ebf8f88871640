#include "widgets/controls/ComboImageRenderer.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/Screen.h"

namespace morvix {

std::shared_ptr<platform::Image> ComboImageRenderer::enabledImage() const
{
    return image(&ComboImageRenderer::draw);
}

std::shared_ptr<platform::Image> ComboImageRenderer::pressedImage() const
{
    return image(&ComboImageRenderer::draw);
}

std::shared_ptr<platform::Image> ComboImageRenderer::disabledImage() const
{
    return image(&ComboImageRenderer::drawDisabled);
}

void ComboImageRenderer::draw(platform::GraphicsContext& context) const
{
    context.setFillColor(m_foreground);
    for (double y : { 8.0, 13.0, 18.0 })
        context.fillRect({ 18, y, 3, 3 });
}

void ComboImageRenderer::drawDisabled(platform::GraphicsContext& context) const
{
    (void)context;
}

std::shared_ptr<platform::Image> ComboImageRenderer::image(
    void (ComboImageRenderer::*drawing)(platform::GraphicsContext&) const) const
{
    platform::ImageContext canvas({ kImageSize, kImageSize }, platform::Opaque::No, platform::Screen::main().scale());
    if (!canvas.isValid())
        return nullptr;
    (this->*drawing)(canvas.context());
    return canvas.image();
}

} // namespace morvix
