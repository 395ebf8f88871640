#include "widgets/text/FontRegistry.h"
#include "widgets/text/FontResolver.h"

#include "platform/graphics/FontCatalog.h"
#include "widgets/text/FontHelper.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>

using namespace morvix;

// The machine's fonts are fonts-dejavu-core and fonts-liberation; `fc-list : family
// postscriptname` and `fc-match sans-serif` (DejaVu Sans) give the names expected here.

TEST(FontResolverTest, ReadsTheLastDeclarationOfAProperty)
{
    EXPECT_EQ(FontResolver::extractValue("font-size", " font-size: 10px ;font-size:20px; x"), "20px");
    EXPECT_EQ(FontResolver::extractValue("font-size", "font-weight: bold"), std::nullopt);
    EXPECT_EQ(FontResolver::extractValue("font-size", "Font-Size: 10"), std::nullopt);
    // A declaration that is only the name has no value; as the last one it leaves none.
    EXPECT_EQ(FontResolver::extractValue("font-size", "font-size: 9; font-size"), std::nullopt);
    EXPECT_EQ(FontResolver::extractValue("font-size", "font-size; font-size: 9"), "9");
    EXPECT_EQ(FontResolver::extractValue("font-size", "font-size"), std::nullopt);
    EXPECT_EQ(FontResolver::extractSize("font-size: 9; font-size"), 12);
    EXPECT_EQ(FontResolver::extractValue("font-size", "font-size:"), "");
}

TEST(FontResolverTest, SizeIsTheLeadingNumberOrTwelve)
{
    EXPECT_EQ(FontResolver::extractSize("font-family: A"), 12);
    EXPECT_EQ(FontResolver::extractSize("font-size: 20px"), 20);
    EXPECT_EQ(FontResolver::extractSize("font-size: 10.5pt"), 10.5);
    EXPECT_EQ(FontResolver::extractSize("font-size: +7"), 7);
    EXPECT_EQ(FontResolver::extractSize("font-size: px"), 12);
    EXPECT_EQ(FontResolver::extractSize("font-size: inf"), 12);
    EXPECT_EQ(FontResolver::extractSize("font-size: nan"), 12);
    EXPECT_EQ(FontResolver::extractSize("font-size: 1e999"), 12);
}

