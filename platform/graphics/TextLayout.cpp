#include "platform/graphics/TextLayout.h"

#include "platform/graphics/FontBackend.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace morvix::platform {

namespace {

guint16 colorChannel(float component)
{
    return static_cast<guint16>(std::lround(std::clamp(component, 0.0f, 1.0f) * 65535));
}

// A stretch of the text's bytes, from `begin` up to `end`.
struct Stretch {
    std::size_t begin = 0;
    std::size_t end = 0;
};

void addAttribute(PangoAttrList* list, PangoAttribute* attribute, std::size_t start, std::size_t end)
{
    attribute->start_index = static_cast<guint>(start);
    attribute->end_index = static_cast<guint>(end);
    pango_attr_list_insert(list, attribute);
}

void addAttributes(PangoAttrList* list, const TextAttributes& attributes, std::size_t start, std::size_t end)
{
    if (attributes.font)
        addAttribute(list, pango_attr_font_desc_new(attributes.font->pangoDescription()), start, end);
    if (const auto& color = attributes.foregroundColor) {
        addAttribute(list, pango_attr_foreground_new(colorChannel(color->red), colorChannel(color->green), colorChannel(color->blue)), start, end);
        addAttribute(list, pango_attr_foreground_alpha_new(colorChannel(color->alpha)), start, end);
    }
    if (attributes.underlineStyle && *attributes.underlineStyle != 0) {
        // A style of 9 asks for a double line; every other style draws a single one.
        auto underline = *attributes.underlineStyle == 9 ? PANGO_UNDERLINE_DOUBLE : PANGO_UNDERLINE_SINGLE;
        addAttribute(list, pango_attr_underline_new(underline), start, end);
    }
    if (attributes.strikethroughStyle && *attributes.strikethroughStyle != 0)
        addAttribute(list, pango_attr_strikethrough_new(TRUE), start, end);
}

// The attributes of the stretches laid end to end. The runs of each stretch are found by
// bisection, so that a piece of a text with many runs costs only the runs it covers.
PangoAttrList* attributeList(const AttributedString& text, const std::vector<Stretch>& stretches)
{
    PangoAttrList* list = pango_attr_list_new();
    const auto& runs = text.runs();
    std::size_t offset = 0;
    for (const Stretch& stretch : stretches) {
        auto run = std::partition_point(runs.begin(), runs.end(),
            [&](const AttributedString::Run& each) { return each.location + each.length <= stretch.begin; });
        for (; run != runs.end() && run->location < stretch.end; ++run) {
            std::size_t start = std::max(run->location, stretch.begin) - stretch.begin + offset;
            std::size_t end = std::min(run->location + run->length, stretch.end) - stretch.begin + offset;
            addAttributes(list, run->attributes, start, end);
        }
        offset += stretch.end - stretch.begin;
    }
    return list;
}

// Pango widths are ints in 1/1024 points; "no limit" is -1, and large widths are clamped so
// that the conversion cannot overflow.
int pangoWrapWidth(const std::optional<double>& wrapWidth)
{
    if (!wrapWidth || !std::isfinite(*wrapWidth) || *wrapWidth <= 0)
        return -1;
    double clamped = std::min(*wrapWidth, TextLayout::kMaximumWrapWidth);
    return std::max(1, static_cast<int>(clamped * PANGO_SCALE));
}

PangoAlignment pangoAlignment(TextAlignment alignment)
{
    switch (alignment) {
    case TextAlignment::Left:
        return PANGO_ALIGN_LEFT;
    case TextAlignment::Center:
        return PANGO_ALIGN_CENTER;
    case TextAlignment::Right:
        return PANGO_ALIGN_RIGHT;
    }
    return PANGO_ALIGN_LEFT;
}

PangoEllipsizeMode pangoEllipsize(TextTruncation truncation)
{
    switch (truncation) {
    case TextTruncation::None:
        return PANGO_ELLIPSIZE_NONE;
    case TextTruncation::Head:
        return PANGO_ELLIPSIZE_START;
    case TextTruncation::Middle:
        return PANGO_ELLIPSIZE_MIDDLE;
    case TextTruncation::Tail:
        return PANGO_ELLIPSIZE_END;
    }
    return PANGO_ELLIPSIZE_NONE;
}

// ---- How much of a text is laid out ----

// Pango's work on one layout grows with the square of its paragraphs and of the lines it
// breaks a paragraph into: for each line it shapes again the rest of the run, which is the rest
// of an unbroken word as much as of a paragraph of words. Layouts are therefore kept to a few
// lines each. Paragraphs are measured in groups of at most kPieceBytes bytes and
// kPieceParagraphs paragraphs, each paragraph of a group at most one piece long; a longer
// paragraph goes in windows of one piece. A piece is about kPieceLines lines by the bytes per
// line seen so far (at first, one byte per em of the wrap width), and at least kSmallestPiece
// bytes.
constexpr std::size_t kPieceBytes = 4096;
constexpr std::size_t kPieceParagraphs = 32;
constexpr std::size_t kPieceLines = 16;
constexpr std::size_t kSmallestPiece = 16;
// What a window held is believed up to this many times the first guess: lines of invisible
// characters would otherwise promise long lines, and the pieces after them would hold thousands
// of lines of visible ones. A script of many bytes an em only gets pieces of fewer lines.
constexpr double kMostBytesPerLineOverGuess = 4;
// What one line can hold: no character that shows is narrower than a tenth of its font's size
// or longer than four bytes (a line of zero-width characters is cut short, which is fine). An
// unwrapped line is laid out as far as several screens' width.
constexpr double kNarrowestCharacter = 0.1;
constexpr double kBytesPerCharacter = 4;
constexpr double kSmallestFontSize = 1;
constexpr double kUnwrappedLineWidth = 8192;
constexpr std::size_t kMinimumLineBytes = 256;
constexpr std::size_t kMaximumLineBytes = std::size_t(1) << 20;

// Counted for `TextLayout::statistics()`. Pango layouts are made under the font backend's
// lock, but the counts are read without it.
std::atomic<std::size_t> s_linesLaidOut = 0;
std::atomic<std::size_t> s_mostLinesInOneLayout = 0;

void countLayout(std::size_t lines)
{
    s_linesLaidOut.fetch_add(lines, std::memory_order_relaxed);
    std::size_t most = s_mostLinesInOneLayout.load(std::memory_order_relaxed);
    while (lines > most && !s_mostLinesInOneLayout.compare_exchange_weak(most, lines, std::memory_order_relaxed)) { }
}

std::size_t saturatingProduct(std::size_t a, std::size_t b)
{
    if (a != 0 && b > std::numeric_limits<std::size_t>::max() / a)
        return std::numeric_limits<std::size_t>::max();
    return a * b;
}

// `at` moved back to the start of the UTF-8 sequence it falls inside.
std::size_t characterStart(const std::string& text, std::size_t at)
{
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        --at;
    return at;
}

// Where the paragraph starting at `from` ends: at its delimiter (as pango's: a line feed, a
// carriage return, both, or U+2029), or at the end of the text.
std::size_t paragraphEnd(const std::string& text, std::size_t from)
{
    for (std::size_t at = from; at < text.size(); ++at) {
        char byte = text[at];
        if (byte == '\n' || byte == '\r')
            return at;
        if (byte == '\xE2' && text.compare(at, 3, "\u2029") == 0)
            return at;
    }
    return text.size();
}

// Just past the paragraph delimiter at `at`.
std::size_t delimiterEnd(const std::string& text, std::size_t at)
{
    if (text[at] == '\r')
        return at + 1 < text.size() && text[at + 1] == '\n' ? at + 2 : at + 1;
    return text[at] == '\n' ? at + 1 : at + 3;
}

// The smallest and the largest point size among the runs of `text`; a run without a font takes
// the size a layout gives it.
std::pair<double, double> pointSizeRange(const AttributedString& text)
{
    double smallest = std::numeric_limits<double>::infinity();
    double largest = 0;
    for (const auto& run : text.runs()) {
        double size = run.attributes.font ? run.attributes.font->pointSize() : 12.0;
        smallest = std::min(smallest, size);
        largest = std::max(largest, size);
    }
    return { smallest, largest };
}

// The bytes that one line `width` points wide can hold in the text's smallest font.
std::size_t lineBytes(const AttributedString& text, double width)
{
    double smallest = pointSizeRange(text).first;
    if (!(smallest >= kSmallestFontSize))
        smallest = kSmallestFontSize;
    double bytes = std::ceil(width / (smallest * kNarrowestCharacter)) * kBytesPerCharacter;
    if (!(bytes >= double(kMinimumLineBytes)))
        return kMinimumLineBytes;
    return bytes >= double(kMaximumLineBytes) ? kMaximumLineBytes : static_cast<std::size_t>(bytes);
}

bool isWrapped(const TextLayout::Options& options)
{
    return pangoWrapWidth(options.wrapWidth) > 0;
}

bool ellipsizes(const TextLayout::Options& options)
{
    return options.truncation != TextTruncation::None && isWrapped(options) && options.lineLimit > 0;
}

std::size_t lineBytes(const AttributedString& text, const TextLayout::Options& options)
{
    return lineBytes(text, isWrapped(options) ? std::min(*options.wrapWidth, TextLayout::kMaximumWrapWidth) : kUnwrappedLineWidth);
}

// The part of a text that is laid out: stretches of it laid end to end, and whether anything
// was left out. Offsets "into the excerpt" count the bytes of the stretches laid end to end.
class Excerpt {
public:
    void add(std::size_t begin, std::size_t end)
    {
        if (begin >= end)
            return;
        m_length += end - begin;
        if (!m_stretches.empty() && m_stretches.back().end == begin) {
            m_stretches.back().end = end;
            return;
        }
        m_starts.push_back(m_length - (end - begin));
        m_stretches.push_back({ begin, end });
    }
    const std::vector<Stretch>& stretches() const { return m_stretches; }
    std::string text(const std::string& source) const
    {
        std::string joined;
        joined.reserve(m_length);
        for (const Stretch& stretch : m_stretches)
            joined.append(source, stretch.begin, stretch.end - stretch.begin);
        return joined;
    }
    // The text's offset of the excerpt's `offset` taken as where something starts (at a junction
    // of two stretches, the start of the later one) or ends (the end of the earlier one).
    std::size_t start(std::size_t offset) const { return original(offset, false); }
    std::size_t end(std::size_t offset) const { return original(offset, true); }
    // The stretches of the text that the excerpt's bytes from `from` up to `to` come from.
    std::vector<Stretch> part(std::size_t from, std::size_t to) const
    {
        std::vector<Stretch> found;
        for (std::size_t i = stretchAt(from, false); i < m_stretches.size() && m_starts[i] < to; ++i) {
            std::size_t begin = m_stretches[i].begin + (std::max(from, m_starts[i]) - m_starts[i]);
            std::size_t end = m_stretches[i].begin + (std::min(to, m_starts[i] + length(i)) - m_starts[i]);
            if (begin < end)
                found.push_back({ begin, end });
        }
        return found;
    }

