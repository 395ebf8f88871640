#include "shell/LogView.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/TextLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace morvix {

using platform::AttributedString;
using platform::Color;
using platform::Font;
using platform::TextAttributes;

namespace {

// The fonts are never destroyed: the rendering queue may still be laying out an entry while the
// process exits and runs the destructors of function statics.
const Font& regularFont()
{
    static const Font& font = *new Font(Font::withName("Menlo-Regular", LogView::kFontSize).value_or(Font::system(LogView::kFontSize)));
    return font;
}

const Font& boldFont()
{
    static const Font& font
        = *new Font(Font::withName("Menlo-Bold", LogView::kFontSize).value_or(Font::system(LogView::kFontSize, { .bold = true })));
    return font;
}

Color orange()
{
    return Color::fromRGBA(1, 0.5f, 0);
}

Color lightGray()
{
    return Color::fromRGBA(2 / 3.0f, 2 / 3.0f, 2 / 3.0f);
}

struct Marker {
    const char* text;
    Color color;
};

Marker markerFor(LogEntry::Type type)
{
    switch (type) {
    case LogEntry::Type::Error:
        return { "\u2298 ", Color::fromRGBA(1, 0, 0) };
    case LogEntry::Type::Warning:
        return { "! ", orange() };
    case LogEntry::Type::Info:
        return { "> ", Color::fromRGBA(22 / 255.0f, 126 / 255.0f, 251 / 255.0f) };
    case LogEntry::Type::Debug:
        return { "> ", orange() };
    case LogEntry::Type::Log:
        break;
    }
    return { "> ", lightGray() };
}

// The byte length of the UTF-8 character that starts `text`.
std::size_t firstCharacterLength(std::string_view text)
{
    if (text.empty())
        return 0;
    auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return std::min(length, text.size());
}

// The bytes [location, location + length) of `text`, with their attributes.
AttributedString slice(const AttributedString& text, std::size_t location, std::size_t length)
{
    AttributedString part = text;
    if (location + length < part.length())
        part.erase(location + length, part.length());
    part.erase(0, location);
    return part;
}

// Lines break between words, and inside a word only where it is longer than the line.
platform::TextLayout::Options wrapping(double width)
{
    platform::TextLayout::Options options;
    options.wrapWidth = std::max(width, 1.0);
    options.wrap = platform::TextWrap::Word;
    return options;
}

// One line's layout in a view of `width`: its pieces (between the added line breaks), each at
// the indent, except the first piece's marker at the left edge.
struct LineLayout {
    struct Piece {
        AttributedString text;
        double top = 0;
        double height = 0;
    };
    AttributedString marker;
    double indent = 0;
    std::vector<Piece> pieces;
    double height = 0;
};

LineLayout layoutLine(const LogText& line, double width)
{
    LineLayout layout;
    const std::string& text = line.text.string();
    std::size_t markerEnd = std::min(text.find(' '), text.size());
    markerEnd = markerEnd == text.size() ? 0 : markerEnd + 1;
    layout.marker = slice(line.text, 0, markerEnd);
    layout.indent = line.paragraphs.empty() ? 0 : line.paragraphs.back().style.headIndent;
    std::size_t start = markerEnd;
    double y = 0;
    bool first = true;
    while (start < text.size()) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        LineLayout::Piece piece;
        piece.text = slice(line.text, start, end - start);
        y += first ? 5 : 1; // the paragraphs' spacing before
        piece.top = y;
        platform::TextLayout measured(piece.text.empty() ? AttributedString(" ", { .font = regularFont() }) : piece.text,
            wrapping(width - layout.indent));
        piece.height = measured.size().height;
        y += piece.height;
        layout.pieces.push_back(std::move(piece));
        start = end + 1;
        first = false;
    }
    layout.height = y;
    return layout;
}

// The view as its tasks and main-thread hand-offs hold it: empty once its destruction began (a
// task that the destructor waits for may still ask).
std::weak_ptr<LogView> weakOf(LogView& view)
{
    return std::static_pointer_cast<LogView>(view.weak_from_this().lock());
}

} // namespace

void LogText::append(const LogText& other)
{
    std::size_t offset = text.length();
    text.append(other.text);
    for (auto background : other.backgrounds) {
        background.location += offset;
        backgrounds.push_back(background);
    }
    for (auto paragraph : other.paragraphs) {
        paragraph.location += offset;
        paragraphs.push_back(paragraph);
    }
}

std::shared_ptr<LogView> LogView::create()
{
    return std::shared_ptr<LogView>(new LogView({}));
}

LogView::LogView(const platform::Rect& frame)
    : TextView(frame)
    , m_queue(std::make_shared<platform::SerialQueue>(kQueueLabel))
{
    setTranslatesAutoresizingMaskIntoConstraints(false);
    setContentInset({ 1, 0, 1, 0 });
    setShowsHorizontalScrollIndicator(false);
    setShowsVerticalScrollIndicator(true);
    setAlwaysBounceVertical(true);
    setAlwaysBounceHorizontal(false);
    setScrollEnabled(true);
    setEditable(false);
}

