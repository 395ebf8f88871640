#include "platform/graphics/TextLayout.h"

#include "platform/graphics/FontBackend.h"

#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

using namespace morvix::platform;

namespace {

AttributedString text(const std::string& string, double size = 14, FontTraits traits = {})
{
    return AttributedString(string, { .font = Font::system(size, traits) });
}

TextLayout::Options wrappedAt(double width)
{
    TextLayout::Options options;
    options.wrapWidth = width;
    return options;
}

bool ellipsized(const AttributedString& string, const TextLayout::Options& options)
{
    auto lock = FontBackend::lock();
    PangoLayout* layout = TextLayout::createPangoLayout(string, options);
    bool result = pango_layout_is_ellipsized(layout);
    g_object_unref(layout);
    return result;
}

} // namespace

// Expected widths are those of `pango-view --dpi=72 --margin=0 --hinting=none
// --subpixel-positions` on the same text, font and width (the picture's width is the logical
// width rounded up). Heights are the lines' ascent + descent from the face's own metrics, not
// rounded per line as with hinted metrics. tests/widgets/text/PangoViewComparisonTest.cpp
// runs pango-view itself.
TEST(TextLayoutTest, SingleLineSizeMatchesPangoView)
{
    TextLayout layout(text("Hello World"), {});
    EXPECT_EQ(layout.lineCount(), 1u);
    EXPECT_EQ(std::ceil(layout.size().width), 81);
    EXPECT_NEAR(layout.size().height, Font::system(14).lineHeight(), 0.01);
    EXPECT_NE(layout.size().width, std::floor(layout.size().width)); // unhinted, fractional

    TextLayout bold(text("Push", 16, { .bold = true }), {});
    EXPECT_EQ(std::ceil(bold.size().width), 45);
    EXPECT_EQ(std::ceil(bold.size().height), 19);
}

TEST(TextLayoutTest, WrapsBetweenWordsAndInsideOverlongWords)
{
    TextLayout words(text("The quick brown fox jumps over the lazy dog"), wrappedAt(100));
    EXPECT_EQ(words.lineCount(), 4u);
    EXPECT_LE(words.size().width, 100);
    EXPECT_NEAR(words.size().height, 4 * Font::system(14).lineHeight(), 0.01);

    TextLayout word(text("Incomprehensibilities"), wrappedAt(40));
    EXPECT_EQ(word.lineCount(), 5u);
    EXPECT_LE(word.size().width, 40);
    EXPECT_NEAR(word.size().height, 5 * Font::system(14).lineHeight(), 0.01);
}

TEST(TextLayoutTest, NoWrapWidthMeansOneLinePerParagraph)
{
    double single = TextLayout(text("The quick brown fox jumps over the lazy dog"), {}).size().width;
    for (double width : { 0.0, -1.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN() })
        EXPECT_EQ(TextLayout(text("The quick brown fox jumps over the lazy dog"), wrappedAt(width)).size().width, single);
    // A width far beyond pango's integer range is clamped, not overflowed.
    EXPECT_EQ(TextLayout(text("The quick brown fox"), wrappedAt(std::numeric_limits<double>::max())).lineCount(), 1u);
    EXPECT_EQ(TextLayout(text("one\ntwo"), {}).lineCount(), 2u);
}

TEST(TextLayoutTest, LineLimitDropsLaterLines)
{
    TextLayout::Options options = wrappedAt(100);
    options.lineLimit = 2;
    TextLayout limited(text("The quick brown fox jumps over the lazy dog"), options);
    EXPECT_EQ(limited.lineCount(), 2u);
    EXPECT_NEAR(limited.size().height, 2 * Font::system(14).lineHeight(), 0.01);
}

TEST(TextLayoutTest, TruncationEllipsizesTheLastLineShownAndCharacterWrapBreaksInsideWords)
{
    auto sentence = text("The quick brown fox jumps over the lazy dog");
    TextLayout::Options options = wrappedAt(100);
    options.lineLimit = 1;
    TextLayout words(sentence, options);
    EXPECT_FALSE(ellipsized(sentence, options)) << "word wrap drops what follows the first line";
    for (auto truncation : { TextTruncation::Head, TextTruncation::Middle, TextTruncation::Tail }) {
        options.truncation = truncation;
        TextLayout truncated(sentence, options);
        EXPECT_EQ(truncated.lineCount(), 1u);
        EXPECT_LE(truncated.size().width, 100);
        EXPECT_TRUE(ellipsized(sentence, options)) << static_cast<int>(truncation);
    }
    options.lineLimit = 2;
    EXPECT_EQ(TextLayout(sentence, options).lineCount(), 2u);
    EXPECT_TRUE(ellipsized(sentence, options)) << "the second line is shortened";
    options.lineLimit = 0;
    EXPECT_EQ(TextLayout(sentence, options).lineCount(), 4u) << "no limit, nothing to truncate";
    EXPECT_FALSE(ellipsized(sentence, options));

    options = wrappedAt(100);
    options.wrap = TextWrap::Character;
    TextLayout characters(sentence, options);
    TextLayout wordWrapped(sentence, wrappedAt(100));
    EXPECT_GT(characters.lines()[0].width, wordWrapped.lines()[0].width) << "the first line is filled up to the width";
    EXPECT_LE(characters.size().width, 100);
}

TEST(TextLayoutTest, RunsKeepTheirOwnFonts)
{
    AttributedString mixed;
    mixed.append("small ", { .font = Font::system(10) });
    mixed.append("BIG", { .font = Font::system(30) });
    TextLayout layout(mixed, {});
    double smallOnly = TextLayout(AttributedString("small ", { .font = Font::system(10) }), {}).size().width;
    double bigOnly = TextLayout(AttributedString("BIG", { .font = Font::system(30) }), {}).size().width;
    EXPECT_NEAR(layout.size().width, smallOnly + bigOnly, 0.01);
    EXPECT_NEAR(layout.size().height, Font::system(30).lineHeight(), 0.5);
}

TEST(TextLayoutTest, EmptyTextHasNoSize)
{
    TextLayout layout(AttributedString(), {});
    EXPECT_EQ(layout.size(), Size {});
    EXPECT_EQ(layout.lineCount(), 0u);
}

TEST(TextLayoutTest, LayoutsFromSeveralThreadsAgree)
{
    // Pango is not thread-safe; the font backend's lock makes concurrent layouts safe.
    Size expected = TextLayout(text("Hello World"), wrappedAt(50)).size();
    std::vector<Size> sizes(4);
    std::vector<std::thread> threads;
    for (std::size_t index = 0; index < sizes.size(); ++index) {
        threads.emplace_back([&sizes, index] {
            for (int round = 0; round < 20; ++round)
                TextLayout(text("Hello World", 10 + round), wrappedAt(50));
            sizes[index] = TextLayout(text("Hello World"), wrappedAt(50)).size();
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (const auto& size : sizes)
        EXPECT_EQ(size, expected);
}
