#pragma once
// Fonts from the wire's font values, the default fonts and colours, and text measurement.

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Size.h"

#include <optional>
#include <string>
#include <vector>

namespace morvix {

enum class Markup { No, Yes };

/// The one way the user interface gets its fonts: a font value (families, size, bold, italic)
/// is written as a description text and resolved by `FontResolver`. Also holds the default
/// fonts and colours of the widget kinds and measures plain and markup text the way a
/// multi-line label lays it out. Stateless; any thread.
class FontHelper final {
public:
    /// The font for families in order of preference, a size in points and two traits.
    /// Never fails: unknown families resolve to the preferred body face.
    static platform::Font getFont(const std::vector<std::string>& families, double size, bool bold, bool italic);
    /// The description text `getFont` resolves, for example
    /// `font-family: A,serif; font-size: 14px; font-weight: bold;`. The size is written in its
    /// shortest form without regard to the process locale (14 as "14").
    static std::string fontDescription(const std::vector<std::string>& families, double size, bool bold, bool italic);

    /// The face name of the preferred body-text font.
    static std::string defaultFontName();

    static platform::Font shellTitleFont();
    static platform::Font pushButtonFont();
    static platform::Font checkButtonFont();
    static platform::Font radioButtonFont();
    static platform::Font listFont();
    static platform::Font labelFont();
    static platform::Font comboFont();
    static platform::Font textFont();
    static platform::Font linkFont();
    /// The system font of size 15, not through the resolver.
    static platform::Font flatButtonFont();
    /// The system font of size 12, not through the resolver.
    static platform::Font groupFont();

    static platform::Color backgroundColor();
    static platform::Color labelColor();
    static platform::Color textColor();
    /// Red 22, green 126, blue 251 of 255, opaque.
    static platform::Color activeColor();
    static platform::Color activeTextColor();
    static platform::Color groupColor();
    static platform::Color touchFeedbackColor();

    /// The size of a text laid out as a multi-line label: wrapped between words at the wrap
    /// width when it is above 0 (no wrapping otherwise), each side rounded up (`roundUp`).
    /// Markup text goes through the markup parser first; plain text gets the font and black.
    /// Only the first `lineLimit` lines count when it is above 0; 0 means no limit.
    static platform::Size sizeForString(const std::string& text, const platform::Font& font, double wrapWidth = -1,
        Markup markup = Markup::No, int lineLimit = 0);
    static platform::AttributedString attributedStringFromPlainString(const std::string& text, const platform::Font& font);
    static platform::AttributedString attributedStringFromMarkupString(const std::string& markup, const platform::Font& font);
    static platform::Size sizeForAttributedString(const platform::AttributedString& text, double wrapWidth, int lineLimit = 0);
    /// Each side narrowed to single precision, then rounded up to a whole number.
    static platform::Size roundUp(platform::Size size);
};

} // namespace morvix
