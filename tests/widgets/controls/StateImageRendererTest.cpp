// The check and radio images, probed pixel by pixel at both screen scales.

#include "widgets/controls/CheckImageRenderer.h"
#include "widgets/controls/RadioImageRenderer.h"

#include "platform/graphics/Image.h"
#include "platform/ui/Screen.h"
#include "widgets/controls/Button.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

using platform::Color;
using platform::Image;
using platform::Pixel;

class StateImageRendererTest : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override { platform::Screen::main().setScale(GetParam()); }
    void TearDown() override { platform::Screen::main().resetForTesting(); }

    // The pixel under the point (x, y) of the 26-point canvas.
    static Pixel at(const Image& image, double x, double y)
    {
        double scale = image.scale();
        return image.pixelAt(static_cast<int>(x * scale), static_cast<int>(y * scale));
    }
};

TEST_P(StateImageRendererTest, CheckBoxImagesLeaveTheMarkAndTheCornersTransparent)
{
    CheckImageRenderer renderer;
    auto checked = renderer.checkedImage();
    auto unchecked = renderer.uncheckedImage();
    ASSERT_TRUE(checked && unchecked);
    EXPECT_EQ(checked->scale(), GetParam());
    EXPECT_EQ(checked->pixelWidth(), static_cast<int>(26 * GetParam()));
    EXPECT_EQ(checked->size(), platform::Size(26, 26));

    EXPECT_EQ(at(*checked, 0.5, 0.5).alpha, 0) << "transparent background";
    EXPECT_EQ(at(*checked, 10.5, 16).alpha, 0) << "the check mark is cut out of the square";
    Pixel box = at(*checked, 4, 12);
    EXPECT_EQ(box.alpha, 255);
    EXPECT_EQ(box.red, 22);
    EXPECT_EQ(box.green, 126);
    EXPECT_EQ(box.blue, 251);

    EXPECT_EQ(at(*unchecked, 13, 13).alpha, 0) << "only the outline is drawn";
    EXPECT_GT(at(*unchecked, 2.6, 13).alpha, 100);
    EXPECT_EQ(at(*unchecked, 1, 13).alpha, 0);

    EXPECT_EQ(renderer.checkedImage(), checked) << "drawn once and kept";
    renderer.setColor(Color::fromRGBA(1, 0, 0));
    auto red = renderer.checkedImage();
    EXPECT_NE(red, checked);
    EXPECT_NE(renderer.uncheckedImage(), unchecked) << "both images are dropped";
    EXPECT_EQ(at(*red, 4, 12), (Pixel { 255, 0, 0, 255 }));
}

TEST_P(StateImageRendererTest, RadioImagesFillTheCentreOnlyWhenChecked)
{
    RadioImageRenderer renderer;
    auto checked = renderer.checkedImage();
    auto unchecked = renderer.uncheckedImage();
    ASSERT_TRUE(checked && unchecked);
    EXPECT_EQ(at(*checked, 13, 13).alpha, 255);
    EXPECT_EQ(at(*unchecked, 13, 13).alpha, 0);
    EXPECT_EQ(at(*checked, 5, 13).alpha, 0) << "between the ring and the dot";
    EXPECT_GT(at(*unchecked, 2.6, 13).alpha, 100);
    EXPECT_EQ(at(*checked, 2, 2).alpha, 0);
}

TEST_P(StateImageRendererTest, HighlightImageTintsWhereTheImageIsNotTransparent)
{
    CheckImageRenderer renderer;
    auto tinted = Button::highlightImage(renderer.checkedImage(), Color::fromRGBA(0, 1, 0, 1));
    ASSERT_TRUE(tinted);
    EXPECT_EQ(tinted->scale(), GetParam()) << "the image's own scale";
    EXPECT_EQ(at(*tinted, 4, 12), (Pixel { 0, 255, 0, 255 }));
    EXPECT_EQ(at(*tinted, 10.5, 16).alpha, 0);
    EXPECT_EQ(at(*tinted, 0.5, 0.5).alpha, 0);
}

INSTANTIATE_TEST_SUITE_P(Scales, StateImageRendererTest, ::testing::Values(1.0, 2.0));

} // namespace
} // namespace morvix