    bool cut = false;

private:
    std::size_t length(std::size_t index) const { return m_stretches[index].end - m_stretches[index].begin; }
    std::size_t stretchAt(std::size_t offset, bool atEnd) const
    {
        auto after = atEnd ? std::lower_bound(m_starts.begin(), m_starts.end(), offset) : std::upper_bound(m_starts.begin(), m_starts.end(), offset);
        return after == m_starts.begin() ? 0 : std::size_t(after - m_starts.begin()) - 1;
    }
    std::size_t original(std::size_t offset, bool atEnd) const
    {
        if (m_stretches.empty())
            return 0;
        std::size_t index = stretchAt(std::min(offset, m_length), atEnd);
        return m_stretches[index].begin + std::min(offset - std::min(offset, m_starts[index]), length(index));
    }

    std::vector<Stretch> m_stretches;
    std::vector<std::size_t> m_starts;
    std::size_t m_length = 0;
};

// What of `text` can show with `options` (see the class comment). The delimiter after each
// paragraph kept stays, so that an empty last paragraph takes the height of its own font.
Excerpt excerptOf(const AttributedString& text, const TextLayout::Options& options)
{
    Excerpt excerpt;
    const std::string& string = text.string();
    bool wrapped = isWrapped(options);
    std::size_t limit = options.lineLimit > 0 ? std::size_t(options.lineLimit) : 0;
    if (wrapped && limit == 0) {
        excerpt.add(0, string.size());
        return excerpt;
    }
    std::size_t line = lineBytes(text, options);
    bool keepsEnds = ellipsizes(options) && options.truncation != TextTruncation::Tail;
    std::size_t budget = wrapped ? saturatingProduct(limit, line) : 0;
    std::size_t position = 0;
    for (std::size_t paragraphs = 0; position < string.size() && (limit == 0 || paragraphs < limit); ++paragraphs) {
        std::size_t end = paragraphEnd(string, position);
        std::size_t length = end - position;
        if (!wrapped) {
            // One line per paragraph.
            excerpt.add(position, characterStart(string, position + std::min(length, line)));
            excerpt.cut |= length > line;
        } else if (keepsEnds) {
            // The last line shown stands for the rest of its paragraph, shortened at its start or
            // middle: it needs the paragraph's end.
            std::size_t head = budget;
            if (length <= head || length - head <= line) {
                excerpt.add(position, end);
            } else {
                excerpt.add(position, characterStart(string, position + head));
                excerpt.add(characterStart(string, end - line), end);
            }
        } else {
            std::size_t kept = std::min(length, budget);
            excerpt.add(position, characterStart(string, position + kept));
            budget -= kept;
            if (kept < length || budget == 0) {
                // A last line shortened with an ellipsis stands for the rest of its paragraph.
                position = kept < length && !ellipsizes(options) ? position + kept : end;
                break;
            }
        }
        position = end;
        if (end < string.size()) {
            position = delimiterEnd(string, end);
            excerpt.add(end, position);
        }
    }
    excerpt.cut |= position < string.size();
    return excerpt;
}

PangoLayout* newLayout(const AttributedString& text, const std::vector<Stretch>& stretches, const TextLayout::Options& options)
{
    std::string joined;
    for (const Stretch& stretch : stretches)
        joined.append(text.string(), stretch.begin, stretch.end - stretch.begin);
    PangoLayout* layout = pango_layout_new(FontBackend::context());
    pango_layout_set_font_description(layout, Font::system(12).pangoDescription());
    pango_layout_set_text(layout, joined.data(), static_cast<int>(joined.size()));
    PangoAttrList* attributes = attributeList(text, stretches);
    if (options.wrap == TextWrap::Character) {
        // Breaking after any character means no hyphen where a word is split.
        pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
    }
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
    pango_layout_set_wrap(layout, options.wrap == TextWrap::Character ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
    int width = pangoWrapWidth(options.wrapWidth);
    pango_layout_set_width(layout, width);
    if (ellipsizes(options)) {
        // A negative height is a number of lines per paragraph; the last of them is ellipsized.
        pango_layout_set_ellipsize(layout, pangoEllipsize(options.truncation));
        pango_layout_set_height(layout, -options.lineLimit);
    }
    pango_layout_set_alignment(layout, pangoAlignment(options.alignment));
    return layout;
}

// Where a line of `layout` stands between the left and the right of the layout box: 0 at the
// left, 1 at the right, 0.5 centred. As pango does, a right-to-left line takes the opposite
// side of the one asked for.
double alignmentFactor(PangoLayout* layout, PangoLayoutLine* line)
{
    PangoAlignment alignment = pango_layout_get_alignment(layout);
    if (alignment == PANGO_ALIGN_CENTER)
        return 0.5;
    bool flipped = pango_layout_get_auto_dir(layout) && line->resolved_dir == PANGO_DIRECTION_RTL;
    return (alignment == PANGO_ALIGN_RIGHT) != flipped ? 1 : 0;
}

// A line of one pango layout: its bytes in the layout's text, its metrics and pango's line.
struct LaidOutLine {
    std::size_t start = 0;
    std::size_t length = 0;
    double width = 0;
    double height = 0;
    double baseline = 0; // below the line's top
    double x = 0;        // within the layout's box
    double alignment = 0;
    PangoLayoutLine* line = nullptr;
};

// One pango layout and its lines, which live as long as it does.
class Piece {
public:
    explicit Piece(PangoLayout* layout)
        : m_layout(layout)
    {
        PangoLayoutIter* iterator = pango_layout_get_iter(layout);
        do {
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(iterator, nullptr, &logical);
            int top = 0;
            int bottom = 0;
            pango_layout_iter_get_line_yrange(iterator, &top, &bottom);
            PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iterator);
            lines.push_back({ static_cast<std::size_t>(std::max(line->start_index, 0)), static_cast<std::size_t>(std::max(line->length, 0)),
                double(logical.width) / PANGO_SCALE, double(bottom - top) / PANGO_SCALE,
                double(pango_layout_iter_get_baseline(iterator) - top) / PANGO_SCALE, double(logical.x) / PANGO_SCALE,
                alignmentFactor(layout, line), line });
        } while (pango_layout_iter_next_line(iterator));
        pango_layout_iter_free(iterator);
        countLayout(lines.size());
    }
    Piece(Piece&& other) noexcept
        : lines(std::move(other.lines))
        , m_layout(std::exchange(other.m_layout, nullptr))
    {
    }
    ~Piece()
    {
        if (m_layout)
            g_object_unref(m_layout);
    }
    Piece(const Piece&) = delete;
    Piece& operator=(const Piece&) = delete;
    Piece& operator=(Piece&&) = delete;

    std::vector<LaidOutLine> lines;

private:
    PangoLayout* m_layout;
};

// Where each line goes: a line as measured, with pango's line and its alignment factor.
using LineSink = std::function<bool(const TextLayout::Line&, PangoLayoutLine*, double alignment)>;

// Measures an excerpt piece by piece (see kPieceBytes) and hands each line to a sink. A long
// wrapped paragraph goes in windows: every line of a window but its last is as the whole
// paragraph would have it, since lines break greedily, and the next window starts where that
// last line starts.
class Measurement {
public:
    Measurement(const AttributedString& text, const Excerpt& excerpt, const TextLayout::Options& options, LineSink sink)
        : m_text(text)
        , m_excerpt(excerpt)
        , m_options(options)
        , m_sink(std::move(sink))
        , m_joined(excerpt.text(text.string()))
        , m_limit(options.lineLimit > 0 ? std::size_t(options.lineLimit) : 0)
        , m_lineBytes(lineBytes(text, options))
    {
        if (isWrapped(options)) {
            double em = std::max(pointSizeRange(text).second, kSmallestFontSize);
            m_bytesPerLineGuess = std::max(1.0, std::floor(std::min(*options.wrapWidth, TextLayout::kMaximumWrapWidth) / em));
            m_bytesPerLine = m_bytesPerLineGuess;
        }
    }

