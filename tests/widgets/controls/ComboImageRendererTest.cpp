// The three-dot images of picker buttons, probed pixel by pixel.

#include "widgets/controls/ComboImageRenderer.h"

#include "platform/graphics/Image.h"
#include "platform/ui/Screen.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

using platform::Color;
using platform::Image;

bool inDot(int x, int y)
{
    // At scale 2 the dots cover x 36–41 and y 16–21, 26–31, 36–41.
    bool column = x >= 36 && x <= 41;
    bool row = (y >= 16 && y <= 21) || (y >= 26 && y <= 31) || (y >= 36 && y <= 41);
    return column && row;
}

TEST(ComboImageRendererTest, DotsArePixelExactAtScaleTwoAndTheDisabledImageIsBlank)
{
    platform::Screen::main().setScale(2);
    ComboImageRenderer renderer;
    renderer.setForeground(Color::fromRGBA(1, 0, 0));
    auto enabled = renderer.enabledImage();
    auto pressed = renderer.pressedImage();
    auto disabled = renderer.disabledImage();
    ASSERT_TRUE(enabled && pressed && disabled);
    EXPECT_EQ(enabled->size(), platform::Size(30, 30));
    ASSERT_EQ(enabled->pixelWidth(), 60);
    ASSERT_EQ(enabled->pixelHeight(), 60);
    int wrong = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            auto pixel = enabled->pixelAt(x, y);
            auto same = pressed->pixelAt(x, y);
            bool expected = inDot(x, y) ? pixel.alpha == 255 && pixel.red == 255 && pixel.green == 0 && pixel.blue == 0
                                        : pixel.alpha == 0;
            wrong += !expected || same.alpha != pixel.alpha || same.red != pixel.red || disabled->pixelAt(x, y).alpha != 0;
        }
    }
    EXPECT_EQ(wrong, 0) << "dots exactly in the foreground, transparency elsewhere, the disabled image blank";

    // Drawn anew on each request: a new colour shows in the next image, not in the old one.
    renderer.setForeground(Color::fromRGBA(0, 0, 1));
    EXPECT_EQ(renderer.enabledImage()->pixelAt(37, 17).blue, 255);
    EXPECT_EQ(enabled->pixelAt(37, 17).red, 255);
    EXPECT_NE(enabled, renderer.enabledImage());
    platform::Screen::main().resetForTesting();
}

} // namespace
} // namespace morvix
