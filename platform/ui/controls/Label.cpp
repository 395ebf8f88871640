#include "platform/ui/controls/Label.h"

#include "platform/graphics/GraphicsContext.h"

#include <pango/pango.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace morvix::platform {

namespace {

// The grey of a disabled label's text.
constexpr float kDisabledGrey = 0.56f;

TextTruncation truncationFor(LineBreakMode mode)
{
    switch (mode) {
    case LineBreakMode::WordWrap:
    case LineBreakMode::CharWrap:
    case LineBreakMode::Clip:
        return TextTruncation::None;
    case LineBreakMode::TruncateHead:
        return TextTruncation::Head;
    case LineBreakMode::TruncateTail:
        return TextTruncation::Tail;
    case LineBreakMode::TruncateMiddle:
        return TextTruncation::Middle;
    }
    return TextTruncation::None;
}

// How far the ink of the laid out text reaches past its logical box on the right: a slanted
// last letter leans out of its advance.
double inkOverhang(const AttributedString& text, const TextLayout::Options& options)
{
    double inkRight = -std::numeric_limits<double>::infinity();
    double logicalRight = 0;
    TextLayout::forEachLine(text, options, [&](const TextLayout::Line& line, PangoLayoutLine* pangoLine) {
        PangoRectangle ink {};
        pango_layout_line_get_extents(pangoLine, &ink, nullptr);
        if (ink.width > 0)
            inkRight = std::max(inkRight, line.x + double(ink.x + ink.width) / PANGO_SCALE);
        logicalRight = std::max(logicalRight, line.x + line.width);
        return true;
    });
    double overhang = inkRight - logicalRight;
    return std::isfinite(overhang) ? std::max(overhang, 0.0) : 0.0;
}

} // namespace

std::shared_ptr<Label> Label::create(const Rect& frame)
{
    return std::shared_ptr<Label>(new Label(frame));
}

Label::Label(const Rect& frame)
    : View(frame)
    , m_font(Font::system(kDefaultFontSize))
{
    setUserInteractionEnabled(false);
    setOpaque(false);
}