    void run()
    {
        std::size_t size = m_joined.size();
        std::size_t position = 0;
        while (position < size && hasRoom()) {
            std::size_t end = paragraphEnd(m_joined, position);
            if (isLong(position, end)) {
                measureLongParagraph(position, end);
                position = end < size ? delimiterEnd(m_joined, end) : size;
                if (end < size && position == size)
                    addLastOf(end, size); // the empty paragraph after a final line break
                continue;
            }
            std::size_t next = end < size ? delimiterEnd(m_joined, end) : size;
            for (std::size_t count = 1; next < size && count < kPieceParagraphs; ++count) {
                std::size_t nextEnd = paragraphEnd(m_joined, next);
                if (nextEnd - position > kPieceBytes || isLong(next, nextEnd))
                    break;
                next = nextEnd < size ? delimiterEnd(m_joined, nextEnd) : size;
            }
            // The group takes its last line break along, so that an empty paragraph takes the
            // height of its own font; the empty line pango makes after it belongs to the next
            // group, unless the text ends there.
            addAll(position, next, next < size);
            position = next;
        }
        cut |= position < size;
    }

    bool cut = false;

private:
    bool hasRoom() const
    {
        if (m_stopped || (m_limit != 0 && m_count >= m_limit))
            return false;
        return !(m_options.heightLimit && m_top >= *m_options.heightLimit);
    }

