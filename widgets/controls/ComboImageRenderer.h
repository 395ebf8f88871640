#pragma once
// The three-dot images of buttons that open a picker.

#include "platform/graphics/Color.h"

#include <memory>

namespace morvix {

namespace platform {
class GraphicsContext;
class Image;
}

/// Draws the 30 × 30 point background images of the combo box and the date field: a column of
/// three 3 × 3 point squares at x 18, y 8, 13 and 18, in `foreground`, on transparency, at the
/// main screen's scale. Stretched with a 20-point right cap, the dots keep 9 points from the
/// button's right edge. Every request draws anew, so a changed foreground shows in the next
/// images only. The enabled and pressed images are the same drawing; the disabled one is blank,
/// so a disabled button shows no dots. `background` and `border` are kept for the callers but
/// nothing draws them. Main thread only.
class ComboImageRenderer final {
public:
    static constexpr double kImageSize = 30;

    const platform::Color& foreground() const { return m_foreground; }
    void setForeground(const platform::Color& color) { m_foreground = color; }
    const platform::Color& background() const { return m_background; }
    void setBackground(const platform::Color& color) { m_background = color; }
    const platform::Color& border() const { return m_border; }
    void setBorder(const platform::Color& color) { m_border = color; }

    std::shared_ptr<platform::Image> enabledImage() const;
    std::shared_ptr<platform::Image> pressedImage() const;
    std::shared_ptr<platform::Image> disabledImage() const;

    /// The three dots, into a 30 × 30 point context.
    void draw(platform::GraphicsContext& context) const;
    /// Nothing: the disabled image is blank.
    void drawDisabled(platform::GraphicsContext& context) const;

private:
    std::shared_ptr<platform::Image> image(void (ComboImageRenderer::*drawing)(platform::GraphicsContext&) const) const;

    // Not the widgets' active colour: the blue differs slightly.
    platform::Color m_foreground = platform::Color::fromRGBA(0.086f, 0.494f, 1.0f);
    platform::Color m_background = platform::Color::white();
    platform::Color m_border = platform::Color::fromRGBA(0.804f, 0.804f, 0.804f);
};

} // namespace morvix
