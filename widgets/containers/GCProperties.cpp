#include "widgets/containers/GCProperties.h"

#include <algorithm>
#include <cmath>

namespace morvix {

void GCProperties::restore(platform::GraphicsContext& context) const
{
    context.setStrokeColor(strokeStyle);
    context.setFillColor(fillStyle);
    context.setLineWidth(lineWidthValue());
    context.setLineCap(cgLineCap());
    context.setLineJoin(cgLineJoin());
}

platform::LineCap GCProperties::cgLineCap() const
{
    if (lineCap == "round")
        return platform::LineCap::Round;
    if (lineCap == "square")
        return platform::LineCap::Square;
    return platform::LineCap::Butt;
}

platform::LineJoin GCProperties::cgLineJoin() const
{
    if (lineJoin == "round")
        return platform::LineJoin::Round;
    if (lineJoin == "bevel")
        return platform::LineJoin::Bevel;
    return platform::LineJoin::Miter;
}

float GCProperties::lineWidthValue() const
{
    auto width = platform::numberValue(lineWidth);
    return width ? static_cast<float>(*width) : 1.0f;
}

float GCProperties::globalAlphaValue() const
{
    auto alpha = platform::numberValue(globalAlpha);
    if (!alpha || std::isnan(*alpha))
        return 1;
    return std::clamp(static_cast<float>(*alpha), 0.0f, 1.0f);
}

} // namespace morvix
