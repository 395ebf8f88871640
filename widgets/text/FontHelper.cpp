#include "widgets/text/FontHelper.h"

#include "core/objects/TypeConverter.h"
#include "platform/graphics/FontCatalog.h"
#include "platform/graphics/TextLayout.h"
#include "widgets/text/AttributedStrings.h"
#include "widgets/text/FontResolver.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace morvix {

using platform::Color;
using platform::Font;
using platform::Size;

namespace {

std::string numberText(double number)
{
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, number);
    if (error != std::errc())
        return "0";
    return std::string(buffer, end);
}

Font defaultFont(double size, bool bold)
{
    return FontHelper::getFont({ FontHelper::defaultFontName() }, size, bold, false);
}

// The accent colour as fractions of 255, so that it converts back to exactly 22, 126, 251.
Color accentColor()
{
    return Color::fromRGBA(22 / 255.0f, 126 / 255.0f, 251 / 255.0f);
}

// The core converts the wire's font values but is built below this module: it resolves them
// through `getFont` from the moment this module is part of the program.
[[maybe_unused]] const bool s_fontResolutionInstalled = [] {
    TypeConverter::setFontResolution(&FontHelper::getFont);
    return true;
}();

} // namespace

std::string FontHelper::fontDescription(const std::vector<std::string>& families, double size, bool bold, bool italic)
{
    std::string description = "font-family: ";
    for (std::size_t index = 0; index < families.size(); ++index) {
        if (index > 0)
            description += ",";
        description += families[index];
    }
    description += "; font-size: " + numberText(size) + "px;";
    if (bold)
        description += " font-weight: bold;";
    if (italic)
        description += " font-style: italic;";
    return description;
}

Font FontHelper::getFont(const std::vector<std::string>& families, double size, bool bold, bool italic)
{
    return FontResolver::fontWithDescription(fontDescription(families, size, bold, italic));
}

std::string FontHelper::defaultFontName()
{
    return platform::FontCatalog::installed().preferredBodyFace().faceName;
}

Font FontHelper::shellTitleFont() { return defaultFont(16, true); }
Font FontHelper::pushButtonFont() { return defaultFont(16, true); }
Font FontHelper::checkButtonFont() { return defaultFont(16, false); }
Font FontHelper::radioButtonFont() { return defaultFont(16, false); }
Font FontHelper::listFont() { return defaultFont(16, false); }
Font FontHelper::labelFont() { return defaultFont(14, false); }
Font FontHelper::comboFont() { return defaultFont(14, false); }
Font FontHelper::textFont() { return defaultFont(14, false); }
Font FontHelper::linkFont() { return defaultFont(12, false); }
Font FontHelper::flatButtonFont() { return Font::system(15); }
Font FontHelper::groupFont() { return Font::system(12); }

Color FontHelper::backgroundColor() { return Color::white(); }
Color FontHelper::labelColor() { return Color::black(); }
Color FontHelper::textColor() { return Color::black(); }
Color FontHelper::activeColor() { return accentColor(); }
Color FontHelper::activeTextColor() { return accentColor(); }
Color FontHelper::groupColor() { return accentColor(); }
Color FontHelper::touchFeedbackColor() { return accentColor(); }

Size FontHelper::sizeForString(const std::string& text, const Font& font, double wrapWidth, Markup markup, int lineLimit)
{
    auto attributed = markup == Markup::Yes ? attributedStringFromMarkupString(text, font)
                                            : attributedStringFromPlainString(text, font);
    return sizeForAttributedString(attributed, wrapWidth, lineLimit);
}

platform::AttributedString FontHelper::attributedStringFromPlainString(const std::string& text, const Font& font)
{
    return platform::AttributedString(text, { .font = font, .foregroundColor = Color::black() });
}

platform::AttributedString FontHelper::attributedStringFromMarkupString(const std::string& markup, const Font& font)
{
    return *AttributedStrings::attributedStringFromMarkupString(markup, font, Color::black());
}

Size FontHelper::sizeForAttributedString(const platform::AttributedString& text, double wrapWidth, int lineLimit)
{
    platform::TextLayout::Options options;
    if (wrapWidth > 0)
        options.wrapWidth = wrapWidth;
    options.lineLimit = std::max(lineLimit, 0);
    return roundUp(platform::TextLayout(text, options).size());
}

Size FontHelper::roundUp(Size size)
{
    return { std::ceil(static_cast<float>(size.width)), std::ceil(static_cast<float>(size.height)) };
}

} // namespace morvix