    // The bytes of a piece: about kPieceLines lines, more when a line is longer than a group.
    std::size_t pieceBytes() const
    {
        double bytes = m_bytesPerLine * double(kPieceLines);
        double most = std::max(double(kPieceBytes), 2 * m_bytesPerLine);
        return static_cast<std::size_t>(std::clamp(bytes, double(kSmallestPiece), most));
    }

    bool isLong(std::size_t from, std::size_t to) const { return isWrapped(m_options) && to - from > pieceBytes(); }

    Piece layOut(const std::vector<Stretch>& stretches, const TextLayout::Options& options) const
    {
        return Piece(newLayout(m_text, stretches, options));
    }

    void add(const LaidOutLine& line, std::size_t from, std::optional<std::size_t> end = std::nullopt)
    {
        std::size_t start = from + line.start;
        TextLayout::Line placed { line.width, line.height, m_top + line.baseline, m_excerpt.start(start),
            m_excerpt.end(end.value_or(start + line.length)), line.x };
        m_top += line.height;
        ++m_count;
        m_stopped = !m_sink(placed, line.line, line.alignment);
    }

    void addAll(std::size_t from, std::size_t to, bool dropLast)
    {
        Piece piece = layOut(m_excerpt.part(from, to), m_options);
        if (dropLast)
            piece.lines.pop_back();
        for (const auto& line : piece.lines) {
            if (!hasRoom()) {
                cut = true;
                return;
            }
            add(line, from);
        }
    }

