#include "widgets/text/AttributedStrings.h"
#include "widgets/text/FontHelper.h"
#include "widgets/text/MarkupParser.h"
#include "widgets/text/MarkupPurger.h"

#include <gtest/gtest.h>

using namespace morvix;
using morvix::platform::AttributedString;
using morvix::platform::Color;
using morvix::platform::Font;
using morvix::platform::TextAttributes;

class MarkupParserTest : public ::testing::Test {
protected:
    AttributedString parse(const std::string& markup) { return MarkupParser(base, color).parse(markup); }
    TextAttributes plain() const { return { .font = base, .foregroundColor = color }; }
    TextAttributes withFont(const Font& font) const { return { .font = font, .foregroundColor = color }; }

    Font base = *Font::withName("DejaVuSerif", 20);
    Font bold = *Font::withName("DejaVuSerif-Bold", 20);
    Font italic = *Font::withName("DejaVuSerif-Italic", 20);
    Color color = Color::fromRGBA(0.2f, 0.4f, 0.6f);
};

TEST_F(MarkupParserTest, BoldElementUsesTheBoldFaceOfTheBaseFamily)
{
    AttributedString expected;
    expected.append("Hello ", plain());
    expected.append("World", withFont(bold));
    EXPECT_EQ(parse("Hello <b>World</b>"), expected);
    EXPECT_EQ(parse("Hello <STRONG>World</STRONG>"), expected);
    // XML names are case-sensitive: mismatched tags are malformed.
    EXPECT_EQ(parse("Hello <STRONG>World</strong>"), AttributedString("Hello <STRONG>World</strong>", plain()));
}

TEST_F(MarkupParserTest, NestedFontElementsDoNotCombine)
{
    AttributedString expected;
    expected.append("a", withFont(italic));
    expected.append("b", withFont(bold));
    expected.append("c", withFont(italic));
    EXPECT_EQ(parse("<i>a<b>b</b>c</i>"), expected);

    AttributedString big;
    big.append("x", withFont(base.withSize(25)));
    big.append("y", withFont(base.withSize(15)));
    EXPECT_EQ(parse("<b><big>x</big><small>y</small></b>"), big);
}

TEST_F(MarkupParserTest, ClosingAnElementPopsItsOwnFormatting)
{
    // Without equality by value the bold would leak into "c".
    AttributedString expected;
    expected.append("a", withFont(bold));
    expected.append("b", withFont(italic));
    expected.append("c", plain());
    EXPECT_EQ(parse("<b>a</b><em>b</em>c"), expected);
}

TEST_F(MarkupParserTest, LinksUnderlinesAndStrikeThrough)
{
    AttributedString text = parse("<a href=\"http://x\">go</a> <ins>in</ins><del>out</del>");
    EXPECT_EQ(text.string(), "go inout");
    EXPECT_EQ(text.attributesAt(0).link, "");
    EXPECT_EQ(text.attributesAt(0).font, base);
    EXPECT_FALSE(text.attributesAt(2).link);
    EXPECT_EQ(text.attributesAt(3).underlineStyle, 1);
    EXPECT_EQ(text.attributesAt(5).strikethroughStyle, 1);
    EXPECT_FALSE(text.attributesAt(5).underlineStyle);
}

TEST_F(MarkupParserTest, LineBreaksEntitiesAndUnknownElements)
{
    EXPECT_EQ(parse("one<br/>two"), AttributedString("one\ntwo", plain()));
    EXPECT_EQ(parse("<font color=\"red\">x</font>"), AttributedString("x", plain()));
    EXPECT_EQ(parse("a &amp; b &lt;&#233;&gt;"), AttributedString("a & b <\xC3\xA9>", plain()));
}

TEST_F(MarkupParserTest, MalformedMarkupIsTheWholeInputInTheBaseFormatting)
{
    for (const char* markup : { "a < b", "<b>open", "x&nbsp;y", "<b>a</i>", "</xml><xml>", "<![CDATA[x]]", "<?xml version=\"1.0\"?>" })
        EXPECT_EQ(parse(markup), AttributedString(markup, plain())) << markup;
}

TEST_F(MarkupParserTest, OnlyLeadingBlanksAreRemoved)
{
    EXPECT_EQ(parse("   word"), AttributedString("word", plain()));
    EXPECT_EQ(parse(" <b> x</b>"), AttributedString("x", withFont(bold)));
    EXPECT_EQ(parse("\tword"), AttributedString("\tword", plain()));
    EXPECT_EQ(parse("   "), AttributedString());
    EXPECT_EQ(parse("  a <b"), AttributedString("a <b", plain()));
}

TEST(AttributedStringsTest, MarkupWithoutFontOrColourUsesTheSystemFontAndBlack)
{
    EXPECT_FALSE(AttributedStrings::attributedStringFromMarkupString(std::nullopt, std::nullopt, std::nullopt));
    auto text = AttributedStrings::attributedStringFromMarkupString("x", std::nullopt, std::nullopt);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, AttributedString("x", { .font = Font::system(14), .foregroundColor = Color::black() }));
}

TEST(AttributedStringsTest, ReplacesFontAndColourOfEveryRun)
{
    auto text = AttributedStrings::attributedStringFromMarkupString("a<b>b</b><ins>c</ins>", Font::system(10), Color::white());
    auto replaced = AttributedStrings::attributedString(text, Font::system(30), Color::black());
    ASSERT_TRUE(replaced);
    ASSERT_EQ(replaced->runs().size(), 2u);
    EXPECT_EQ(replaced->runs()[0].attributes, (TextAttributes { .font = Font::system(30), .foregroundColor = Color::black() }));
    EXPECT_EQ(replaced->runs()[1].attributes.underlineStyle, 1);
    EXPECT_EQ(AttributedStrings::attributedString(text, std::nullopt, std::nullopt), text);
    EXPECT_FALSE(AttributedStrings::attributedString(std::nullopt, Font::system(1), std::nullopt));
}

TEST(MarkupPurgerTest, KeepsOnlyTheCharacters)
{
    // Python's ''.join(ElementTree.fromstring('<xml>' + s + '</xml>').itertext()) agrees.
    EXPECT_EQ(MarkupPurger().purge("<b>a</b>b"), "ab");
    EXPECT_EQ(MarkupPurger().purge("a<br/>b"), "ab");
    EXPECT_EQ(MarkupPurger().purge(" x &amp; <i>y</i> "), " x & y ");
    EXPECT_EQ(MarkupPurger().purge("a < b"), "a < b");
    EXPECT_EQ(AttributedStrings::stringFromMarkupString(std::nullopt), std::nullopt);
    EXPECT_EQ(AttributedStrings::stringFromMarkupString("<del>z</del>"), "z");
}
