#include "platform/graphics/Gradient.h"

namespace morvix::platform {

Gradient Gradient::evenlySpaced(const std::vector<Color>& colors)
{
    Gradient gradient;
    for (std::size_t i = 0; i < colors.size(); ++i) {
        double location = colors.size() > 1 ? double(i) / double(colors.size() - 1) : 0;
        gradient.stops.push_back({ location, colors[i] });
    }
    return gradient;
}

} // namespace morvix::platform