    // Only the last line of the excerpt's bytes from `from` up to `to`.
    void addLastOf(std::size_t from, std::size_t to)
    {
        if (!hasRoom()) {
            cut = true;
            return;
        }
        Piece piece = layOut(m_excerpt.part(from, to), m_options);
        add(piece.lines.back(), from);
    }

    // The window of the paragraph's bytes from `start` up to `to` that holds a line and the
    // start of the next: a piece, or more when one line is longer. Its end and its layout.
    std::pair<std::size_t, Piece> window(std::size_t start, std::size_t to, const TextLayout::Options& options) const
    {
        for (std::size_t bytes = pieceBytes();; bytes *= 2) {
            std::size_t stop = to - start <= bytes ? to : characterStart(m_joined, start + bytes);
            Piece piece = layOut(m_excerpt.part(start, stop), options);
            if (stop == to || piece.lines.size() > 1)
                return { stop, std::move(piece) };
        }
    }

    void measureLongParagraph(std::size_t from, std::size_t to)
    {
        TextLayout::Options plain = m_options;
        plain.truncation = TextTruncation::None;
        std::size_t shown = 0;
        for (std::size_t start = from; start < to;) {
            auto [stop, piece] = window(start, to, plain);
            std::size_t complete = stop == to ? piece.lines.size() : piece.lines.size() - 1;
            for (std::size_t i = 0; i < complete; ++i, ++shown) {
                if (!hasRoom()) {
                    cut = true;
                    return;
                }
                if (ellipsizes(m_options) && shown + 1 == m_limit) {
                    addShortenedRest(start + piece.lines[i].start, to);
                    return;
                }
                add(piece.lines[i], start);
            }
            if (stop == to)
                return;
            // The next windows take as many lines as this one held.
            std::size_t next = piece.lines[complete].start;
            m_bytesPerLine = std::clamp(double(next) / double(complete), 1.0, kMostBytesPerLineOverGuess * m_bytesPerLineGuess);
            start += next;
        }
    }

