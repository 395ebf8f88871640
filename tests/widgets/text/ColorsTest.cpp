#include "widgets/text/Colors.h"

#include "core/objects/TypeConverter.h"
#include "widgets/text/CoreTexts.h"
#include "widgets/text/Mnemonics.h"

#include "platform/graphics/Image.h"
#include "platform/graphics/TextLayout.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace morvix;
using morvix::platform::AttributedString;
using morvix::platform::Color;
using morvix::platform::Font;
using morvix::platform::Value;

namespace {

void expectColor(const Color& actual, double red, double green, double blue, double alpha)
{
    EXPECT_NEAR(actual.red, red, 1e-6);
    EXPECT_NEAR(actual.green, green, 1e-6);
    EXPECT_NEAR(actual.blue, blue, 1e-6);
    EXPECT_NEAR(actual.alpha, alpha, 1e-6);
}

} // namespace

TEST(ColorsTest, BrightnessTestUsesTheMeanOfTheComponents)
{
    EXPECT_TRUE(Colors::isBrightColor(Color::fromRGBA(0.5f, 0.5f, 0.5f)));
    EXPECT_FALSE(Colors::isDarkColor(Color::fromRGBA(0.5f, 0.5f, 0.5f)));
    EXPECT_TRUE(Colors::isDarkColor(Color::fromRGBA(1, 0.2f, 0.2f)));
}

TEST(ColorsTest, HighlightDarkensBrightColoursAndBrightensDarkOnes)
{
    expectColor(Colors::highlightColorFor(Color::white()), 0.9, 0.9, 0.9, 1);
    expectColor(Colors::highlightColorFor(Color::black()), 0.1, 0.1, 0.1, 1);
    expectColor(Colors::highlightColorFor(Color::fromRGBA(1, 1, 1, 0.5f)), 0.9, 0.9, 0.9, 0.5);
    expectColor(Colors::highlightColorFor(Color::fromRGBA(0, 0, 0, 0)), 0.1, 0.1, 0.1, 0.1);
}

TEST(ColorsTest, HueAndSaturationAreKept)
{
    // colorsys.hsv_to_rgb(*colorsys.rgb_to_hsv(0.2, 0.4, 0.6)[:2], 0.66) and (…, 0.54).
    expectColor(Colors::brighterColorFor(Color::fromRGBA(0.2f, 0.4f, 0.6f)), 0.22, 0.44, 0.66, 1);
    expectColor(Colors::darkerColorFor(Color::fromRGBA(0.2f, 0.4f, 0.6f)), 0.18, 0.36, 0.54, 1);
    expectColor(Colors::darkerColorFor(Color::fromRGBA(0.6f, 0.2f, 0.4f)), 0.54, 0.18, 0.36, 1);
    expectColor(Colors::brighterColorFor(Color::fromRGBA(0.95f, 0.5f, 0.1f)), 1, 0.5 / 0.95, 0.1 / 0.95, 1);
}

TEST(ColorsTest, HexTextTruncatesEachComponent)
{
    EXPECT_EQ(Colors::toHex(Color::fromRGBA(22 / 255.0f, 126 / 255.0f, 251 / 255.0f)), "167efb");
    EXPECT_EQ(Colors::toHex(Color::fromRGBA(0.4941f, 0, 1, 0)), "7d00ff");
    EXPECT_EQ(Colors::toHex(Color::fromRGBA(-1, 2, 0.5f)), "00ff7f");
    // Colours from the wire hold exact fractions of 255, so every component survives truncation.
    for (int component = 0; component <= 255; ++component) {
        char expected[8];
        std::snprintf(expected, sizeof expected, "%02x%02x%02x", component, 255 - component, component / 2);
        auto color = TypeConverter::toUIColor(Value::array({ component, 255 - component, component / 2 }));
        ASSERT_EQ(Colors::toHex(*color), expected);
    }
}

TEST(ColorsTest, ImageOfColourIsOnePixel)
{
    auto image = Colors::imageOfColor(Color::fromRGBA(1, 0, 0));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 1);
    EXPECT_EQ(image->pixelHeight(), 1);
    EXPECT_EQ(image->pixelAt(0, 0), (morvix::platform::Pixel { 255, 0, 0, 255 }));
}

TEST(MnemonicsTest, RemovesTheFirstMarkerAndUnescapesDoubles)
{
    EXPECT_EQ(Mnemonics::removeMnemonics("&File"), "File");
    EXPECT_EQ(Mnemonics::removeMnemonics("A&&B"), "A&B");
    EXPECT_EQ(Mnemonics::removeMnemonics("&A&B"), "A&B");
    EXPECT_EQ(Mnemonics::removeMnemonics("Save &"), "Save &");
    EXPECT_EQ(Mnemonics::removeMnemonics("&&&x&y"), "&x&y");
    EXPECT_EQ(Mnemonics::removeMnemonics("Caf\xC3\xA9 &N"), "Caf\xC3\xA9 N");
    EXPECT_EQ(Mnemonics::removeMnemonics(""), "");
}

TEST(CoreTextsTest, OffsetsFollowAlignmentAndBaseline)
{
    Font font = Font::system(20);
    EXPECT_DOUBLE_EQ(CoreTexts::lineHeight(font), font.ascent() + font.descent() + font.leading());
    AttributedString line("Hello", { .font = font });
    double width = morvix::platform::TextLayout(line, {}).size().width;
    EXPECT_DOUBLE_EQ(CoreTexts::computeXOffset(line, "center"), -width / 2);
    EXPECT_DOUBLE_EQ(CoreTexts::computeXOffset(line, "right"), -width);
    EXPECT_DOUBLE_EQ(CoreTexts::computeXOffset(line, "end"), -width);
    EXPECT_DOUBLE_EQ(CoreTexts::computeXOffset(line, "start"), 0);

    EXPECT_DOUBLE_EQ(CoreTexts::computeYOffset(20, "alphabetic", 3, font), -40);
    EXPECT_DOUBLE_EQ(CoreTexts::computeYOffset(20, "alphabetic", 1, font), 0);
    EXPECT_DOUBLE_EQ(CoreTexts::computeYOffset(20, "hanging", 3, font), font.ascent());
    EXPECT_DOUBLE_EQ(CoreTexts::computeYOffset(20, "middle", 3, font), (font.ascent() + font.descent()) / 4);
    EXPECT_DOUBLE_EQ(CoreTexts::computeYOffset(20, "bottom", 3, font), -(font.descent() + font.leading()));
}
