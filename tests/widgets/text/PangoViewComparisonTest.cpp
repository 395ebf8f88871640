// Measured sizes checked against pango-view, pango's own command-line renderer, on the same
// text, face, size and wrap width. Skipped where pango-view (package pango1.0-tools) is missing.

#include "widgets/text/FontHelper.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

using namespace morvix;
using morvix::platform::Size;

namespace {

struct Case {
    const char* text;
    std::vector<std::string> families;
    double size;
    bool bold;
    bool italic;
    double wrapWidth;
    Markup markup;
    const char* pangoFont; // the same face as pango-view names it
};

bool hasPangoView()
{
    return std::system("command -v pango-view >/dev/null 2>&1") == 0;
}

std::optional<Size> pngSize(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    unsigned char header[24] = {};
    if (!file.read(reinterpret_cast<char*>(header), sizeof header))
        return std::nullopt;
    auto bigEndian = [&](int offset) {
        return double((header[offset] << 24) | (header[offset + 1] << 16) | (header[offset + 2] << 8) | header[offset + 3]);
    };
    return Size { bigEndian(16), bigEndian(20) };
}

class PangoView {
public:
    PangoView()
        : m_directory(std::filesystem::temp_directory_path() / ("morvix-pango-view-" + std::to_string(getpid())))
    {
        std::filesystem::create_directories(m_directory);
    }
    ~PangoView() { std::filesystem::remove_all(m_directory); }

    /// The size of the image pango-view renders, without margins, at 72 dpi with unhinted
    /// glyphs at fractional positions. With a wrap width the image is that wide.
    std::optional<Size> render(const std::string& text, const std::string& font, double wrapWidth, Markup markup,
        const std::string& metricsFlag)
    {
        auto input = m_directory / "text.txt";
        auto output = m_directory / "text.png";
        std::ofstream(input, std::ios::binary) << text;
        std::string command = "pango-view -q --dpi=72 --margin=0 --hinting=none --subpixel-positions " + metricsFlag
            + " --font='" + font + "'";
        if (wrapWidth > 0)
            command += " --width=" + std::to_string(int(wrapWidth)) + " --wrap=word-char";
        if (markup == Markup::Yes)
            command += " --markup";
        command += " -o '" + output.string() + "' '" + input.string() + "' 2>/dev/null";
        if (std::system(command.c_str()) != 0)
            return std::nullopt;
        return pngSize(output);
    }

    /// The metrics flag under which pango-view lays lines out with unhinted metrics, as text
    /// layouts here do. Releases differ in which spelling gives that, so it is found out: with
    /// hinted metrics every line is a whole number of points high, so ten lines are exactly ten
    /// times one line.
    std::optional<std::string> unhintedMetricsFlag()
    {
        for (std::string flag : { "--hint-metrics=off", "--hint-metrics=on" }) {
            auto one = render("x", "DejaVu Sans 14", 0, Markup::No, flag);
            auto ten = render("x\nx\nx\nx\nx\nx\nx\nx\nx\nx", "DejaVu Sans 14", 0, Markup::No, flag);
            if (one && ten && ten->height != 10 * one->height)
                return flag;
        }
        return std::nullopt;
    }

private:
    std::filesystem::path m_directory;
};

} // namespace

TEST(PangoViewComparisonTest, MeasuredSizesMatchPangoView)
{
    if (!hasPangoView())
        GTEST_SKIP() << "pango-view is not installed (package pango1.0-tools)";
    PangoView pangoView;
    auto flag = pangoView.unhintedMetricsFlag();
    ASSERT_TRUE(flag) << "pango-view lays out with hinted metrics under either flag";

    const Case cases[] = {
        { "Hello World", { "DejaVu Sans" }, 14, false, false, -1, Markup::No, "DejaVu Sans 14" },
        { "one\ntwo\nthree", { "No Such", "DejaVu Sans" }, 12, false, false, 0, Markup::No, "DejaVu Sans 12" },
        { "The quick brown fox jumps over the lazy dog", { "sans-serif" }, 14, false, false, 100, Markup::No,
            "DejaVu Sans 14" },
        { "Pack my box with five dozen liquor jugs", { "DejaVu Serif" }, 20, true, false, 150, Markup::No,
            "DejaVu Serif Bold 20" },
        { "Supercalifragilisticexpialidocious", { "DejaVu Sans Mono" }, 11, false, true, 60, Markup::No,
            "DejaVu Sans Mono Oblique 11" },
        { "plain <b>bold</b> <i>italic</i> &amp; more", { "DejaVu Sans" }, 16, false, false, -1, Markup::Yes,
            "DejaVu Sans 16" },
        { "<b>Push</b> the button, then wait", { "DejaVu Sans" }, 13.5, false, false, 90, Markup::Yes,
            "DejaVu Sans 13.5" },
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.text);
        auto font = FontHelper::getFont(item.families, item.size, item.bold, item.italic);
        Size measured = FontHelper::sizeForString(item.text, font, item.wrapWidth, item.markup);
        auto expected = pangoView.render(item.text, item.pangoFont, item.wrapWidth, item.markup, *flag);
        ASSERT_TRUE(expected);
        EXPECT_EQ(measured.height, expected->height);
        if (item.wrapWidth > 0)
            EXPECT_LE(measured.width, expected->width); // pango-view's image is as wide as the wrap width
        else
            EXPECT_EQ(measured.width, expected->width);
    }
}
