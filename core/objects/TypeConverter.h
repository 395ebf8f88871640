#pragma once
// Conversion between the wire's arrays and native colours, fonts, points and rectangles.

#include "platform/foundation/Value.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Point.h"
#include "platform/graphics/Rect.h"

#include <optional>
#include <string>
#include <vector>

namespace morvix {

/// The one place that turns the wire forms of colours ([r, g, b] or [r, g, b, a], 0 to 255),
/// fonts ([names, size, bold, italic]), points ([x, y]) and rectangles ([x, y, w, h]) into
/// native values and back. Used by the property setter and getter of every remote object and
/// by widgets that read such values out of other structures. Stateless; any thread.
///
/// Numbers pass through single precision on the way in and on the way out, as the wire's
/// peers expect: 16777217 arrives as 16777216. Booleans count as numbers throughout.
class TypeConverter final {
public:
    /// The native font type of the conversions: an installed face at a size.
    using NativeFont = platform::Font;

    TypeConverter() = delete;

    /// A colour from an array of at least three numbers, each component divided by 255 and not
    /// clamped; alpha is the fourth element, 255 when there is none. Nothing when there are
    /// fewer than three elements, when any element (also past the fourth) is not a number, or
    /// when the value is not an array.
    static std::optional<platform::Color> toUIColor(const platform::Value& value);
    /// [R, G, B, A]: each component times 255, rounded half away from zero in single
    /// precision. Nothing for no colour.
    static std::optional<platform::Value> fromUIColor(const std::optional<platform::Color>& color);

    /// The font the font resolution (see `setFontResolution`) gives for exactly [array of family
    /// names, size, bold, italic] (the last three numbers). Family names that are not strings
    /// are skipped. Nothing for any other shape, or for a size that is not finite.
    static std::optional<NativeFont> toUIFont(const platform::Value& value);
    /// [[family name], size, bold, italic]: the font's own family, its size in single precision
    /// and its face's traits as booleans. Nothing for no font.
    static std::optional<platform::Value> fromUIFont(const std::optional<NativeFont>& font);

    /// Turns family names in order of preference, a size and the bold and italic traits into an
    /// installed font; never fails.
    using FontResolution = NativeFont (*)(const std::vector<std::string>& families, double size, bool bold,
        bool italic);
    /// Sets how `toUIFont` resolves font values. The widget foundation, which is built on this
    /// module, installs `FontHelper::getFont` when it is linked in; until then a font value
    /// gives the system font of its size and traits. Any thread.
    static void setFontResolution(FontResolution resolution);

    /// The point of a valid [x, y] array; the zero point for anything else.
    static platform::Point toCGPoint(const platform::Value& value);
    static platform::Value fromCGPoint(const platform::Point& point);
    /// The rectangle of a valid [x, y, width, height] array; the zero rectangle for anything else.
    static platform::Rect toCGRect(const platform::Value& value);
    static platform::Value fromCGRect(const platform::Rect& rect);

    /// True for an array of exactly two numbers.
    static bool validCGPointArray(const platform::Value& value);
    /// True for an array of exactly four numbers.
    static bool validCGRectArray(const platform::Value& value);

    /// True for any number, booleans included.
    static bool isNumber(const platform::Value& value);

    /// A number as the wire carries a single-precision value: the shortest decimal that reads
    /// back as the same float.
    static platform::Value floatNumber(double number);

private:
    static bool isArrayOfNumbers(const platform::Value& value, std::size_t count);
    static float floatAt(const platform::Value& array, std::size_t index);
};

} // namespace morvix
