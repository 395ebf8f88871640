// The developer console's log view as a text model: folding repeats, the filter, the hanging
// indent, trimming on low memory, the last line's place in UTF-16 units, and entries logged
// from many threads while the main thread clears and filters.

#include "shell/LogView.h"

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace morvix {
namespace {

using Type = LogEntry::Type;

class LogViewTest : public ::testing::Test {
protected:
    // Logs the entries, then lets the queue take them in and the main loop merge them.
    void logAll(std::initializer_list<LogEntry> entries)
    {
        for (const auto& entry : entries)
            view->log(entry);
        settle();
    }
    void settle()
    {
        view->flush();
        harness.runUntilIdle();
    }
    std::string shown() const { return view->attributedText().text.string(); }
    // The text a fresh rendering of the view's entries under its filter gives.
    LogText freshRender()
    {
        auto fresh = LogView::create();
        fresh->setFilter(view->filter());
        for (const auto& entry : view->logEntries())
            fresh->log(entry);
        fresh->flush();
        harness.runUntilIdle();
        return fresh->attributedText();
    }

    platform::UITestHarness harness;
    std::shared_ptr<LogView> view = LogView::create();
};

TEST_F(LogViewTest, RepeatsFoldIntoOneLineWithACounterThatTheFilterDoesNotBreak)
{
    logAll({ { "boom", Type::Error }, { "boom", Type::Error }, { "boom", Type::Error } });
    EXPECT_EQ(shown(), "\u2298 (3) boom\n");
    auto text = view->attributedText();
    // The marker is bold with only its first character red; the counter is white on light
    // grey except its trailing blank; the message is regular, its line break without a font.
    auto bold = text.text.attributesAt(0).font;
    ASSERT_TRUE(bold);
    EXPECT_TRUE(bold->traits().bold);
    EXPECT_EQ(text.text.attributesAt(0).foregroundColor, platform::Color::fromRGBA(1, 0, 0));
    EXPECT_FALSE(text.text.attributesAt(3).foregroundColor) << "the marker's blank is not coloured";
    std::size_t counter = std::string("\u2298 ").size();
    ASSERT_EQ(text.backgrounds.size(), 1u);
    EXPECT_EQ(text.backgrounds[0].location, counter);
    EXPECT_EQ(text.backgrounds[0].length, 3u);
    EXPECT_EQ(text.text.attributesAt(counter).foregroundColor, platform::Color::white());
    EXPECT_FALSE(text.text.attributesAt(counter + 3).foregroundColor);
    EXPECT_FALSE(text.text.attributesAt(text.text.length() - 1).font);
    EXPECT_EQ(view->lastEntry(), (platform::TextRange { 0, 11 }));

    // An equal entry after a different one starts a new line.
    logAll({ { "other", Type::Error }, { "boom", Type::Error } });
    EXPECT_EQ(shown(), "\u2298 (3) boom\n\u2298 other\n\u2298 boom\n");

    // Under the "Warning" filter an info between two equal warnings is skipped, not counted
    // and not a break; without the filter the same entries make three lines.
    view->clear();
    logAll({ { "w", Type::Warning }, { "i", Type::Info }, { "w", Type::Warning } });
    EXPECT_EQ(shown(), "! w\n> i\n! w\n");
    view->setFilter(3);
    EXPECT_EQ(shown(), "! (2) w\n");
    view->setFilter(0);
    EXPECT_EQ(shown(), "! w\n> i\n! w\n");
}

TEST_F(LogViewTest, LaterLinesOfAMessageHangAtTheMarkersWidth)
{
    // CR LF makes an empty piece between them; NEL and U+2028 break too.
    EXPECT_EQ(LogView::splitLines("a\r\nb\u0085c\u2028d\x0b"), (std::vector<std::string> { "a", "", "b", "c", "d", "" }));
    logAll({ { "one\ntwo\nthree", Type::Info } });
    EXPECT_EQ(shown(), "> one\ntwo\nthree\n");
    auto text = view->attributedText();
    double indent = std::floor(platform::TextLayout(platform::AttributedString("> ", { .font = platform::Font::withName("Menlo-Bold", 12) }), {})
                                   .size()
                                   .width);
    EXPECT_GT(indent, 0);
    ASSERT_EQ(text.paragraphs.size(), 3u);
    // The first paragraph style runs from the line's start over the first piece's length.
    EXPECT_EQ(text.paragraphs[0].location, 0u);
    EXPECT_EQ(text.paragraphs[0].length, 3u);
    EXPECT_EQ(text.paragraphs[0].style.firstLineHeadIndent, 0);
    EXPECT_EQ(text.paragraphs[0].style.headIndent, indent);
    EXPECT_EQ(text.paragraphs[0].style.spacingBefore, 5);
    EXPECT_EQ(text.paragraphs[1].location, 6u);
    EXPECT_EQ(text.paragraphs[1].length, 3u);
    EXPECT_EQ(text.paragraphs[1].style.firstLineHeadIndent, indent);
    EXPECT_EQ(text.paragraphs[2].location, 10u);
    EXPECT_EQ(text.paragraphs[2].style.spacingBefore, 1);
}

TEST_F(LogViewTest, LowMemoryKeepsTheLastTenEntriesAndSaysSo)
{
    for (int index = 0; index < 25; ++index)
        view->log({ "entry " + std::to_string(index), Type::Log });
    settle();
    view->setFilter(4);
    view->didReceiveMemoryWarning();
    auto entries = view->logEntries();
    ASSERT_EQ(entries.size(), 11u);
    EXPECT_EQ(entries.front().message(), "entry 15");
    EXPECT_EQ(entries.back().message(), "System is running low on memory!\nClearing console\u2026 keeping last 10 entries.");
    EXPECT_EQ(entries.back().type(), Type::Warning);
    EXPECT_EQ(view->filter(), 0u) << "everything shows again";
    EXPECT_EQ(shown().substr(0, 11), "> entry 15\n");

    view->clear();
    logAll({ { "a", Type::Log }, { "b", Type::Log }, { "c", Type::Log }, { "d", Type::Log } });
    view->didReceiveMemoryWarning();
    EXPECT_EQ(view->logEntries().size(), 5u);
}

TEST_F(LogViewTest, TheLastLineIsCountedInUtf16Units)
{
    logAll({ { "\U0001F600", Type::Log } });
    // "> " + the emoji (two units) + "\n".
    EXPECT_EQ(view->lastEntry(), (platform::TextRange { 0, 5 }));
    logAll({ { "x", Type::Error }, { "x", Type::Error } });
    // "⊘ (2) x\n" is 8 units, after the first line's 5.
    EXPECT_EQ(view->lastEntry(), (platform::TextRange { 5, 8 }));
    EXPECT_EQ(shown(), "> \U0001F600\n\u2298 (2) x\n");
}

TEST_F(LogViewTest, EntriesFromManyThreadsEndAsAFreshRenderingAfterClearsAndFilters)
{
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 8; ++thread) {
        threads.emplace_back([this, thread] {
            std::mt19937 random(thread);
            for (int index = 0; index < 1000; ++index) {
                auto type = static_cast<Type>(1 + random() % 5);
                // Few distinct messages, so that repeats fold.
                view->log({ "m" + std::to_string(random() % 3), type });
            }
        });
    }
    for (int round = 0; round < 40; ++round) {
        if (round % 10 == 9)
            view->clear();
        else
            view->setFilter(round % 6);
        platform::MainLoop::main().runOnce();
    }
    for (auto& thread : threads)
        thread.join();
    view->setFilter(2);
    settle();
    view->log({ "last", Type::Info });
    view->log({ "last", Type::Info });
    settle();
    EXPECT_EQ(view->attributedText(), freshRender());
    EXPECT_EQ(shown().substr(shown().size() - 11), "> (2) last\n");
}

} // namespace
} // namespace morvix
