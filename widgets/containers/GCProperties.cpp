#include "widgets/containers/GCProperties.h"

#include "platform/foundation/WireNumber.h"

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
    return width ? platform::WireNumber::singlePrecision(*width) : 1.0f;
}

float GCProperties::globalAlphaValue() const
{
    auto alpha = platform::numberValue(globalAlpha);
    if (!alpha || std::isnan(*alpha))
        return 1;
    return static_cast<float>(std::clamp(*alpha, 0.0, 1.0));
}

} // namespace morvix
