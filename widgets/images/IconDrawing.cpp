#include "widgets/images/IconDrawing.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/Screen.h"

namespace morvix {

std::shared_ptr<platform::Image> drawIconImage(double side, const std::function<void(platform::GraphicsContext&)>& draw)
{
    platform::ImageContext canvas({ side, side }, platform::Opaque::No, platform::Screen::main().scale());
    if (!canvas.isValid())
        return nullptr;
    draw(canvas.context());
    return canvas.image();
}

void fillIconPolygon(platform::GraphicsContext& context, std::span<const platform::Point> points)
{
    if (points.empty())
        return;
    context.beginPath();
    context.moveTo(points.front());
    for (std::size_t index = 1; index < points.size(); ++index)
        context.lineTo(points[index]);
    context.closePath();
    context.fillPath(platform::FillRule::Winding);
}

} // namespace morvix
