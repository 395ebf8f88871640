#pragma once
// Lines of attributed text laid out by pango.

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Size.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

struct _PangoLayout;
struct _PangoLayoutLine;

namespace morvix::platform {

enum class TextAlignment { Left, Center, Right };
/// Where lines break at the wrap width: between words (inside a word wider than the line), or
/// after any character.
enum class TextWrap { Word, Character };
/// Where a text cut short by the line limit is shortened with an ellipsis ("…").
enum class TextTruncation { None, Head, Middle, Tail };

/// Lays out an attributed string once, on construction, and keeps the results: the lines'
/// widths, heights and places and the logical size of the whole. Text breaks at line ends and,
/// with a wrap width, as `Options::wrap` says; `Options::truncation` ellipsizes what the line
/// limit cuts off. Runs without a font take `Font::system(12)`. Widths are fractional and
/// independent of any output device (see `FontBackend`).
///
/// Only as much of the text is laid out as can show: with a line limit, the first `lineLimit`
/// paragraphs and, of those, about as many bytes as that many lines of the wrap width could
/// hold in the smallest font of the text; without a wrap width, each paragraph (one line) is cut
/// to what a line of several screens' width could hold; with a height limit, the lines down to
/// it. A text shortened at its start or middle keeps its end as well. Long texts are measured in
/// pieces of a few lines each, so that the work grows with the text and not faster: short
/// paragraphs in small groups, a long paragraph (an unbroken word as much as one of many words)
/// in windows. Lines break greedily, so every line of a window but its last is as pango would
/// break the whole paragraph, and the next window starts where that last line starts. Plain
/// value type; any thread.
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
        /// Lines that would start at or below this height are left out, unshortened, and not
        /// laid out: for text drawn into bounds or a clip that shows only its top. Nothing
        /// means no limit; NaN counts as none.
        std::optional<double> heightLimit = std::nullopt;
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
        /// The line's left edge from the left of the layout box, as its alignment places it:
        /// within the wrap width, or, without one, within the widest line.
        double x = 0;
    };

    TextLayout(const AttributedString& text, const Options& options);

    /// The logical size: the widest line's width and the lines' total height. An empty text
    /// has size 0 by 0 and no lines.
    Size size() const { return m_size; }
    const std::vector<Line>& lines() const { return m_lines; }
    std::size_t lineCount() const { return m_lines.size(); }
    /// Whether text was left out after the last line: lines past the line or height limit, or
    /// the part of a long text beyond what can show. False for an empty text and for one laid
    /// out whole.
    bool isCut() const { return m_cut; }

    static constexpr double kMaximumWrapWidth = 1000000;

    /// Hands the lines of `text` to `visit` one by one, in order, laid out piece by piece exactly
    /// as the constructor measures them, with pango's line for drawing; the pango line lives only
    /// during the call. Laying out stops as soon as `visit` returns false, so a caller that wants
    /// only the first lines pays for those alone. The lines of a text without a wrap width are
    /// placed within the widest of the lines the options let show, as a `TextLayout` of the same
    /// text and options places them. Takes `FontBackend::lock()` for the whole walk.
    using LineVisitor = std::function<bool(const Line& line, _PangoLayoutLine* pangoLine)>;
    static void forEachLine(const AttributedString& text, const Options& options, const LineVisitor& visit);

    /// What pango has laid out for this class since the process started, all threads together:
    /// the lines, and the most lines of any one pango layout. A layout's work grows with the
    /// square of its lines, so tests check both to see that text is laid out only as far as it
    /// shows, in small pieces.
    struct Statistics {
        std::size_t lines = 0;
        std::size_t mostLinesInOneLayout = 0;
    };
    static Statistics statistics();
    /// Starts the counts of `statistics()` again from 0.
    static void resetStatistics();

    /// A new pango layout of the part of `text` that can show, set up exactly as this class
    /// measures it (shared context, base font, attributes, wrapping, alignment), for the places
    /// of characters in a few lines (a caret, the ink of a short label): it is one layout, whose
    /// work grows with the square of its lines, and the height limit does not apply. Byte indices into the layout are indices into `text` up to where a
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
