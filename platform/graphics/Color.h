#pragma once
// An RGBA colour.

#include <cstdint>

namespace morvix::platform {

/// A colour in the device RGB space: red, green, blue and alpha, each nominally 0 to 1. The
/// components are kept as given (not clamped) so that values read from the wire come back out
/// exactly. Plain value type.
struct Color {
    float red = 0;
    float green = 0;
    float blue = 0;
    float alpha = 1;

    bool operator==(const Color&) const = default;

    static Color fromRGBA(float red, float green, float blue, float alpha = 1) { return { red, green, blue, alpha }; }
    /// From 0xRRGGBB components and an alpha of 0 to 1.
    static Color fromHex(std::uint32_t rgb, float alpha = 1);
    static Color black() { return { 0, 0, 0, 1 }; }
    static Color white() { return { 1, 1, 1, 1 }; }
    static Color clear() { return { 0, 0, 0, 0 }; }

    Color withAlpha(float newAlpha) const { return { red, green, blue, newAlpha }; }
    bool isClear() const { return alpha == 0; }
};

} // namespace morvix::platform