LogView::~LogView()
{
    // The queue goes first: its destruction waits for the task under way, which may still use
    // every member. Tasks hold the view by address, not by reference count, so that the last
    // owner never lets go on the queue's own thread and a process that ends with its owner gone
    // never finds that thread still laying text out while the libraries' exit handlers run.
    m_queue.reset();
}

void LogView::log(const LogEntry& entry)
{
    m_queue->async([this, entry] { takeIn(entry); });
}

void LogView::flush()
{
    m_queue->flush();
}

void LogView::takeIn(const LogEntry& entry)
{
    std::lock_guard lock(m_mutex);
    m_entries.push_back(entry);
    printEntry(m_entries.size() - 1);
    scrollToBottom();
}

void LogView::clear()
{
    std::lock_guard lock(m_mutex);
    setFilter(0);
    m_entries.clear();
    m_runEnd.reset();
    ++m_generation;
    onMainThread([weak = weakOf(*this)] {
        if (auto self = weak.lock())
            self->removeLines();
    });
}

void LogView::setFilter(unsigned filter)
{
    std::lock_guard lock(m_mutex);
    m_filter = filter;
    render();
    scrollToBottom();
}

unsigned LogView::filter() const
{
    std::lock_guard lock(m_mutex);
    return m_filter;
}

std::vector<LogEntry> LogView::logEntries() const
{
    std::lock_guard lock(m_mutex);
    return m_entries;
}

void LogView::didReceiveMemoryWarning()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_entries.size() > kEntriesKeptOnLowMemory)
            m_entries.erase(m_entries.begin(), m_entries.end() - kEntriesKeptOnLowMemory);
        m_entries.emplace_back(kLowMemoryMessage, LogEntry::Type::Warning);
    }
    setFilter(0);
}

// MARK: Rendering

void LogView::render()
{
    // Merges posted before this render carry an older generation and are dropped.
    ++m_generation;
    m_runEnd.reset();
    unsigned generation = m_generation;
    onMainThread([weak = weakOf(*this), generation] {
        auto self = weak.lock();
        if (!self)
            return;
        std::lock_guard lock(self->m_mutex);
        if (self->m_generation == generation)
            self->removeLines();
    });
    for (std::size_t index = 0; index < m_entries.size(); ++index)
        printEntry(index);
}

void LogView::printEntry(std::size_t index)
{
    const LogEntry& entry = m_entries[index];
    if (m_filter != 0 && m_filter != static_cast<unsigned>(entry.type()))
        return;
    unsigned long count = countOccurrences(index);
    m_runEnd = index;
    m_runCount = count;
    LogText line = createLogEntryLine(entry, count);
    unsigned generation = m_generation;
    onMainThread([weak = weakOf(*this), line = std::move(line), count,
                     generation]() mutable {
        if (auto self = weak.lock())
            self->merge(std::move(line), count, generation);
    });
}

unsigned long LogView::countOccurrences(std::size_t index) const
{
    // The run of equal entries that ends with this one, counting only what the filter shows:
    // one more than the run that ended at the last entry shown, when that one is equal. Kept
    // as it goes, so that a long run of repeats costs no more than other entries.
    if (m_runEnd && *m_runEnd < index && m_entries[*m_runEnd].isEqualToLogEntry(m_entries[index]))
        return m_runCount + 1;
    return 1;
}

void LogView::merge(LogText line, unsigned long count, unsigned generation)
{
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_generation)
            return;
    }
    double height = m_layoutWidth > 0 ? layoutLine(line, m_layoutWidth).height : 0;
    std::size_t length = platform::utf16::length(line.text.string());
    if (count >= 2 && !m_lines.empty()) {
        m_textHeight -= m_lineHeights.back();
        m_textLength -= m_lastEntry.length;
        m_lines.back() = std::move(line);
        m_lineHeights.back() = height;
    } else {
        m_lines.push_back(std::move(line));
        m_lineHeights.push_back(height);
    }
    m_textHeight += height;
    m_textLength += length;
    m_lastEntry = { m_textLength - length, length };
    showText();
}

void LogView::removeLines()
{
    m_lines.clear();
    m_lineHeights.clear();
    m_textHeight = 0;
    m_textLength = 0;
    m_lastEntry = {};
    showText();
}

void LogView::showText()
{
    setContentSize({ bounds().width(), m_textHeight });
    setNeedsDisplay();
}

LogText LogView::attributedText() const
{
    LogText all;
    for (const auto& line : m_lines)
        all.append(line);
    return all;
}

void LogView::scrollToBottom()
{
    if (!m_autoScroll)
        return;
    onMainThread([weak = weakOf(*this)] {
        auto self = weak.lock();
        if (!self)
            return;
        double bottom = self->contentSize().height + self->contentInset().bottom - self->bounds().height();
        self->setContentOffset({ 0, std::max(-self->contentInset().top, bottom) });
        // Switching scrolling off and on stops a scroll animation that would carry it away.
        self->setScrollEnabled(false);
        self->setScrollEnabled(true);
    });
}

