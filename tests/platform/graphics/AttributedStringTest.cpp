#include "platform/graphics/AttributedString.h"

#include <gtest/gtest.h>

using namespace morvix::platform;

namespace {

TextAttributes red()
{
    return { .foregroundColor = Color::fromRGBA(1, 0, 0) };
}

TextAttributes underlined()
{
    return { .underlineStyle = 1 };
}

} // namespace

TEST(AttributedStringTest, AdjacentRunsWithEqualAttributesAreJoined)
{
    AttributedString text;
    text.append("ab", red());
    text.append("", underlined());
    text.append("cd", red());
    text.append("ef", underlined());
    ASSERT_EQ(text.runs().size(), 2u);
    EXPECT_EQ(text.runs()[0], (AttributedString::Run { 0, 4, red() }));
    EXPECT_EQ(text.runs()[1], (AttributedString::Run { 4, 2, underlined() }));
    EXPECT_EQ(text.string(), "abcdef");
    EXPECT_EQ(text.attributesAt(5), underlined());
    EXPECT_EQ(text.attributesAt(6), TextAttributes {});
}

TEST(AttributedStringTest, SettingAColourOverARangeSplitsAndRejoinsRuns)
{
    AttributedString text("abcdef", underlined());
    text.setForegroundColor(Color::black(), 2, 2);
    ASSERT_EQ(text.runs().size(), 3u);
    EXPECT_EQ(text.runs()[1].location, 2u);
    EXPECT_EQ(text.runs()[1].attributes.foregroundColor, Color::black());
    EXPECT_EQ(text.runs()[2].attributes, underlined());
    text.setForegroundColor(std::nullopt, 0, 100);
    EXPECT_EQ(text, AttributedString("abcdef", underlined()));
}

TEST(AttributedStringTest, EraseShiftsTheRunsAfterIt)
{
    AttributedString text;
    text.append("  ", red());
    text.append("x", underlined());
    text.append("yz", red());
    text.erase(1, 2);
    EXPECT_EQ(text.string(), " yz");
    ASSERT_EQ(text.runs().size(), 1u);
    EXPECT_EQ(text.runs()[0], (AttributedString::Run { 0, 3, red() }));
    text.erase(2, 50);
    EXPECT_EQ(text.string(), " y");
    text.erase(9, 1);
    EXPECT_EQ(text.string(), " y");
}

TEST(AttributedStringTest, MergingTakesOnlyTheAttributesTheOtherSets)
{
    TextAttributes merged = red().mergedWith(underlined()).mergedWith({ .link = "" });
    EXPECT_EQ(merged.foregroundColor, Color::fromRGBA(1, 0, 0));
    EXPECT_EQ(merged.underlineStyle, 1);
    EXPECT_EQ(merged.link, "");
    EXPECT_FALSE(merged.font);
}
