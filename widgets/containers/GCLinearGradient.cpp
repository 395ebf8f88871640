#include "widgets/containers/GCLinearGradient.h"

#include <cassert>

namespace morvix {

void GCLinearGradient::addColorStop(const std::array<float, 4>& color, std::size_t index)
{
    assert(index <= stopCount() && "colour stop index out of range");
    m_colors.insert(m_colors.begin() + static_cast<std::ptrdiff_t>(index * 4), color.begin(), color.end());
}

platform::Gradient GCLinearGradient::gradient() const
{
    std::vector<platform::Color> colors;
    for (std::size_t index = 0; index + 3 < m_colors.size(); index += 4)
        colors.push_back(platform::Color::fromRGBA(m_colors[index] / 255, m_colors[index + 1] / 255,
            m_colors[index + 2] / 255, m_colors[index + 3] / 255));
    return platform::Gradient::evenlySpaced(colors);
}

} // namespace morvix
