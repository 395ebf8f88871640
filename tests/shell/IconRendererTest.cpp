// The vector-drawn icons of the application frame, probed pixel by pixel.

#include "shell/HomeImageRenderer.h"
#include "shell/TopLevelMenuImageRenderer.h"
#include "widgets/images/ShellImageRenderer.h"

#include "platform/graphics/Image.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace morvix {
namespace {

// Alpha of the pixel covering the point (x, y) in points.
int alphaAt(const platform::Image& image, double x, double y)
{
    return image.pixelAt(static_cast<int>(x * image.scale()), static_cast<int>(y * image.scale())).alpha;
}

TEST(IconRendererTest, MenuAndHomeShapesAtScalesOneAndTwo)
{
    for (double scale : { 1.0, 2.0 }) {
        SCOPED_TRACE(scale);
        platform::UITestHarness harness({ 320, 568 }, scale);

        TopLevelMenuImageRenderer menu;
        EXPECT_EQ(menu.color(), platform::Color::fromRGBA(0.086f, 0.494f, 0.984f, 1));
        auto list = menu.image();
        ASSERT_TRUE(list);
        EXPECT_EQ(list->pixelWidth(), static_cast<int>(20 * scale));
        for (double row : { 3.0, 7.0, 11.0, 15.0 }) {
            EXPECT_NEAR(alphaAt(*list, 1.5, row + 0.5), 191, 1); // the square, at three quarters
            EXPECT_EQ(alphaAt(*list, 10.5, row + 1.5), 255); // the bar
            EXPECT_EQ(alphaAt(*list, 4.2, row + 0.5), 0); // between square and bar
            EXPECT_EQ(alphaAt(*list, 10.5, row + 2.5), 0); // below the row
        }
        EXPECT_EQ(alphaAt(*list, 19.5, 3.5), 0); // right of the bars

        HomeImageRenderer home;
        EXPECT_EQ(home.color(), platform::Color::fromRGBA(22 / 255.0f, 126 / 255.0f, 251 / 255.0f, 1));
        auto house = home.image();
        ASSERT_TRUE(house);
        EXPECT_EQ(alphaAt(*house, 10.5, 1.5), 255); // roof ridge
        EXPECT_EQ(alphaAt(*house, 10.5, 3.2), 0); // between the roof and the body
        EXPECT_EQ(alphaAt(*house, 4.5, 3.5), 255); // chimney
        EXPECT_EQ(alphaAt(*house, 5.5, 16.5), 255); // wall
        EXPECT_EQ(alphaAt(*house, 10.5, 17.5), 0); // the door
        EXPECT_EQ(alphaAt(*house, 1.5, 15.5), 0); // outside, left of the wall

        ShellImageRenderer shell;
        auto close = shell.image();
        ASSERT_TRUE(close);
        EXPECT_EQ(alphaAt(*close, 12, 12), 255); // the cross's centre
        EXPECT_EQ(alphaAt(*close, 12, 1.5), 255); // the ring
        EXPECT_EQ(alphaAt(*close, 12, 4.5), 0); // between ring and cross
    }
}

TEST(IconRendererTest, MenuAndHomeKeepTheirImageUntilTheColourChanges)
{
    platform::UITestHarness harness({ 320, 568 }, 2);
    TopLevelMenuImageRenderer menu;
    HomeImageRenderer home;
    auto list = menu.image();
    auto house = home.image();
    EXPECT_EQ(menu.image(), list);
    EXPECT_EQ(home.image(), house);

    auto red = platform::Color::fromRGBA(1, 0, 0, 1);
    menu.setColor(red);
    home.setColor(red);
    auto redList = menu.image();
    auto redHouse = home.image();
    EXPECT_NE(redList, list);
    EXPECT_NE(redHouse, house);
    EXPECT_EQ(redList->pixelAt(21, 7).red, 255);
    EXPECT_EQ(redList->pixelAt(21, 7).blue, 0);
    EXPECT_EQ(redHouse->pixelAt(11, 33).red, 255);
    EXPECT_EQ(menu.image(), redList);
}

TEST(IconRendererTest, PicturesOfEachIcon)
{
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto folder = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(folder);
    for (double scale : { 1.0, 2.0, 3.0 }) {
        platform::UITestHarness harness({ 320, 568 }, scale);
        for (bool dark : { false, true }) {
            auto color = platform::Color::fromRGBA(0.2f, 0.2f, 0.2f, 1);
            std::string suffix = std::string(dark ? "-dark@" : "-default@") + std::to_string(static_cast<int>(scale)) + "x.png";
            TopLevelMenuImageRenderer menu;
            HomeImageRenderer home;
            ShellImageRenderer shell;
            if (dark) {
                menu.setColor(color);
                home.setColor(color);
                shell.setColor(color);
            }
            EXPECT_TRUE(menu.image()->writePNG((folder / ("icon-menu" + suffix)).string()));
            EXPECT_TRUE(home.image()->writePNG((folder / ("icon-home" + suffix)).string()));
            EXPECT_TRUE(shell.image()->writePNG((folder / ("icon-close" + suffix)).string()));
        }
    }
}

} // namespace
} // namespace morvix