void Label::textChanged()
{
    m_measured.clear();
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void Label::setText(std::string text)
{
    m_text = AttributedString(std::move(text));
    textChanged();
}

AttributedString Label::attributedText() const
{
    AttributedString result = m_text;
    for (const auto& run : m_text.runs()) {
        if (!run.attributes.font)
            result.setFont(m_font, run.location, run.length);
        if (!run.attributes.foregroundColor)
            result.setForegroundColor(m_textColor, run.location, run.length);
    }
    return result;
}

void Label::setAttributedText(AttributedString text)
{
    m_text = std::move(text);
    textChanged();
}

void Label::setFont(Font font)
{
    m_font = std::move(font);
    textChanged();
}

void Label::setTextColor(Color color)
{
    m_textColor = color;
    setNeedsDisplay();
}

void Label::setTextAlignment(TextAlignment alignment)
{
    m_alignment = alignment;
    setNeedsDisplay();
}

void Label::setNumberOfLines(int lines)
{
    m_numberOfLines = std::max(lines, 0);
    textChanged();
}

void Label::setLineBreakMode(LineBreakMode mode)
{
    m_lineBreakMode = mode;
    textChanged();
}

void Label::setPreferredMaxLayoutWidth(double width)
{
    m_preferredMaxLayoutWidth = std::max(width, 0.0);
    textChanged();
}

void Label::setEnabled(bool enabled)
{
    m_enabled = enabled;
    setNeedsDisplay();
}

TextLayout::Options Label::layoutOptions(std::optional<double> wrapWidth, int lines) const
{
    TextLayout::Options options;
    options.wrapWidth = wrapWidth;
    options.lineLimit = lines;
    options.alignment = m_alignment;
    options.wrap = m_lineBreakMode == LineBreakMode::CharWrap ? TextWrap::Character : TextWrap::Word;
    options.truncation = truncationFor(m_lineBreakMode);
    return options;
}

Label::MeasuredSize Label::measure(std::optional<double> wrapWidth, int lines) const
{
    if (m_text.empty())
        return { wrapWidth, lines, {}, 0 };
    if (const auto* known = keptSize(wrapWidth, lines))
        return *known;
    TextLayout::Options options = layoutOptions(wrapWidth, lines);
    std::optional<TextLayout> whole;
    AttributedString shown = tailTruncated(attributedText(), options, &whole);
    MeasuredSize measured { wrapWidth, lines, whole ? whole->size() : TextLayout(shown, options).size(), 0 };
    if (lines >= 1 && lines <= kInkLines)
        measured.overhang = inkOverhang(shown, options);
    if (m_measured.size() == kMeasuredSizes)
        m_measured.erase(m_measured.begin());
    m_measured.push_back(measured);
    return measured;
}

const Label::MeasuredSize* Label::keptSize(std::optional<double> wrapWidth, int lines) const
{
    for (const auto& kept : m_measured) {
        if (kept.wrapWidth == wrapWidth && kept.lines == lines)
            return &kept;
    }
    return nullptr;
}

Size Label::textSize(std::optional<double> wrapWidth, int lines) const
{
    return measure(wrapWidth, lines).size;
}

Size Label::naturalSize(std::optional<double> wrapWidth, int lines) const
{
    MeasuredSize measured = measure(wrapWidth, lines);
    return { std::ceil(measured.size.width + measured.overhang), std::ceil(measured.size.height) };
}

AttributedString Label::tailTruncated(const AttributedString& text, const TextLayout::Options& options,
    std::optional<TextLayout>* laidOut) const
{
    if (m_lineBreakMode != LineBreakMode::TruncateTail || options.lineLimit <= 0 || text.empty())
        return text;
    // Pango shortens each paragraph on its own, so a text whose later paragraphs fall past the
    // line limit would show no ellipsis at all. The text shown then ends where the last shown
    // line ends, followed by "…"; pango shortens that line further when the ellipsis does not
    // fit beside it.
    TextLayout layout(text, options);
    if (!layout.isCut() || layout.lines().empty()) {
        if (laidOut)
            *laidOut = std::move(layout);
        return text;
    }
    const std::string& characters = text.string();
    std::size_t end = std::min(layout.lines().back().end, characters.size());
    while (end > 0 && (characters[end - 1] == '\n' || characters[end - 1] == '\r'))
        --end;
    AttributedString shown = text;
    shown.erase(end, shown.length() - end);
    shown.append("\u2026", text.attributesAt(end > 0 ? end - 1 : 0));
    return shown;
}

Rect Label::textRect(const Rect& rect, int lines) const
{
    std::optional<double> wrap;
    if (rect.width() > 0)
        wrap = rect.width();
    Size size = textSize(wrap, std::max(lines, 0));
    return { rect.origin, { std::min(size.width, std::max(rect.width(), 0.0)), std::min(size.height, std::max(rect.height(), 0.0)) } };
}

Size Label::intrinsicContentSize() const
{
    std::optional<double> wrap;
    if (m_numberOfLines != 1 && m_preferredMaxLayoutWidth > 0)
        wrap = m_preferredMaxLayoutWidth;
    return naturalSize(wrap, m_numberOfLines);
}

Size Label::sizeThatFits(Size size) const
{
    std::optional<double> wrap;
    if (m_numberOfLines != 1 && size.width > 0)
        wrap = size.width;
    return naturalSize(wrap, m_numberOfLines);
}

std::pair<double, double> Label::textHeightAndAscent() const
{
    if (m_text.empty())
        return { m_font.lineHeight(), m_font.ascent() };
    std::optional<double> wrap;
    if (bounds().width() > 0)
        wrap = bounds().width();
    double textHeight = textSize(wrap, m_numberOfLines).height;
    return { textHeight, m_text.attributesAt(0).font.value_or(m_font).ascent() };
}

double Label::baselineOffsetFromBottom() const
{
    // The text is centred vertically: the first line's baseline lies one ascent below its top.
    double height = bounds().height();
    auto [textHeight, ascent] = textHeightAndAscent();
    double top = (height - textHeight) / 2;
    return height - (top + ascent);
}

View::BaselinePlacement Label::baselinePlacement() const
{
    auto [textHeight, ascent] = textHeightAndAscent();
    return { 0.5, ascent - textHeight / 2 };
}

int Label::drawnLineCount(const AttributedString& text, std::optional<double> wrapWidth, double height) const
{
    // No line is shorter than its font's size: more lines than this never show.
    double smallest = std::numeric_limits<double>::infinity();
    for (const auto& run : text.runs())
        smallest = std::min(smallest, run.attributes.font.value_or(m_font).pointSize());
    double most = std::ceil(height / std::max(smallest, 1.0)) + 1;
    int probe = most < double(std::numeric_limits<int>::max()) ? static_cast<int>(most) : std::numeric_limits<int>::max();
    if (m_numberOfLines != 0 && m_numberOfLines <= probe)
        return m_numberOfLines;
    // A text already measured (its natural size, for layout) that fits shows whole: a label as
    // tall as its text has nothing cut, however many lines the probe would lay out.
    if (const auto* known = keptSize(wrapWidth, m_numberOfLines); known && known->size.height <= height)
        return m_numberOfLines;
    TextLayout::Options options = layoutOptions(wrapWidth, probe);
    options.truncation = TextTruncation::None;
    TextLayout layout(text, options);
    if (!layout.isCut())
        return m_numberOfLines;
    // A line shows when at least half of it lies inside the bounds.
    int fitting = 0;
    double top = 0;
    for (const auto& line : layout.lines()) {
        if (top + line.height / 2 > height)
            break;
        top += line.height;
        ++fitting;
    }
    return std::max(fitting, 1);
}

void Label::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    Rect box = bounds();
    if (m_text.empty() || !(box.width() > 0) || !(box.height() > 0))
        return;
    AttributedString text = attributedText();
    if (!m_enabled)
        text.setForegroundColor(Color::fromRGBA(kDisabledGrey, kDisabledGrey, kDisabledGrey), 0, text.length());
    std::optional<double> wrap = box.width();
    int lines = drawnLineCount(text, wrap, box.height());
    // A clipped single line runs on past the edge instead of losing its last words; one that
    // fits keeps the wrap width, which alignment needs.
    if (m_lineBreakMode == LineBreakMode::Clip && m_numberOfLines == 1 && textSize(std::nullopt, 1).width > box.width()) {
        wrap = std::nullopt;
        lines = 1;
    }
    TextLayout::Options options = layoutOptions(wrap, lines);
    text = tailTruncated(text, options);
    // The height is the one measured for the natural size, kept until the text changes: a long
    // text is not measured again on every draw. Drawing lays out only the lines the clip shows.
    double textHeight = textSize(wrap, lines).height;
    context.save();
    context.clipToRect(box);
    context.drawText(text, options, { box.x(), box.y() + (box.height() - textHeight) / 2 });
    context.restore();
}

} // namespace morvix::platform
