#pragma once
// The picture of a tool bar's separator.

#include "platform/graphics/Color.h"

#include <memory>

namespace morvix {

namespace platform {
class Image;
}

/// Draws the 2 x 36 point separator of tool bars at the main screen's scale: a left column in
/// `color` and a right column of white fading to half alpha towards both ends. The picture is
/// drawn on first request and kept until the colour changes. Main thread only.
class SeparatorImageRenderer final {
public:
    /// About RGB (22, 126, 251).
    static constexpr platform::Color kDefaultColor { 0.086f, 0.494f, 0.984f, 1.0f };
    static constexpr double kWidth = 2;
    static constexpr double kHeight = 36;

    SeparatorImageRenderer() = default;
    SeparatorImageRenderer(const SeparatorImageRenderer&) = delete;
    SeparatorImageRenderer& operator=(const SeparatorImageRenderer&) = delete;

    const platform::Color& color() const { return m_color; }
    /// Drops the picture drawn so far.
    void setColor(platform::Color color);
    /// The picture; null only when it cannot be drawn.
    std::shared_ptr<platform::Image> image();

private:
    std::shared_ptr<platform::Image> render() const;

    platform::Color m_color = kDefaultColor;
    std::shared_ptr<platform::Image> m_image;
};

} // namespace morvix
