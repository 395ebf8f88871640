#pragma once
// The icon of the home button.

#include "platform/graphics/Color.h"

#include <memory>

namespace morvix {

namespace platform {
class GraphicsContext;
class Image;
}

/// Draws the home button's icon: a house with a roof and a door,
/// 20 by 20 points in one colour. The image is drawn once and kept until the colour changes.
/// Main thread only.
class HomeImageRenderer final {
public:
    static constexpr double kSide = 20;

    HomeImageRenderer() = default;

    const platform::Color& color() const { return m_color; }
    /// Stores the colour and drops the kept image.
    void setColor(platform::Color color);

    /// The kept image, drawn at the main screen's scale on first request; the same object until
    /// `setColor`. Null only when no drawing surface can be made.
    std::shared_ptr<platform::Image> image();
    /// Draws the icon into `context`, in points with the origin at the top left.
    void drawImage(platform::GraphicsContext& context) const;

private:
    platform::Color m_color = platform::Color::fromRGBA(22 / 255.0f, 126 / 255.0f, 251 / 255.0f, 1);
    std::shared_ptr<platform::Image> m_image;
};

} // namespace morvix
