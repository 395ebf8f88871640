#pragma once
// The linear gradient a canvas's drawing context fills with.

#include "platform/graphics/Gradient.h"
#include "platform/graphics/Point.h"

#include <array>
#include <cstddef>
#include <vector>

namespace morvix {

/// A line from `startPoint` to `endPoint` and colour stops in order, each four numbers (red,
/// green, blue, alpha, 0 to 255). Plain value type; main thread only.
class GCLinearGradient final {
public:
    /// The most stops a gradient takes: each insertion moves the stops after it, so a list of
    /// stops without end would cost time growing with its square.
    static constexpr std::size_t kMaximumStopCount = 1024;

    GCLinearGradient(platform::Point startPoint, platform::Point endPoint)
        : m_startPoint(startPoint)
        , m_endPoint(endPoint)
    {
    }

    /// Inserts a stop before the one at `index`; `index` equal to `stopCount()` appends. The
    /// caller checks that the index lies in 0 to `stopCount()` and that there is room for one
    /// more stop.
    void addColorStop(const std::array<float, 4>& color, std::size_t index);
    std::size_t stopCount() const { return m_colors.size() / 4; }
    const std::vector<float>& colors() const { return m_colors; }
    /// The stops spaced evenly from 0 to 1, each number divided by 255.
    platform::Gradient gradient() const;

    platform::Point startPoint() const { return m_startPoint; }
    platform::Point endPoint() const { return m_endPoint; }

private:
    platform::Point m_startPoint;
    platform::Point m_endPoint;
    std::vector<float> m_colors;
};

} // namespace morvix
