#pragma once
// Placing a line of canvas text by its alignment and baseline.

#include "platform/graphics/AttributedString.h"

#include <string_view>

namespace morvix {

/// Stateless; any thread.
class CoreTexts final {
public:
    /// ascent + descent + leading of the font.
    static double lineHeight(const platform::Font& font);
    /// The x offset of a line drawn at a point: minus half its width for "center", minus its
    /// width for "end" and "right", 0 otherwise. The width is the line's typographic width.
    static double computeXOffset(const platform::AttributedString& line, std::string_view alignment);
    /// The y offset of the first baseline: the ascent for "top" and "hanging", a quarter of
    /// ascent + descent for "middle", minus (descent + leading) for "bottom", and otherwise (the
    /// alphabetic baseline) minus (lineCount - 1) line heights.
    static double computeYOffset(double lineHeight, std::string_view baseline, int lineCount, const platform::Font& font);
};

} // namespace morvix
