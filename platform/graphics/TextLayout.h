#pragma once
// Lines of attributed text laid out by pango.

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Size.h"

#include <cstddef>
#include <optional>
#include <vector>

struct _PangoLayout;

namespace morvix::platform {

enum class TextAlignment { Left, Center, Right };
/// Where lines break at the wrap width: between words (inside a word wider than the line), or
/// after any character.
enum class TextWrap { Word, Character };
/// Where a text cut short by the line limit is shortened with an ellipsis ("…").
enum class TextTruncation { None, Head, Middle, Tail };

/// Lays out an attributed string once, on construction, and keeps the results: the lines'
/// widths and heights and the logical size of the whole. Text breaks at line ends and, with a
/// wrap width, as `Options::wrap` says; `Options::truncation` ellipsizes what the line limit
/// cuts off. Runs without a font take `Font::system(12)`. Widths are fractional and independent
/// of any output device (see `FontBackend`).
///
/// Only as much of the text is laid out as can show: with a line limit, the first `lineLimit`
/// paragraphs and, of those, about as many bytes as that many lines of the wrap width could
/// hold in the smallest font of the text; without a wrap width, each paragraph (one line) is cut
/// to what a line of several screens' width could hold. A text shortened at its start or middle
/// keeps its end as well. Long texts are measured in pieces, so that the work grows with the
/// text and not faster: paragraphs in small groups, a long wrapped paragraph in windows of a few
/// lines. Plain value type; any thread.
class TextLayout {
public:
    struct Options {
        /// The width to wrap lines at; nothing, 0, a negative or a non-finite width means no
        /// wrapping. Widths beyond `kMaximumWrapWidth` are clamped to it.
        std::optional<double> wrapWidth;
        /// The most lines shown; 0 means no limit. Lines past the limit take no space.
        int lineLimit = 0;
        TextAlignment alignment = TextAlignment::Left;
        TextWrap wrap = TextWrap::Word;
        /// With a wrap width and a line limit, each paragraph is cut to `lineLimit` lines and
        /// the last one shown gives up characters at its start, middle or end for an ellipsis;
        /// with one line, a paragraph is not wrapped but shortened to the width. No effect
        /// without a wrap width or line limit.
        TextTruncation truncation = TextTruncation::None;
    };

    struct Line {
        double width = 0;
        double height = 0;
        /// The line's baseline below the top of the layout box.
        double baseline = 0;
        /// The bytes of the text the line stands for, from `start` up to `end`; the last line
        /// shortened with an ellipsis stands for the rest of its paragraph as laid out.
        std::size_t start = 0;
        std::size_t end = 0;
    };

    TextLayout(const AttributedString& text, const Options& options);

    /// The logical size: the widest line's width and the lines' total height. An empty text
    /// has size 0 by 0 and no lines.
    Size size() const { return m_size; }
    const std::vector<Line>& lines() const { return m_lines; }
    std::size_t lineCount() const { return m_lines.size(); }
    /// Whether text was left out after the last line: lines past the line limit, or the part of
    /// a long text beyond what can show. False for an empty text and for one laid out whole.
    bool isCut() const { return m_cut; }

    static constexpr double kMaximumWrapWidth = 1000000;

    /// A new pango layout of the part of `text` that can show, set up exactly as this class
    /// measures it (shared context, base font, attributes, wrapping, alignment), so that drawing
    /// matches measuring. Byte indices into the layout are indices into `text` up to where a
    /// text shortened at its start or middle leaves some out, and the layout's text may end
    /// before `text` does. The caller holds `FontBackend::lock()` while it uses the layout and
    /// releases it with `g_object_unref`.
    static _PangoLayout* createPangoLayout(const AttributedString& text, const Options& options);

private:
    std::vector<Line> m_lines;
    Size m_size;
    bool m_cut = false;
};

} // namespace morvix::platform
