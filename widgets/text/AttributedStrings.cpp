#include "widgets/text/AttributedStrings.h"

#include "widgets/text/MarkupParser.h"
#include "widgets/text/MarkupPurger.h"

namespace morvix {

using platform::AttributedString;

std::optional<AttributedString> AttributedStrings::attributedStringFromMarkupString(
    const std::optional<std::string>& markup, const std::optional<platform::Font>& font,
    const std::optional<platform::Color>& color)
{
    if (!markup)
        return std::nullopt;
    MarkupParser parser(font.value_or(platform::Font::system(kSystemFontSize)), color.value_or(platform::Color::black()));
    return parser.parse(*markup);
}

std::optional<AttributedString> AttributedStrings::attributedString(const std::optional<AttributedString>& text,
    const std::optional<platform::Font>& font, const std::optional<platform::Color>& color)
{
    if (!text)
        return std::nullopt;
    AttributedString copy = *text;
    if (font)
        replaceFont(*font, copy, 0, copy.length());
    if (color)
        replaceColor(*color, copy, 0, copy.length());
    return copy;
}

void AttributedStrings::replaceFont(const platform::Font& font, AttributedString& text, std::size_t location,
    std::size_t length)
{
    text.setFont(font, location, length);
}

void AttributedStrings::replaceColor(const platform::Color& color, AttributedString& text, std::size_t location,
    std::size_t length)
{
    text.setForegroundColor(color, location, length);
}

std::optional<std::string> AttributedStrings::stringFromMarkupString(const std::optional<std::string>& markup)
{
    if (!markup)
        return std::nullopt;
    return MarkupPurger().purge(*markup);
}

} // namespace morvix
