#include "widgets/controls/CheckImageRenderer.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Path.h"

namespace morvix {

void CheckImageRenderer::drawUnchecked(platform::GraphicsContext& context)
{
    // Half-point offsets put the 1-point line on whole pixels at scale 1.
    context.addPath(platform::Path::roundedRect({ 2.5, 2.5, 21, 21 }, 4));
    context.strokePath();
}

void CheckImageRenderer::drawChecked(platform::GraphicsContext& context)
{
    context.beginPath();
    // The mark, clockwise on screen.
    context.moveTo({ 18, 8.5 });
    context.lineTo({ 10.5, 16 });
    context.lineTo({ 7.5, 13 });
    context.lineTo({ 6.5, 14 });
    context.lineTo({ 10.5, 18 });
    context.lineTo({ 19, 9.5 });
    context.lineTo({ 18, 8.5 });
    context.closePath();
    // The rounded square, the other way round.
    context.moveTo({ 24, 6 });
    context.lineTo({ 24, 20 });
    context.curveTo({ 24, 22.21 }, { 22.21, 24 }, { 20, 24 });
    context.lineTo({ 6, 24 });
    context.curveTo({ 3.79, 24 }, { 2, 22.21 }, { 2, 20 });
    context.lineTo({ 2, 6 });
    context.curveTo({ 2, 3.79 }, { 3.79, 2 }, { 6, 2 });
    context.lineTo({ 20, 2 });
    context.curveTo({ 22.21, 2 }, { 24, 3.79 }, { 24, 6 });
    context.closePath();
    context.fillPath(platform::FillRule::Winding);
}

} // namespace morvix