TEST(FontResolverTest, SizeIgnoresTheProcessLocale)
{
    const char* saved = std::setlocale(LC_NUMERIC, nullptr);
    std::string previous = saved ? saved : "C";
    // A locale with a decimal comma, where one is installed; the C locale otherwise.
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(FontResolver::extractSize("font-size: 10.5px"), 10.5);
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(FontResolverTest, OnlyExactBoldAndItalicCount)
{
    EXPECT_TRUE(FontResolver::extractWeight("font-weight: bold;"));
    EXPECT_FALSE(FontResolver::extractWeight("font-weight: 700;"));
    EXPECT_FALSE(FontResolver::extractWeight("font-weight: Bold;"));
    EXPECT_TRUE(FontResolver::extractStyle("font-style:  italic "));
    EXPECT_FALSE(FontResolver::extractStyle("font-style: oblique"));
}

TEST(FontResolverTest, GenericFamiliesMapToInstalledFaces)
{
    EXPECT_EQ(FontResolver::normalizeFamily("Sans-Serif"), "DejaVuSans");
    // Times New Roman and Courier New are not installed; their Liberation stand-ins are.
    EXPECT_EQ(FontResolver::normalizeFamily("serif"), "Liberation Serif");
    EXPECT_EQ(FontResolver::normalizeFamily("MONOSPACE"), "Liberation Mono");
    EXPECT_EQ(FontResolver::normalizeFamily("\"DejaVu Sans\""), "\"DejaVu Sans\"");
    EXPECT_EQ(FontResolver::splitFamilies(" DejaVu Serif ,serif,"),
        (std::vector<std::string> { "DejaVu Serif", "Liberation Serif", "" }));
}

TEST(FontResolverTest, ResolvesTheFirstInstalledFamilyCaseSensitively)
{
    auto font = FontResolver::fontWithDescription("font-family: dejavu sans,No Such,DejaVu Serif; font-size: 20px;");
    EXPECT_EQ(font.faceName(), "DejaVuSerif");
    EXPECT_EQ(font.pointSize(), 20);
    EXPECT_EQ(FontResolver::fontWithDescription("font-family: serif; font-weight: bold").faceName(), "LiberationSerif-Bold");
    EXPECT_EQ(FontResolver::fontWithDescription("font-family: monospace; font-style: italic").faceName(), "LiberationMono-Italic");
}

TEST(FontResolverTest, UnknownFamiliesResolveToTheBodyFaceWithTraits)
{
    auto font = FontResolver::fontWithDescription("font-family: Helvetica Neue,sans-serif; font-size: 9px; font-weight: bold; font-style: italic;");
    EXPECT_EQ(font.faceName(), "DejaVuSans-BoldOblique");
    EXPECT_EQ(font.pointSize(), 9);
    EXPECT_EQ(FontResolver::fontWithDescription("").faceName(), "DejaVuSans");
    EXPECT_EQ(FontResolver::fontWithDescription("").pointSize(), 12);
}

TEST(FontResolverTest, AFamilyWithoutTheTraitGivesTheSystemFontWithIt)
{
    // DejaVu Math TeX Gyre has only a regular face, so its bold entry is the system bold text.
    EXPECT_EQ(FontRegistry::instance().fontForFamily("DejaVu Math TeX Gyre", true, false), FontRegistry::kSystemBold);
    auto font = FontResolver::fontWithDescription("font-family: DejaVu Math TeX Gyre; font-weight: bold");
    EXPECT_EQ(font.faceName(), "DejaVuSans-Bold");
    EXPECT_EQ(FontResolver::fontWithDescription("font-family: DejaVu Math TeX Gyre").faceName(), "DejaVuMathTeXGyre-Regular");
}

TEST(FontResolverTest, FallbackPrefersBoldOverItalic)
{
    EXPECT_EQ(FontResolver::computeFallbackFont(10, true, true).faceName(), "DejaVuSans-Bold");
    EXPECT_EQ(FontResolver::computeFallbackFont(10, false, true).faceName(), "DejaVuSans-Oblique");
    EXPECT_FALSE(FontResolver::computeFont("NoSuchFace", 10, false, false));
}

TEST(FontRegistryTest, InstalledFamiliesGetTheirPlainFaces)
{
    const auto& registry = FontRegistry::instance();
    EXPECT_EQ(registry.fontForFamily("DejaVu Sans", false, false), "DejaVuSans");
    EXPECT_EQ(registry.fontForFamily("DejaVu Sans", true, false), "DejaVuSans-Bold");
    EXPECT_EQ(registry.fontForFamily("DejaVu Sans", false, true), "DejaVuSans-Oblique");
    EXPECT_EQ(registry.fontForFamily("DejaVu Sans", true, true), "DejaVuSans-BoldOblique");
    EXPECT_EQ(registry.fontForFamily("Liberation Serif", true, true), "LiberationSerif-BoldItalic");
    EXPECT_EQ(registry.fontForFamily("Helvetica Neue", false, false), std::nullopt);
}

TEST(FontRegistryTest, PrefersPlainFacesAndFallsBackToSystemTexts)
{
    FontRegistry registry({ { "Helvetica Neue",
        { "HelveticaNeue-CondensedBold", "HelveticaNeue-Medium", "HelveticaNeue-Bold", "HelveticaNeue-Light",
            "HelveticaNeue" } } });
    EXPECT_EQ(registry.fontForFamily("Helvetica Neue", false, false), "HelveticaNeue");
    EXPECT_EQ(registry.fontForFamily("Helvetica Neue", true, false), "HelveticaNeue-Bold");
    EXPECT_EQ(registry.fontForFamily("Helvetica Neue", false, true), FontRegistry::kSystemItalic);
    EXPECT_EQ(registry.fontForFamily("Helvetica Neue", true, true), FontRegistry::kSystemBoldItalic);
    EXPECT_EQ(FontRegistry::computeKey("Helvetica Neue", true, false), "Helvetica Neue;1;0");
}

TEST(FontRegistryTest, ClassifiesFacesByName)
{
    EXPECT_TRUE(FontRegistry::isItalic("Avenir-BookOblique"));
    EXPECT_TRUE(FontRegistry::isItalic("MinionPro-It"));
    EXPECT_TRUE(FontRegistry::isItalic("Foo-Ita"));
    EXPECT_FALSE(FontRegistry::isItalic("Italiana-Regular"));
    EXPECT_TRUE(FontRegistry::isBold("Futura-CondensedExtraBold"));
    EXPECT_TRUE(FontRegistry::isBold("HiraKakuProN-W6"));
    EXPECT_TRUE(FontRegistry::isBold("STHeitiSC-Medium"));
    EXPECT_FALSE(FontRegistry::isBold("HelveticaNeue-Medium"));
    EXPECT_FALSE(FontRegistry::isBold("Foo-bold"));
}

TEST(FontRegistryTest, SortingIsDeterministicAndFollowsThePreferences)
{
    std::vector<std::string> faces { "Avenir-Light", "Avenir-Book", "Avenir-Roman", "Avenir-Medium", "Avenir-Black",
        "Avenir-Heavy", "Avenir-BookOblique", "Avenir-Oblique", "Avenir-MediumOblique", "Avenir-LightOblique" };
    auto sorted = FontRegistry::sortFontNames(faces);
    auto position = [&](const std::string& name) { return std::find(sorted.begin(), sorted.end(), name) - sorted.begin(); };
    EXPECT_LT(position("Avenir-Roman"), position("Avenir-Book"));
    EXPECT_LT(position("Avenir-Roman"), position("Avenir-Medium"));
    EXPECT_LT(position("Avenir-Heavy"), position("Avenir-Black"));
    EXPECT_GT(position("Avenir-Light"), position("Avenir-Roman"));
    // Every order of the input gives the same result.
    std::sort(faces.begin(), faces.end());
    do {
        ASSERT_EQ(FontRegistry::sortFontNames(faces), sorted);
    } while (std::next_permutation(faces.begin(), faces.begin() + 5));
    std::reverse(faces.begin(), faces.end());
    EXPECT_EQ(FontRegistry::sortFontNames(faces), sorted);
}

TEST(FontRegistryTest, CondensedAndLightDejaVuFacesSortLast)
{
    auto sorted = FontRegistry::sortFontNames({ "DejaVuSans-ExtraLight", "DejaVuSansCondensed", "DejaVuSans-Bold",
        "DejaVuSans", "DejaVuSans-Oblique", "DejaVuSans-BoldOblique" });
    EXPECT_EQ(sorted.front(), "DejaVuSans");
    EXPECT_TRUE(sorted[4] == "DejaVuSansCondensed" || sorted[4] == "DejaVuSans-ExtraLight");
    EXPECT_TRUE(sorted[5] == "DejaVuSansCondensed" || sorted[5] == "DejaVuSans-ExtraLight");
}

namespace {

// The standard output of a command, or nothing when it fails.
std::optional<std::string> commandOutput(const std::string& command)
{
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string output;
    char buffer[4096];
    while (std::size_t count = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, count);
    if (pclose(pipe) != 0)
        return std::nullopt;
    return output;
}

std::optional<std::string> fcMatch(const std::string& pattern)
{
    return commandOutput("fc-match -f '%{postscriptname}' '" + pattern + "'");
}

} // namespace

// fontconfig's own tools as a second opinion on the installed fonts, skipped where they are
// missing.
TEST(FontResolverTest, FamiliesAndFacesAgreeWithFcList)
{
    auto listing = commandOutput("fc-list -f '%{family[0]}|%{postscriptname}\\n'");
    if (!listing)
        GTEST_SKIP() << "fc-list is not installed";
    std::map<std::string, std::set<std::string>> expected;
    std::istringstream lines(*listing);
    for (std::string line; std::getline(lines, line);) {
        auto bar = line.find('|');
        if (bar != std::string::npos && bar + 1 < line.size())
            expected[line.substr(0, bar)].insert(line.substr(bar + 1));
    }
    const auto& catalog = morvix::platform::FontCatalog::installed();
    ASSERT_EQ(catalog.familyNames().size(), expected.size());
    for (const auto& [family, faces] : expected) {
        auto listed = catalog.faceNames(family);
        EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), faces) << family;
    }
}

