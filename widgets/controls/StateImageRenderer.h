#pragma once
// The shared part of the renderers that draw a two-state control's images in one colour.

#include "platform/graphics/Color.h"

#include <memory>

namespace morvix {

namespace platform {
class GraphicsContext;
class Image;
}

/// Draws a checked and an unchecked image of 26 × 26 points in `color`, at the main screen's
/// scale, each on its first request; later requests answer the same image until the colour
/// changes, which drops both. The background stays transparent. Main thread only.
class StateImageRenderer {
public:
    static constexpr double kImageSize = 26;

    virtual ~StateImageRenderer() = default;

    const platform::Color& color() const { return m_color; }
    /// Stores the colour and drops both images, so that the next requests draw them anew.
    void setColor(const platform::Color& color);

    const std::shared_ptr<platform::Image>& checkedImage();
    const std::shared_ptr<platform::Image>& uncheckedImage();

protected:
    StateImageRenderer();

    /// Draw into the 26 × 26 point canvas, origin top left, in `color()`.
    virtual void drawChecked(platform::GraphicsContext& context) = 0;
    virtual void drawUnchecked(platform::GraphicsContext& context) = 0;

private:
    std::shared_ptr<platform::Image> draw(void (StateImageRenderer::*drawing)(platform::GraphicsContext&));

    platform::Color m_color;
    std::shared_ptr<platform::Image> m_checkedImage;
    std::shared_ptr<platform::Image> m_uncheckedImage;
};

} // namespace morvix
