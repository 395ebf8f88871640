#include "widgets/text/FontHelper.h"

#include "core/objects/TypeConverter.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace morvix;
using morvix::platform::Color;
using morvix::platform::Font;
using morvix::platform::Size;
using morvix::platform::Value;

TEST(FontHelperTest, WritesTheDescriptionTextExactly)
{
    EXPECT_EQ(FontHelper::fontDescription({ "Helvetica Neue", "serif" }, 14, true, false),
        "font-family: Helvetica Neue,serif; font-size: 14px; font-weight: bold;");
    EXPECT_EQ(FontHelper::fontDescription({ "A" }, 10.5, false, true), "font-family: A; font-size: 10.5px; font-style: italic;");
    EXPECT_EQ(FontHelper::fontDescription({}, 12, true, true),
        "font-family: ; font-size: 12px; font-weight: bold; font-style: italic;");
}

TEST(FontHelperTest, DefaultFontsUseTheBodyFace)
{
    EXPECT_EQ(FontHelper::defaultFontName(), "DejaVuSans");
    EXPECT_EQ(FontHelper::shellTitleFont(), Font::system(16, { .bold = true }));
    EXPECT_EQ(FontHelper::pushButtonFont(), Font::system(16, { .bold = true }));
    EXPECT_EQ(FontHelper::listFont(), Font::system(16));
    EXPECT_EQ(FontHelper::labelFont(), Font::system(14));
    EXPECT_EQ(FontHelper::linkFont(), Font::system(12));
    EXPECT_EQ(FontHelper::flatButtonFont(), Font::system(15));
    EXPECT_EQ(FontHelper::groupFont(), Font::system(12));
}

TEST(FontHelperTest, AccentColourIsExactInTwoHundredFiftyFifths)
{
    Color accent = FontHelper::activeColor();
    EXPECT_EQ(std::lround(accent.red * 255), 22);
    EXPECT_EQ(static_cast<int>(accent.green * 255.0f), 126);
    EXPECT_EQ(static_cast<int>(accent.blue * 255.0f), 251);
    EXPECT_EQ(FontHelper::touchFeedbackColor(), accent);
    EXPECT_EQ(FontHelper::groupColor(), accent);
    EXPECT_EQ(FontHelper::backgroundColor(), Color::white());
    EXPECT_EQ(FontHelper::labelColor(), Color::black());
}

TEST(FontHelperTest, RoundsUpAfterNarrowingToSinglePrecision)
{
    EXPECT_EQ(FontHelper::roundUp({ 10.2, 16.7 }), (Size { 11, 17 }));
    EXPECT_EQ(FontHelper::roundUp({ 52.1, 17.0 }), (Size { 53, 17 }));
    // Just above 17 in double precision, 17 in single.
    EXPECT_EQ(FontHelper::roundUp({ 17.0000000001, 0 }), (Size { 17, 0 }));
}

TEST(FontHelperTest, MeasuresPlainAndMarkupText)
{
    Font font = Font::system(14);
    // Widths of pango-view --dpi=72 --hinting=none --hint-metrics=off --subpixel-positions.
    EXPECT_EQ(FontHelper::sizeForString("Hello World", font), (Size { 81, 17 }));
    EXPECT_EQ(FontHelper::sizeForString("Hello World", font, 0), (Size { 81, 17 }));
    Size wrapped = FontHelper::sizeForString("The quick brown fox jumps over the lazy dog", font, 100);
    EXPECT_LE(wrapped.width, 100);
    EXPECT_EQ(wrapped.height, std::ceil(4 * font.lineHeight()));
    Size markup = FontHelper::sizeForString("<b>Push</b>", Font::system(16), -1, Markup::Yes);
    EXPECT_EQ(markup, (Size { 45, 19 }));
    EXPECT_EQ(FontHelper::sizeForString("", font), (Size { 0, 0 }));
}

TEST(FontHelperTest, WireFontValuesResolveThroughTheFamilyTable)
{
    auto font = TypeConverter::toUIFont(Value::parse(R"([["No Such", "DejaVu Serif"], 18, true, false])"));
    ASSERT_TRUE(font);
    EXPECT_EQ(font->faceName(), "DejaVuSerif-Bold");
    EXPECT_EQ(font->pointSize(), 18);
    EXPECT_EQ(TypeConverter::toUIFont(Value::parse(R"([[], 9.5, 1, 1])"))->faceName(), "DejaVuSans-BoldOblique");
    // A font read back resolves to itself.
    Font serif = *Font::withName("DejaVuSerif-BoldItalic", 13.3);
    EXPECT_EQ(TypeConverter::toUIFont(*TypeConverter::fromUIFont(serif)), serif);
}