TEST(FontResolverTest, ResolvedFacesAgreeWithFcMatch)
{
    auto body = fcMatch("sans-serif");
    if (!body)
        GTEST_SKIP() << "fc-match is not installed";
    EXPECT_EQ(FontHelper::defaultFontName(), *body);
    struct Case {
        const char* families;
        const char* pattern; // what fontconfig is asked for the same font
    };
    const std::string styles[] = { "", "; font-weight: bold", "; font-style: italic",
        "; font-weight: bold; font-style: italic" };
    const std::string patternStyles[] = { "", ":bold", ":italic", ":bold:italic" };
    for (const Case& item : { Case { "DejaVu Sans", "DejaVu Sans" }, Case { "No Such,DejaVu Serif", "DejaVu Serif" },
             Case { "DejaVu Sans Mono", "DejaVu Sans Mono" }, Case { "Liberation Sans", "Liberation Sans" },
             // The stand-ins for the generic names are the faces fontconfig substitutes.
             Case { "serif", "Times New Roman" }, Case { "monospace", "Courier New" },
             Case { "Helvetica Neue", "sans-serif" } }) {
        for (int style = 0; style < 4; ++style) {
            std::string description = std::string("font-family: ") + item.families + styles[style];
            EXPECT_EQ(FontResolver::fontWithDescription(description).faceName(), fcMatch(item.pattern + patternStyles[style]))
                << description;
        }
    }
}
