#include "platform/ui/controls/KeyInput.h"

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/FontBackend.h"
#include "platform/ui/controls/TextField.h"

#include <pango/pango.h>

#include <algorithm>
#include <cstring>

namespace morvix::platform {

void KeyInput::setText(std::string text)
{
    m_text = std::move(text);
    std::size_t end = utf16::length(m_text);
    m_selectedRange = { end, 0 };
    textStateChanged();
}

void KeyInput::setSelectedRange(TextRange range)
{
    m_selectedRange = utf16::roundedRange(m_text, range);
    textStateChanged();
}

void KeyInput::setSecureTextEntry(bool secure)
{
    m_secure = secure;
    textStateChanged();
}

void KeyInput::insertText(const std::string& text)
{
    if (!acceptsTyping() || text.empty())
        return;
    replaceByUser(m_selectedRange, text);
}

void KeyInput::deleteBackward()
{
    if (!acceptsTyping())
        return;
    TextRange range = m_selectedRange;
    if (range.length == 0) {
        if (range.location == 0)
            return;
        // One unit back, rounded to the pair's start when that unit is a pair's second half.
        std::size_t start = utf16::roundedOffset(m_text, range.location - 1);
        range = { start, range.location - start };
    }
    replaceByUser(range, {});
}

void KeyInput::selectByUser(TextRange range)
{
    setSelectedRange(range);
}

bool KeyInput::replaceByUser(TextRange range, const std::string& replacement)
{
    assertOnMainThread();
    range = utf16::roundedRange(m_text, range);
    if (!shouldChangeText(range, replacement))
        return false;
    std::size_t start = utf16::byteIndex(m_text, range.location);
    std::size_t end = utf16::byteIndex(m_text, range.end());
    m_text.replace(start, end - start, replacement);
    m_selectedRange = { range.location + utf16::length(replacement), 0 };
    textStateChanged();
    editedText();
    return true;
}

bool KeyInput::canPerformEditAction(std::string_view action) const
{
    bool hasSelection = m_selectedRange.length > 0;
    if (action == "cut")
        return hasSelection && !m_secure && acceptsTyping();
    if (action == "copy")
        return hasSelection && !m_secure;
    if (action == "paste" || action == "delete")
        return acceptsTyping() && (action == "paste" || hasSelection);
    if (action == "select" || action == "selectAll")
        return !m_text.empty() && !hasSelection;
    return false;
}

Rect KeyInput::caretRectInLayout(std::size_t offset, const Font& font, const TextLayout::Options& options, Point origin) const
{
    std::string shown = displayedText(m_text, m_secure);
    std::size_t index = utf16::byteIndex(m_text, offset);
    if (m_secure) {
        // One bullet per character before the caret.
        std::size_t characters = 0;
        for (std::size_t i = 0; i < index; ++i)
            characters += (static_cast<unsigned char>(m_text[i]) & 0xC0) != 0x80;
        index = std::min(shown.size(), characters * std::string_view("\u2022").size());
    }
    if (shown.size() > kWholeLayoutBytes)
        return caretRectInLongText(shown, index, font, options, origin);
    return caretRectInText(shown, index, font, options, origin);
}

Rect KeyInput::caretRectInText(const std::string& shown, std::size_t index, const Font& font, const TextLayout::Options& options, Point origin)
{
    AttributedString attributed(shown, { .font = font });
    auto lock = FontBackend::lock();
    PangoLayout* layout = TextLayout::createPangoLayout(attributed, options);
    // The layout holds what of the text can show; a caret past it stands at its end.
    index = std::min(index, std::strlen(pango_layout_get_text(layout)));
    PangoRectangle strong {};
    pango_layout_get_cursor_pos(layout, static_cast<int>(index), &strong, nullptr);
    g_object_unref(layout);
    double height = strong.height > 0 ? strong.height / double(PANGO_SCALE) : font.lineHeight();
    return { origin.x + strong.x / double(PANGO_SCALE), origin.y + strong.y / double(PANGO_SCALE), 2, height };
}

Rect KeyInput::caretRectInLongText(const std::string& shown, std::size_t index, const Font& font, const TextLayout::Options& options, Point origin)
{
    // Pango's work on one layout grows with the square of its lines, so the lines are measured
    // in pieces and pango places the caret in a layout of only its line and those on either
    // side: the one before decides where an empty last line stands, the one after keeps the
    // caret's line wrapped (a wrapped line is aligned without its trailing spaces, a paragraph's
    // last line with them). Lines break greedily: laid out from the start of a line, the text
    // breaks as it does whole.
    TextLayout measured(AttributedString(shown, { .font = font }), options);
    const auto& lines = measured.lines();
    if (lines.empty())
        return caretRectInText({}, 0, font, options, origin);
    auto after = std::partition_point(lines.begin() + 1, lines.end(), [&](const TextLayout::Line& line) { return line.start <= index; });
    std::size_t line = std::size_t(after - lines.begin()) - 1;
    std::size_t first = line > 0 ? line - 1 : 0;
    double top = 0;
    for (std::size_t i = 0; i < first; ++i)
        top += lines[i].height;
    std::size_t begin = std::min(lines[first].start, shown.size());
    std::size_t end = line + 2 < lines.size() ? std::max(lines[line + 2].start, begin) : shown.size();
    return caretRectInText(shown.substr(begin, end - begin), index - std::min(index, begin), font, options, { origin.x, origin.y + top });
}

} // namespace morvix::platform