    // The paragraph's last line allowed: the rest of it on one line, shortened with an ellipsis
    // (pango leaves a rest that fits as it is). Only what can show of the rest is laid out.
    void addShortenedRest(std::size_t from, std::size_t to)
    {
        TextLayout::Options oneLine = m_options;
        oneLine.lineLimit = 1;
        std::size_t head = std::min(to, from + m_lineBytes);
        std::vector<Stretch> stretches = m_excerpt.part(from, characterStart(m_joined, head));
        if (m_options.truncation != TextTruncation::Tail && head < to) {
            auto tail = m_excerpt.part(std::max(head, characterStart(m_joined, to - std::min(to - from, m_lineBytes))), to);
            stretches.insert(stretches.end(), tail.begin(), tail.end());
        }
        Piece piece = layOut(stretches, oneLine);
        add(piece.lines.front(), from, to);
    }

    const AttributedString& m_text;
    const Excerpt& m_excerpt;
    TextLayout::Options m_options;
    LineSink m_sink;
    std::string m_joined;
    std::size_t m_limit;
    std::size_t m_lineBytes;
    // Bytes per line: a guess from the wrap width at first, then what the last window held.
    double m_bytesPerLineGuess = 1;
    double m_bytesPerLine = 1;
    double m_top = 0;
    std::size_t m_count = 0;
    bool m_stopped = false;
};

// Whether `excerpt` is measured in one piece, so that pango places its lines as one layout of it
// would.
bool isOnePiece(const std::string& excerpt)
{
    if (excerpt.size() > kPieceBytes)
        return false;
    std::size_t paragraphs = 1;
    for (std::size_t at = 0; at < excerpt.size(); at = delimiterEnd(excerpt, at)) {
        at = paragraphEnd(excerpt, at);
        if (at == excerpt.size())
            break;
        ++paragraphs;
    }
    return paragraphs <= kPieceParagraphs;
}

} // namespace

