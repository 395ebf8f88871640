#pragma once
// Attributed text from markup, and font and colour replacement over attributed text.

#include "platform/graphics/AttributedString.h"

#include <cstddef>
#include <optional>
#include <string>

namespace morvix {

/// Helpers over `MarkupParser` and `MarkupPurger` for the text widgets. Stateless; any thread.
class AttributedStrings final {
public:
    /// The markup parsed with the font and colour as base formatting; nothing for no markup.
    /// Without a font the system font of the system font size (`kSystemFontSize`) is used,
    /// without a colour opaque black.
    static std::optional<platform::AttributedString> attributedStringFromMarkupString(
        const std::optional<std::string>& markup, const std::optional<platform::Font>& font,
        const std::optional<platform::Color>& color);
    /// A copy in which every run takes the font, when one is given, and the foreground colour,
    /// when one is given; nothing for no text.
    static std::optional<platform::AttributedString> attributedString(
        const std::optional<platform::AttributedString>& text, const std::optional<platform::Font>& font,
        const std::optional<platform::Color>& color);
    /// Sets the font of every run within the byte range (cut at the end of the text).
    static void replaceFont(const platform::Font& font, platform::AttributedString& text, std::size_t location,
        std::size_t length);
    /// Sets the foreground colour of every run within the byte range (cut at the end).
    static void replaceColor(const platform::Color& color, platform::AttributedString& text, std::size_t location,
        std::size_t length);
    /// The plain text of the markup; nothing for no markup.
    static std::optional<std::string> stringFromMarkupString(const std::optional<std::string>& markup);

    static constexpr double kSystemFontSize = 14;
};

} // namespace morvix
