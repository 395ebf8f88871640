#include "platform/graphics/Font.h"
#include "platform/graphics/FontCatalog.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace morvix::platform;

// The machine's fonts are fonts-dejavu-core and fonts-liberation (tools/install-deps);
// fc-list and fc-match give the names expected here.

TEST(FontCatalogTest, ListsFamiliesByFirstNameAndFacesByPostScriptName)
{
    const auto& catalog = FontCatalog::installed();
    const auto& families = catalog.familyNames();
    EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
    EXPECT_TRUE(catalog.hasFamily("DejaVu Sans"));
    EXPECT_TRUE(catalog.hasFamily("Liberation Serif"));
    EXPECT_FALSE(catalog.hasFamily("dejavu sans"));
    // fontconfig gives the condensed and light faces "DejaVu Sans" as their first family.
    auto faces = catalog.faceNames("DejaVu Sans");
    for (const char* face : { "DejaVuSans", "DejaVuSans-Bold", "DejaVuSans-Oblique", "DejaVuSans-BoldOblique",
             "DejaVuSansCondensed", "DejaVuSans-ExtraLight" })
        EXPECT_NE(std::find(faces.begin(), faces.end(), face), faces.end()) << face;
    EXPECT_TRUE(catalog.faceNames("No Such Family").empty());
}

TEST(FontCatalogTest, FaceStylesComeFromFontconfig)
{
    const auto& catalog = FontCatalog::installed();
    ASSERT_NE(catalog.face("DejaVuSans-BoldOblique"), nullptr);
    EXPECT_TRUE(catalog.face("DejaVuSans-BoldOblique")->isBold());
    EXPECT_TRUE(catalog.face("DejaVuSans-BoldOblique")->isItalic());
    EXPECT_FALSE(catalog.face("DejaVuSans")->isBold());
    EXPECT_FALSE(catalog.face("DejaVuSans-ExtraLight")->isBold());
    EXPECT_EQ(catalog.face("NoSuchFace"), nullptr);
    EXPECT_EQ(catalog.preferredBodyFace().faceName, "DejaVuSans");
    EXPECT_EQ(catalog.preferredBodyFace().familyName, "DejaVu Sans");
}

TEST(FontTest, MadeFromAnInstalledFaceOnly)
{
    auto font = Font::withName("DejaVuSerif-Italic", 13.5);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->familyName(), "DejaVu Serif");
    EXPECT_EQ(font->pointSize(), 13.5);
    EXPECT_FALSE(font->isBold());
    EXPECT_TRUE(font->isItalic());
    EXPECT_FALSE(Font::withName("HelveticaNeue", 12));
}

TEST(FontTest, ConsoleFacesStandInWithDejaVuSansMono)
{
    EXPECT_EQ(Font::withName("Menlo-Regular", 12)->faceName(), "DejaVuSansMono");
    EXPECT_EQ(Font::withName("Menlo-Bold", 12)->faceName(), "DejaVuSansMono-Bold");
    EXPECT_FALSE(Font::withName("Menlo-Italic", 12));
}

TEST(FontTest, SizesAreKeptWithinWhatPangoTakes)
{
    EXPECT_EQ(Font::withName("DejaVuSans", -3)->pointSize(), 0);
    EXPECT_EQ(Font::withName("DejaVuSans", std::numeric_limits<double>::quiet_NaN())->pointSize(), 0);
    EXPECT_EQ(Font::withName("DejaVuSans", 1e300)->pointSize(), Font::kMaximumPointSize);
}

TEST(FontTest, TraitVariantsStayInTheFamilyAndWidth)
{
    auto regular = *Font::withName("DejaVuSans", 14);
    EXPECT_EQ(regular.withTraits({ .bold = true })->faceName(), "DejaVuSans-Bold");
    EXPECT_EQ(regular.withTraits({ .italic = true })->faceName(), "DejaVuSans-Oblique");
    EXPECT_EQ(regular.withTraits({ true, true })->faceName(), "DejaVuSans-BoldOblique");
    auto condensed = *Font::withName("DejaVuSansCondensed", 14);
    EXPECT_EQ(condensed.withTraits({ .bold = true })->faceName(), "DejaVuSansCondensed-Bold");
    auto bold = *Font::withName("DejaVuSans-Bold", 14);
    EXPECT_EQ(bold.withTraits({})->faceName(), "DejaVuSans");
    // DejaVu Math TeX Gyre has a single regular face.
    EXPECT_FALSE(Font::withName("DejaVuMathTeXGyre-Regular", 14)->withTraits({ .bold = true }));
}

TEST(FontTest, SystemFontIsTheBodyFaceWithTraits)
{
    EXPECT_EQ(Font::system(12).faceName(), "DejaVuSans");
    EXPECT_EQ(Font::system(12, { .bold = true }).faceName(), "DejaVuSans-Bold");
    EXPECT_EQ(Font::system(12, { .italic = true }).faceName(), "DejaVuSans-Oblique");
}

TEST(FontTest, EqualByFaceSizeAndTraits)
{
    EXPECT_EQ(*Font::withName("DejaVuSans", 14), Font::system(14));
    EXPECT_NE(*Font::withName("DejaVuSans", 14), Font::system(15));
    EXPECT_NE(*Font::withName("DejaVuSans", 14), Font::system(14, { .bold = true }));
    EXPECT_EQ(Font::system(14).withSize(20), Font::system(20));
}

TEST(FontTest, MetricsScaleWithSizeAtOnePointPerUnit)
{
    Font font = Font::system(20);
    // DejaVu Sans: ascender 1901, descender 483 of 2048 units per em.
    EXPECT_NEAR(font.ascent(), 20 * 1901.0 / 2048, 0.05);
    EXPECT_NEAR(font.descent(), 20 * 483.0 / 2048, 0.05);
    EXPECT_GE(font.leading(), 0);
    EXPECT_NEAR(font.lineHeight(), font.ascent() + font.descent() + font.leading(), 1e-9);
    EXPECT_NEAR(Font::system(40).ascent(), 2 * font.ascent(), 0.05);
}
