#pragma once
// The developer console's log: styled, folded, filtered entries.

#include "core/base/LogEntry.h"
#include "platform/foundation/Utf16.h"
#include "platform/graphics/AttributedString.h"
#include "platform/ui/controls/TextView.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

namespace platform {
class SerialQueue;
}

/// How a paragraph of the log is set: the hanging indent that lines the message up behind its
/// marker, and the spacing around it.
struct LogParagraphStyle {
    /// Lines break between words (inside a word only when it is longer than the line).
    bool wrapsByCharacter = false;
    double firstLineHeadIndent = 0;
    double headIndent = 0;
    double lineSpacing = 1;
    double spacingBefore = 0;
    double spacingAfter = 0;
    bool operator==(const LogParagraphStyle&) const = default;
};

/// The log's text with its styles. Fonts and foreground colours are runs of `text`; background
/// colours and paragraph styles are kept beside it as byte ranges of `text`. Plain value type.
struct LogText {
    struct Background {
        std::size_t location = 0;
        std::size_t length = 0;
        platform::Color color;
        bool operator==(const Background&) const = default;
    };
    struct Paragraph {
        std::size_t location = 0;
        std::size_t length = 0;
        LogParagraphStyle style;
        bool operator==(const Paragraph&) const = default;
    };

    platform::AttributedString text;
    std::vector<Background> backgrounds;
    std::vector<Paragraph> paragraphs;

    /// `other` after this text, its ranges moved along.
    void append(const LogText& other);
    bool operator==(const LogText&) const = default;
};

/// The scrolling text of the developer console. It keeps every entry since the last clear and
/// shows those its filter lets through, one line each: a marker coloured by kind ("⊘ " error,
/// "! " warning, "> " info, debug and log), a "(n) " counter when the entry repeats the one
/// before it (counting only entries the filter shows), then the message, whose further lines
/// are indented to the marker's width.
///
/// Threads: `log` may be called from any thread; entries are taken in on the serial queue
/// "morvix.DeveloperConsole", which holds the view weakly. A recursive mutex guards the entries
/// and the filter. Every change of the shown text runs on the main thread: rendered lines are
/// merged there, in the order the entries were taken in, and a merge made before the latest
/// `clear` or `setFilter` is dropped, since that call rendered everything anew. `clear`,
/// `setFilter` and `didReceiveMemoryWarning` are for the main thread, like the rest.
class LogView final : public platform::TextView {
public:
    static constexpr const char* kQueueLabel = "morvix.DeveloperConsole";
    static constexpr const char* kLowMemoryMessage = "System is running low on memory!\nClearing console\u2026 keeping last 10 entries.";
    static constexpr std::size_t kEntriesKeptOnLowMemory = 10;
    static constexpr double kFontSize = 12;

    static std::shared_ptr<LogView> create();
    ~LogView() override;
    const char* className() const override { return "LogView"; }

    /// Takes the entry in on the queue. Any thread.
    void log(const LogEntry& entry);
    /// Every entry gone, the filter back to 0 (all), nothing shown.
    void clear();
    /// 0 shows every entry, 1 to 5 the entries of that kind; the log is rendered anew.
    void setFilter(unsigned filter);
    unsigned filter() const;
    /// Keeps the last 10 entries, adds a warning that says so, and shows everything (filter 0).
    void didReceiveMemoryWarning();
    bool autoScroll() const { return m_autoScroll; }
    void setAutoScroll(bool autoScroll) { m_autoScroll = autoScroll; }

    /// A copy of the entries, oldest first. Any thread.
    std::vector<LogEntry> logEntries() const;
    /// The text shown. Main thread.
    LogText attributedText() const;
    /// Where the last line stands in the text shown, in UTF-16 units. Main thread.
    platform::TextRange lastEntry() const { return m_lastEntry; }
    /// Waits for the entries already handed to `log` to be taken in (their merges may still be
    /// on their way to the main loop). Not from the queue.
    void flush();

    /// The line an entry renders as, with `count` repeats (a counter from 2 on).
    static LogText createLogEntryLine(const LogEntry& entry, unsigned long count);
    /// The message's pieces between line breaks (LF, VT, FF, CR, NEL, U+2028, U+2029).
    static std::vector<std::string> splitLines(const std::string& message);
    /// The marker's width in the bold font, rounded down: the indent of a message's later lines.
    static double indentForMarker(const std::string& marker);

    void draw(platform::GraphicsContext& context, const platform::Rect& rect) override;
    void layoutSubviews() override;

private:
    explicit LogView(const platform::Rect& frame);
    void takeIn(const LogEntry& entry);
    void printEntry(std::size_t index);
    unsigned long countOccurrences(std::size_t index) const;
    void render();
    void merge(LogText line, unsigned long count, unsigned generation);
    void removeLines();
    void showText();
    void scrollToBottom();
    void onMainThread(std::function<void()> work);

    mutable std::recursive_mutex m_mutex; // guards m_entries, m_filter and m_generation
    std::vector<LogEntry> m_entries;
    unsigned m_filter = 0;
    unsigned m_generation = 0;
    // The last entry the filter showed and the length of the run of equal entries it ends.
    std::optional<std::size_t> m_runEnd;
    unsigned long m_runCount = 0;
    bool m_autoScroll = true;
    // Main thread only: the rendered lines, their heights at the width they were laid out at,
    // the last line's place.
    std::vector<LogText> m_lines;
    std::vector<double> m_lineHeights;
    double m_layoutWidth = 0;
    double m_textHeight = 0;
    std::size_t m_textLength = 0; // UTF-16 units of all lines
    platform::TextRange m_lastEntry;
    std::shared_ptr<platform::SerialQueue> m_queue;
};

} // namespace morvix
