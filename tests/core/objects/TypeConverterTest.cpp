#include "core/objects/TypeConverter.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using morvix::TypeConverter;
using namespace morvix::platform;

TEST(TypeConverterTest, ColorsNeedThreeOrMoreNumbers)
{
    EXPECT_EQ(TypeConverter::toUIColor(Value::array({ 255, 0, 0 })), Color::fromRGBA(1, 0, 0, 1));
    auto translucent = TypeConverter::toUIColor(Value::array({ 255, 0, 0, 128 }));
    ASSERT_TRUE(translucent.has_value());
    EXPECT_FLOAT_EQ(translucent->alpha, 128.0f / 255.0f);
    EXPECT_EQ(TypeConverter::toUIColor(Value::array({ 255, 0 })), std::nullopt);
    EXPECT_EQ(TypeConverter::toUIColor(Value::parse(R"([255, 0, "0"])")), std::nullopt);
    EXPECT_EQ(TypeConverter::toUIColor(Value::parse(R"([1, 2, 3, 4, "x"])")), std::nullopt);
    EXPECT_EQ(TypeConverter::toUIColor(Value("red")), std::nullopt);
    EXPECT_EQ(TypeConverter::toUIColor(Value::parse("[true, false, 0]")), Color::fromRGBA(1.0f / 255, 0, 0, 1));
}

TEST(TypeConverterTest, ColorComponentsAreNotClamped)
{
    auto color = TypeConverter::toUIColor(Value::array({ 510, -255, 0 }));
    ASSERT_TRUE(color.has_value());
    EXPECT_FLOAT_EQ(color->red, 2);
    EXPECT_FLOAT_EQ(color->green, -1);
    EXPECT_EQ(TypeConverter::fromUIColor(color), Value::array({ 510, -255, 0, 255 }));
}

TEST(TypeConverterTest, ColorsReadBackAsFourRoundedIntegers)
{
    EXPECT_EQ(TypeConverter::fromUIColor(Color::white()), Value::array({ 255, 255, 255, 255 }));
    EXPECT_EQ(TypeConverter::fromUIColor(Color::fromRGBA(0.5f, 0, 0, 1)), Value::array({ 128, 0, 0, 255 }));
    EXPECT_EQ(TypeConverter::fromUIColor(std::nullopt), std::nullopt);
    for (int component = 0; component <= 255; ++component) {
        auto wire = Value::array({ component, component, component, component });
        ASSERT_EQ(TypeConverter::fromUIColor(TypeConverter::toUIColor(wire)), wire) << component;
    }
}

namespace {

struct ResolutionCall {
    std::vector<std::string> families;
    double size = 0;
    bool bold = false;
    bool italic = false;
};
ResolutionCall s_lastResolution;

Font recordResolution(const std::vector<std::string>& families, double size, bool bold, bool italic)
{
    s_lastResolution = { families, size, bold, italic };
    return Font::system(size, { bold, italic });
}

} // namespace

TEST(TypeConverterTest, FontsResolveThroughTheInstalledResolution)
{
    TypeConverter::setFontResolution(&recordResolution);
    auto font = TypeConverter::toUIFont(Value::parse(R"([["No Such", 5, "DejaVu Serif"], 18.5, true, 0])"));
    TypeConverter::setFontResolution(nullptr);
    ASSERT_TRUE(font.has_value());
    // Names that are not texts are skipped; numbers count as flags.
    EXPECT_EQ(s_lastResolution.families, (std::vector<std::string> { "No Such", "DejaVu Serif" }));
    EXPECT_EQ(s_lastResolution.size, 18.5);
    EXPECT_TRUE(s_lastResolution.bold);
    EXPECT_FALSE(s_lastResolution.italic);
    EXPECT_EQ(*font, Font::system(18.5, { .bold = true }));
    // Without a resolution (the widget foundation is not linked into this test): the system font.
    EXPECT_EQ(TypeConverter::toUIFont(Value::parse(R"([["DejaVu Serif"], true, false, 1])")),
        Font::system(1, { .italic = true }));
}

TEST(TypeConverterTest, FontsNeedExactlyNamesSizeAndTwoFlags)
{
    for (const char* bad : { R"([["Sans"], 12, true])", R"([["Sans"], "12", true, false])",
             R"(["Sans", 12, true, false])", R"([["Sans"], 12, true, null])", R"([["Sans"], 12, true, false, 1])",
             R"({"size": 12})" })
        EXPECT_EQ(TypeConverter::toUIFont(Value::parse(bad)), std::nullopt) << bad;
    Value infinite = Value::array({ Value::array({ "DejaVu Sans" }), std::numeric_limits<double>::infinity(), false,
        false });
    EXPECT_EQ(TypeConverter::toUIFont(infinite), std::nullopt);
}

TEST(TypeConverterTest, FontsReadBackWithTheirFamilyASingleSizeAndTheirTraits)
{
    Font font = *Font::withName("DejaVuSerif-BoldItalic", 13.3);
    EXPECT_EQ(TypeConverter::fromUIFont(font)->dump(), R"([["DejaVu Serif"],13.3,true,true])");
    EXPECT_EQ(TypeConverter::fromUIFont(std::nullopt), std::nullopt);
}

TEST(TypeConverterTest, PointsAndRectanglesNeedExactCountsAndFallBackToZero)
{
    EXPECT_TRUE(TypeConverter::validCGPointArray(Value::parse("[10, true]")));
    EXPECT_FALSE(TypeConverter::validCGPointArray(Value::parse("[10, 20, 30]")));
    EXPECT_FALSE(TypeConverter::validCGPointArray(Value(nullptr)));
    EXPECT_EQ(TypeConverter::toCGPoint(Value::parse("[10, true]")), (Point { 10, 1 }));
    EXPECT_EQ(TypeConverter::toCGPoint(Value::parse("[10, \"20\"]")), Point());
    EXPECT_TRUE(TypeConverter::validCGRectArray(Value::parse("[1, 2, 3, 4]")));
    EXPECT_EQ(TypeConverter::toCGRect(Value::parse("[1, 2, 3, 4]")), Rect(1, 2, 3, 4));
    EXPECT_EQ(TypeConverter::toCGRect(Value::parse("[10, 20, 30]")), Rect());
    EXPECT_EQ(TypeConverter::toCGRect(Value("1,2,3,4")), Rect());
}

TEST(TypeConverterTest, CoordinatesPassThroughSinglePrecision)
{
    EXPECT_EQ(TypeConverter::toCGPoint(Value::array({ 16777217, 0.1 })).x, 16777216);
    EXPECT_EQ(TypeConverter::toCGPoint(Value::array({ 16777217, 0.1 })).y, static_cast<double>(0.1f));
    EXPECT_EQ(TypeConverter::fromCGPoint({ 16777217, 2.5 }), Value::array({ 16777216.0, 2.5 }));
    EXPECT_EQ(TypeConverter::fromCGRect({ 0.1, 1, 2, 3 }).dump(), "[0.1,1.0,2.0,3.0]");
}

TEST(TypeConverterTest, BooleansCountAsNumbers)
{
    EXPECT_TRUE(TypeConverter::isNumber(Value(true)));
    EXPECT_TRUE(TypeConverter::isNumber(Value(1.5)));
    EXPECT_FALSE(TypeConverter::isNumber(Value("1")));
    EXPECT_FALSE(TypeConverter::isNumber(Value(nullptr)));
}