void LogView::onMainThread(std::function<void()> work)
{
    if (platform::MainLoop::main().isMainThread()) {
        work();
        return;
    }
    platform::MainLoop::main().post(std::move(work));
}

// MARK: Lines

std::vector<std::string> LogView::splitLines(const std::string& message)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t index = 0; index < message.size();) {
        std::size_t width = 0;
        auto byte = static_cast<unsigned char>(message[index]);
        if (byte == '\n' || byte == '\v' || byte == '\f' || byte == '\r')
            width = 1;
        else if (message.compare(index, 2, "\u0085") == 0)
            width = 2;
        else if (message.compare(index, 3, "\u2028") == 0 || message.compare(index, 3, "\u2029") == 0)
            width = 3;
        if (width == 0) {
            ++index;
            continue;
        }
        pieces.push_back(message.substr(start, index - start));
        index += width;
        start = index;
    }
    pieces.push_back(message.substr(start));
    return pieces;
}

double LogView::indentForMarker(const std::string& marker)
{
    platform::TextLayout measured(AttributedString(marker, { .font = boldFont() }), {});
    return std::floor(measured.size().width);
}

LogText LogView::createLogEntryLine(const LogEntry& entry, unsigned long count)
{
    LogText line;
    Marker marker = markerFor(entry.type());
    std::string markerText = marker.text;
    line.text.append(markerText, { .font = boldFont() });
    line.text.setForegroundColor(marker.color, 0, firstCharacterLength(markerText));
    // Three markers, measured once each.
    static const double errorIndent = indentForMarker("\u2298 ");
    static const double warningIndent = indentForMarker("! ");
    static const double otherIndent = indentForMarker("> ");
    double indent = markerText == "! " ? warningIndent : markerText == "> " ? otherIndent : errorIndent;

    if (count >= 2) {
        char counter[32];
        std::snprintf(counter, sizeof counter, "(%lu) ", count);
        std::size_t at = line.text.length();
        std::string text = counter;
        line.text.append(text.substr(0, text.size() - 1), { .font = regularFont(), .foregroundColor = Color::white() });
        line.text.append(" ", { .font = regularFont() });
        line.backgrounds.push_back({ at, text.size() - 1, lightGray() });
    }

    LogParagraphStyle first { .headIndent = indent, .spacingBefore = 5 };
    LogParagraphStyle others { .firstLineHeadIndent = indent, .headIndent = indent, .spacingBefore = 1 };
    bool isFirst = true;
    for (const auto& piece : splitLines(entry.message())) {
        std::size_t at = line.text.length();
        line.text.append(piece, { .font = regularFont() });
        line.text.append("\n", {});
        if (isFirst)
            line.paragraphs.push_back({ 0, piece.size(), first });
        else
            line.paragraphs.push_back({ at, piece.size(), others });
        isFirst = false;
    }
    return line;
}

// MARK: Drawing

void LogView::layoutSubviews()
{
    TextView::layoutSubviews();
    double width = bounds().width();
    if (width == m_layoutWidth)
        return;
    // A new width wraps every line anew.
    m_layoutWidth = width;
    m_textHeight = 0;
    for (std::size_t index = 0; index < m_lines.size(); ++index) {
        m_lineHeights[index] = width > 0 ? layoutLine(m_lines[index], width).height : 0;
        m_textHeight += m_lineHeights[index];
    }
    setContentSize({ width, m_textHeight });
}

void LogView::draw(platform::GraphicsContext& context, const platform::Rect&)
{
    platform::Rect box = bounds();
    double width = box.width();
    double y = contentInset().top;
    context.save();
    context.clipToRect(box);
    for (std::size_t index = 0; index < m_lines.size(); ++index) {
        const LogText& line = m_lines[index];
        if (y + m_lineHeights[index] < box.minY() || y > box.maxY()) {
            y += m_lineHeights[index];
            continue;
        }
        LineLayout layout = layoutLine(line, width);
        {
            if (!layout.pieces.empty())
                context.drawText(layout.marker, {}, { 0, y + layout.pieces.front().top });
            std::size_t markerEnd = layout.marker.length();
            for (const auto& background : line.backgrounds) {
                double x = platform::TextLayout(slice(line.text, markerEnd, background.location - markerEnd), {}).size().width;
                auto size = platform::TextLayout(slice(line.text, background.location, background.length), {}).size();
                context.setFillColor(background.color);
                context.fillRect({ layout.indent + x, y + layout.pieces.front().top, size.width, size.height });
            }
            for (const auto& piece : layout.pieces)
                context.drawText(piece.text, wrapping(width - layout.indent), { layout.indent, y + piece.top });
        }
        y += layout.height;
    }
    context.restore();
}

} // namespace morvix
