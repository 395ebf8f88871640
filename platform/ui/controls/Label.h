#pragma once
// A view that shows a read-only text.

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/View.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace morvix::platform {

/// How a text too long for its space is cut. Values are the platform's.
///  - WordWrap: lines break between words (inside a word wider than the line); the lines past
///    the limit are left out.
///  - CharWrap: lines break after any character; the lines past the limit are left out.
///  - Clip: lines break between words; a single line is not wrapped but cut at the edge.
///  - TruncateHead, TruncateMiddle, TruncateTail: lines break between words and the last line
///    shown gives up characters at its start, middle or end for an ellipsis ("…"); with no line
///    limit nothing is truncated. With TruncateTail, a last shown line that ends a paragraph
///    ends with "…" too when further lines are cut off.
enum class LineBreakMode { WordWrap = 0, CharWrap = 1, Clip = 2, TruncateHead = 3, TruncateTail = 4, TruncateMiddle = 5 };

/// Shows a plain or attributed text in lines laid out by the fonts layer. The text is drawn
/// vertically centred in the bounds, aligned horizontally by `textAlignment`, wrapped at the
/// bounds' width and cut after `numberOfLines` lines (0: no limit) as `lineBreakMode` says
/// (a tail ellipsis by default). A text with more lines than the bounds could show in its
/// smallest font is cut, the same way, after the lines that fit (each at least half inside),
/// so that drawing lays out only what shows.
///
/// Plain text takes `font` and `textColor`; setting `attributedText` replaces the plain text, and
/// runs without a font or colour of their own take `font` and `textColor`. The natural size is
/// the text's size, rounded up to whole points, wrapped at `preferredMaxLayoutWidth` when that is
/// set (for several lines); an empty text has the natural size 0 by 0. For a label of at most
/// `kInkLines` lines the natural width also holds the ink that reaches past the text's advance
/// on the right (the overhang of a slanted last letter), so that a label sized to it shows its
/// last glyph whole. The baseline is that of the first line. Natural sizes are kept per width
/// and line count until the text or its layout settings change. Main thread only.
class Label : public View {
public:
    static constexpr double kDefaultFontSize = 17;
    /// The most lines whose ink the natural width holds (see the class comment): measuring ink
    /// lays the text out once more, which stays cheap only for a few lines.
    static constexpr int kInkLines = 4;

    static std::shared_ptr<Label> create(const Rect& frame = {});
    const char* className() const override { return "Label"; }

    /// The plain text (the attributed text's characters when that was set).
    const std::string& text() const { return m_text.string(); }
    void setText(std::string text);
    /// The text with the label's font and colour filled in where the runs have none.
    AttributedString attributedText() const;
    void setAttributedText(AttributedString text);
    const Font& font() const { return m_font; }
    void setFont(Font font);
    const Color& textColor() const { return m_textColor; }
    void setTextColor(Color color);
    TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(TextAlignment alignment);
    int numberOfLines() const { return m_numberOfLines; }
    /// Negative counts as 0 (no limit).
    void setNumberOfLines(int lines);
    LineBreakMode lineBreakMode() const { return m_lineBreakMode; }
    void setLineBreakMode(LineBreakMode mode);
    double preferredMaxLayoutWidth() const { return m_preferredMaxLayoutWidth; }
    void setPreferredMaxLayoutWidth(double width);
    bool isEnabled() const { return m_enabled; }
    /// A disabled label draws its text greyed out.
    void setEnabled(bool enabled);

    /// Where the text goes within `rect` when at most `lines` lines are shown (0: no limit): the
    /// size of the text wrapped at the rectangle's width (unwrapped for an empty or negative
    /// width), no larger than the rectangle, at the rectangle's origin.
    Rect textRect(const Rect& rect, int lines) const;

    Size intrinsicContentSize() const override;
    /// The text's size wrapped at `size.width` (when positive), rounded up to whole points.
    Size sizeThatFits(Size size) const override;
    double baselineOffsetFromBottom() const override;
    /// Half the height, plus the first line's ascent less half the text's height: the text is
    /// centred vertically.
    BaselinePlacement baselinePlacement() const override;
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit Label(const Rect& frame);

private:
    Size textSize(std::optional<double> wrapWidth, int lines) const;
    /// `textSize` with the ink's overhang on the right added to the width (see the class
    /// comment), rounded up to whole points.
    Size naturalSize(std::optional<double> wrapWidth, int lines) const;
    /// The text's height and its first line's ascent for the current width.
    std::pair<double, double> textHeightAndAscent() const;
    /// The lines `draw` lays out in `height` (see the class comment).
    int drawnLineCount(const AttributedString& text, std::optional<double> wrapWidth, double height) const;
    /// `text` as shown with the options: with truncate-tail and a line limit that cuts lines
    /// off, it ends where the last shown line ends, followed by "…".
    /// `laidOut`, when given, receives the layout this made of a text it left whole, so that a
    /// caller measuring the text need not lay it out again.
    AttributedString tailTruncated(const AttributedString& text, const TextLayout::Options& options,
        std::optional<TextLayout>* laidOut = nullptr) const;
    TextLayout::Options layoutOptions(std::optional<double> wrapWidth, int lines) const;
    void textChanged();

    AttributedString m_text { "" };
    Font m_font;
    Color m_textColor = Color::black();
    TextAlignment m_alignment = TextAlignment::Left;
    int m_numberOfLines = 1;
    LineBreakMode m_lineBreakMode = LineBreakMode::TruncateTail;
    double m_preferredMaxLayoutWidth = 0;
    bool m_enabled = true;

    /// Sizes measured since the text last changed, the latest last: layout passes ask for the
    /// same few again and again.
    struct MeasuredSize {
        std::optional<double> wrapWidth;
        int lines = 0;
        Size size;
        /// How far the ink reaches past the text's advance on the right; 0 when not measured.
        double overhang = 0;
    };
    MeasuredSize measure(std::optional<double> wrapWidth, int lines) const;
    /// The size kept for the width and line count; null when it has not been measured.
    const MeasuredSize* keptSize(std::optional<double> wrapWidth, int lines) const;
    static constexpr std::size_t kMeasuredSizes = 4;
    mutable std::vector<MeasuredSize> m_measured;
};

} // namespace morvix::platform
