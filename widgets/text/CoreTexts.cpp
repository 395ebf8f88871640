#include "widgets/text/CoreTexts.h"

#include "platform/graphics/TextLayout.h"

namespace morvix {

double CoreTexts::lineHeight(const platform::Font& font)
{
    return font.ascent() + font.descent() + font.leading();
}

double CoreTexts::computeXOffset(const platform::AttributedString& line, std::string_view alignment)
{
    if (alignment != "center" && alignment != "end" && alignment != "right")
        return 0;
    double width = platform::TextLayout(line, {}).size().width;
    return alignment == "center" ? -width / 2 : -width;
}

double CoreTexts::computeYOffset(double lineHeight, std::string_view baseline, int lineCount, const platform::Font& font)
{
    if (baseline == "top" || baseline == "hanging")
        return font.ascent();
    // A quarter, not a half, of the line's height: drawing code of the peer relies on it.
    if (baseline == "middle")
        return (font.ascent() + font.descent()) * 0.5 * 0.5;
    if (baseline == "bottom")
        return -(font.descent() + font.leading());
    return -(lineCount - 1) * lineHeight;
}

} // namespace morvix
