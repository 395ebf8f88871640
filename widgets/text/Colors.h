#pragma once
// Derived colours for pressed and highlighted states, and colour helpers.

#include "platform/graphics/Color.h"

#include <memory>
#include <string>

namespace morvix::platform {
class Image;
}

namespace morvix {

/// Colour helpers for the widgets. Colours of this platform are always in red-green-blue form,
/// so every component can be read. Stateless; any thread.
class Colors final {
public:
    /// The colour in red-green-blue form; this platform's colours already are.
    static platform::Color toRGBColor(const platform::Color& color) { return color; }
    /// The mean of red, green and blue is at least 0.5.
    static bool isBrightColor(const platform::Color& color);
    /// The mean of red, green and blue is below 0.5.
    static bool isDarkColor(const platform::Color& color);
    /// Hue and saturation kept; brightness times 1.1 (at most 1), at least 0.1; alpha at least 0.1.
    static platform::Color brighterColorFor(const platform::Color& color);
    /// Hue and saturation kept; brightness times 0.9; alpha at least 0.1.
    static platform::Color darkerColorFor(const platform::Color& color);
    /// Darker for a bright colour, brighter for a dark one.
    static platform::Color highlightColorFor(const platform::Color& color);
    /// An image of 1 by 1 point filled with the colour.
    static std::shared_ptr<platform::Image> imageOfColor(const platform::Color& color);
    /// "rrggbb" in lower-case hexadecimal, each component times 255 truncated toward zero (and
    /// kept within 0 to 255); alpha is dropped.
    static std::string toHex(const platform::Color& color);
};

} // namespace morvix
