#pragma once
// The icon of the top-level menu button.

#include "platform/graphics/Color.h"

#include <memory>

namespace morvix {

namespace platform {
class GraphicsContext;
class Image;
}

/// Draws the top-level menu button's icon: a list of four rows, each a small square and a bar,
/// 20 by 20 points in one colour. The image is drawn once and kept until the colour changes.
/// Main thread only.
class TopLevelMenuImageRenderer final {
public:
    static constexpr double kSide = 20;

    TopLevelMenuImageRenderer() = default;

    const platform::Color& color() const { return m_color; }
    /// Stores the colour and drops the kept image.
    void setColor(platform::Color color);

    /// The kept image, drawn at the main screen's scale on first request; the same object until
    /// `setColor`. Null only when no drawing surface can be made.
    std::shared_ptr<platform::Image> image();
    /// Draws the icon into `context`, in points with the origin at the top left.
    void drawImage(platform::GraphicsContext& context) const;

private:
    platform::Color m_color = platform::Color::fromRGBA(0.086f, 0.494f, 0.984f, 1);
    std::shared_ptr<platform::Image> m_image;
};

} // namespace morvix
