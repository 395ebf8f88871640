#include "widgets/controls/RadioImageRenderer.h"

#include "platform/graphics/GraphicsContext.h"

namespace morvix {

void RadioImageRenderer::drawUnchecked(platform::GraphicsContext& context)
{
    context.beginPath();
    context.addEllipse({ 2.5, 2.5, 21, 21 });
    context.strokePath();
}

void RadioImageRenderer::drawChecked(platform::GraphicsContext& context)
{
    drawUnchecked(context);
    context.beginPath();
    context.addEllipse({ 6, 6, 14, 14 });
    context.fillPath(platform::FillRule::Winding);
}

} // namespace morvix
