#pragma once
// Markup text to attributed text.

#include "platform/graphics/AttributedString.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

/// Turns markup (a fragment of XML without a root element) into an attributed string. The
/// elements "b"/"strong" (bold), "i"/"em" (italic), "big" and "small" (1.25 and 0.75 times the
/// size), "ins" (underline), "del" (strike-through), "a" (a link with the empty target) and
/// "br" (a line end) are understood, their names in any letter case; other elements keep their
/// text in the surrounding formatting. Every font comes from the base font, so nested font
/// elements do not combine: the innermost decides. Markup that is not well-formed XML (an
/// undeclared entity such as "&nbsp;" included) gives the whole input, tags and all, as one run
/// in the base font and colour. Leading blanks (" " only) are removed from the result.
///
/// One parser serves one `parse`; it is not shared between threads.
class MarkupParser final {
public:
    MarkupParser(platform::Font font, platform::Color color);

    platform::AttributedString parse(std::string_view markup);

    /// What the XML reader calls as it meets elements (names as written, with any prefix) and
    /// characters (entities and character references decoded).
    struct ReaderHandlers {
        std::function<void(std::string name)> startElement;
        std::function<void(std::string name)> endElement;
        std::function<void(std::string_view characters)> characters;
    };
    /// Wraps a fragment as "<xml>fragment</xml>" and reads it with libxml2's event interface,
    /// without recovery, DTD loading or network access (shared with `MarkupPurger`). False when
    /// the text is not well-formed; the handlers may have been called before the fault. Any
    /// thread.
    [[nodiscard]] static bool read(std::string_view fragment, const ReaderHandlers& handlers);

    /// The formatting an element adds; nothing for an element without formatting.
    std::optional<platform::TextAttributes> attributeForElement(const std::string& lowercasedName) const;

    // The steps the XML reader drives; public for the reader's callbacks only.
    void didStartElement(std::string name);
    void didEndElement(std::string name);
    void foundCharacters(std::string_view characters) { m_buffer.append(characters); }

private:
    void flushBuffer();
    platform::TextAttributes currentAttributes() const;
    static void removeLeadingSpaces(platform::AttributedString& text);

    platform::Font m_font;
    platform::Color m_color;
    std::vector<platform::TextAttributes> m_attributesStack;
    std::string m_buffer;
    platform::AttributedString m_string;
};

} // namespace morvix
