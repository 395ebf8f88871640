#include "widgets/images/ShellImageRenderer.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "widgets/images/IconDrawing.h"
#include "widgets/text/FontHelper.h"

#include <array>

namespace morvix {

using platform::Point;

ShellImageRenderer::ShellImageRenderer()
    : m_color(FontHelper::activeTextColor())
{
}

std::shared_ptr<platform::Image> ShellImageRenderer::image() const
{
    return drawIconImage(kSide, [this](platform::GraphicsContext& context) { drawImage(context); });
}

void ShellImageRenderer::drawImage(platform::GraphicsContext& context) const
{
    context.save();
    context.setStrokeColor(m_color);
    context.setLineWidth(2.0);
    context.beginPath();
    context.addEllipse({ 1, 1, 22, 22 });
    context.strokePath();

    // The cross: one closed outline of both bars.
    static constexpr std::array<Point, 12> kCross { {
        { 13.41, 12.02 }, { 16.9, 15.61 }, { 15.46, 17 }, { 11.98, 13.41 }, { 8.39, 16.9 }, { 7, 15.46 },
        { 10.59, 11.98 }, { 7.1, 8.39 }, { 8.54, 7 }, { 12.02, 10.59 }, { 15.61, 7.1 }, { 17, 8.54 } } };
    context.setFillColor(m_color);
    fillIconPolygon(context, kCross);
    context.restore();
}

} // namespace morvix
