// The close icon of shell windows.

#include "widgets/images/ShellImageRenderer.h"

#include "platform/graphics/Image.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "widgets/text/FontHelper.h"

#include <gtest/gtest.h>

#include <cmath>

namespace morvix {
namespace {

TEST(ShellImageRendererTest, DrawsANewCircledCrossAtTheScreenScaleInItsColour)
{
    platform::UITestHarness harness({ 320, 568 }, 3);
    ShellImageRenderer renderer;
    EXPECT_EQ(renderer.color(), FontHelper::activeTextColor());
    auto first = renderer.image();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->pixelWidth(), 72);
    EXPECT_EQ(first->pixelHeight(), 72);
    EXPECT_DOUBLE_EQ(first->scale(), 3);
    EXPECT_NE(renderer.image(), first);

    // The ring at the top, the cross in the middle, nothing between them or in the corner.
    auto accent = FontHelper::activeTextColor();
    auto ring = first->pixelAt(36, 3);
    EXPECT_EQ(ring.alpha, 255);
    EXPECT_NEAR(ring.blue, std::lround(accent.blue * 255), 2);
    EXPECT_EQ(first->pixelAt(36, 36).alpha, 255);
    EXPECT_EQ(first->pixelAt(36, 18).alpha, 0);
    EXPECT_EQ(first->pixelAt(1, 1).alpha, 0);

    renderer.setColor(platform::Color::fromRGBA(1, 0, 0, 1));
    auto red = renderer.image()->pixelAt(36, 36);
    EXPECT_EQ(red.red, 255);
    EXPECT_EQ(red.blue, 0);
}

} // namespace
} // namespace morvix
