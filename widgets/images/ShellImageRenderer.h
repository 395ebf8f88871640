#pragma once
// The close icon of shell windows, drawn from vector paths.

#include "platform/graphics/Color.h"

#include <memory>

namespace morvix {

namespace platform {
class GraphicsContext;
class Image;
}

/// Draws the close icon of a `Shell`'s close button: a circle with a cross, 24 by 24 points, in
/// one colour (the active text colour until set). Nothing is cached: every `image()` draws a new
/// picture at the main screen's scale, so a colour change shows on the next request. Owned by
/// its Shell. Main thread only.
class ShellImageRenderer final {
public:
    static constexpr double kSide = 24;

    ShellImageRenderer();

    const platform::Color& color() const { return m_color; }
    /// Stores the colour only; the next `image()` uses it.
    void setColor(platform::Color color) { m_color = color; }

    /// A new, not opaque image of the icon at the main screen's scale; null only when no
    /// drawing surface can be made.
    std::shared_ptr<platform::Image> image() const;
    /// Draws the icon into `context`, in points with the origin at the top left.
    void drawImage(platform::GraphicsContext& context) const;

private:
    platform::Color m_color;
};

} // namespace morvix