PangoLayout* TextLayout::createPangoLayout(const AttributedString& text, const Options& options)
{
    PangoLayout* layout = newLayout(text, excerptOf(text, options).stretches(), options);
    countLayout(std::size_t(pango_layout_get_line_count(layout)));
    return layout;
}

TextLayout::TextLayout(const AttributedString& text, const Options& options)
{
    if (text.empty())
        return;
    Excerpt excerpt = excerptOf(text, options);
    auto lock = FontBackend::lock();
    std::vector<double> alignments;
    Measurement measurement(text, excerpt, options, [&](const Line& line, PangoLayoutLine*, double alignment) {
        m_lines.push_back(line);
        alignments.push_back(alignment);
        return true;
    });
    measurement.run();
    m_cut = excerpt.cut || measurement.cut;
    for (const auto& line : m_lines) {
        m_size.width = std::max(m_size.width, line.width);
        m_size.height += line.height;
    }
    // Without a wrap width pango aligns the lines within the widest of them, which a piece
    // knows only of its own lines.
    if (!isWrapped(options)) {
        for (std::size_t i = 0; i < m_lines.size(); ++i)
            m_lines[i].x = alignments[i] * (m_size.width - m_lines[i].width);
    }
}

void TextLayout::forEachLine(const AttributedString& text, const Options& options, const LineVisitor& visit)
{
    if (text.empty())
        return;
    Excerpt excerpt = excerptOf(text, options);
    auto lock = FontBackend::lock();
    // Unwrapped lines measured in several pieces are placed by the widest line of them all.
    std::optional<double> boxWidth;
    if (!isWrapped(options) && !isOnePiece(excerpt.text(text.string())))
        boxWidth = TextLayout(text, options).size().width;
    Measurement measurement(text, excerpt, options, [&](const Line& line, PangoLayoutLine* pangoLine, double alignment) {
        if (!boxWidth)
            return visit(line, pangoLine);
        Line placed = line;
        placed.x = alignment * (*boxWidth - line.width);
        return visit(placed, pangoLine);
    });
    measurement.run();
}

TextLayout::Statistics TextLayout::statistics()
{
    return { s_linesLaidOut.load(std::memory_order_relaxed), s_mostLinesInOneLayout.load(std::memory_order_relaxed) };
}

void TextLayout::resetStatistics()
{
    s_linesLaidOut.store(0, std::memory_order_relaxed);
    s_mostLinesInOneLayout.store(0, std::memory_order_relaxed);
}

} // namespace morvix::platform
