// Tint colours of the slider, the progress bar, the spinner and the switch, as drawn.

#include "platform/graphics/Image.h"
#include "platform/ui/controls/ActivityIndicatorView.h"
#include "platform/ui/controls/ProgressView.h"
#include "platform/ui/controls/Slider.h"
#include "platform/ui/controls/Switch.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

using namespace morvix::platform;

namespace {

bool isColor(const Pixel& pixel, int red, int green, int blue)
{
    return pixel.alpha == 255 && pixel.red == red && pixel.green == green && pixel.blue == blue;
}

} // namespace

TEST(TintTest, SliderAndProgressViewDrawTheirTintsAndFallBackWhenCleared)
{
    UITestHarness harness;
    auto slider = Slider::create({ 0, 0, 228, 31 });
    slider->setValue(1);
    slider->setTintColor(Color::fromRGBA(0, 1, 0));
    slider->setMinimumTrackTintColor(Color::fromRGBA(1, 0, 0));
    auto picture = Renderer::render(*slider);
    ASSERT_TRUE(picture);
    double scale = picture->scale();
    auto trackPixel = [&](const Image& image) { return image.pixelAt(static_cast<int>(50 * scale), static_cast<int>(15.5 * scale)); };
    EXPECT_TRUE(isColor(trackPixel(*picture), 255, 0, 0)) << "the minimum-track tint wins over the tint colour";
    slider->setMinimumTrackTintColor(std::nullopt);
    EXPECT_TRUE(isColor(trackPixel(*Renderer::render(*slider)), 0, 255, 0)) << "then the tint colour";

    auto bar = ProgressView::create({ 0, 0, 100, 4 });
    bar->setProgress(0.5f);
    bar->setProgressTintColor(Color::fromRGBA(1, 0, 0));
    bar->setTrackTintColor(Color::fromRGBA(0, 0, 1));
    picture = Renderer::render(*bar);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(isColor(picture->pixelAt(static_cast<int>(20 * scale), 2), 255, 0, 0));
    EXPECT_TRUE(isColor(picture->pixelAt(static_cast<int>(80 * scale), 2), 0, 0, 255));
    bar->setTrackTintColor(std::nullopt);
    EXPECT_FALSE(isColor(Renderer::render(*bar)->pixelAt(static_cast<int>(80 * scale), 2), 0, 0, 255));
}

TEST(TintTest, SpinnerStylesColourAndHidingWhenStopped)
{
    UITestHarness harness;
    auto wheel = ActivityIndicatorView::create({ 0, 0, 20, 20 }, ActivityIndicatorStyle::White);
    EXPECT_EQ(wheel->intrinsicContentSize(), Size(20, 20));
    wheel->setStyle(ActivityIndicatorStyle::WhiteLarge);
    EXPECT_EQ(wheel->intrinsicContentSize(), Size(37, 37));
    wheel->setHidesWhenStopped(false);
    EXPECT_FALSE(wheel->isHidden()) << "a stopped wheel shows once it no longer hides";
    wheel->startAnimating();
    wheel->stopAnimating();
    EXPECT_FALSE(wheel->isHidden());
    wheel->setHidesWhenStopped(true);
    EXPECT_TRUE(wheel->isHidden());

    // The leading spoke (straight up) in the colour, at full strength.
    wheel->startAnimating();
    wheel->setColor(Color::fromRGBA(1, 0, 0));
    auto picture = Renderer::render(*wheel);
    ASSERT_TRUE(picture);
    auto spoke = picture->pixelAt(picture->pixelWidth() / 2, picture->pixelHeight() / 4);
    EXPECT_EQ(spoke.red, 255);
    EXPECT_EQ(spoke.green, 0);
    wheel->setColor(std::nullopt);
    spoke = Renderer::render(*wheel)->pixelAt(picture->pixelWidth() / 2, picture->pixelHeight() / 4);
    EXPECT_GT(spoke.alpha, 0);
    EXPECT_TRUE(spoke.red == 255 && spoke.green == 255 && spoke.blue == 255) << "the white styles default to white";
}

TEST(TintTest, SwitchTrackIsInTheTintColourWhileOff)
{
    UITestHarness harness;
    auto toggle = Switch::create();
    toggle->setTintColor(Color::fromRGBA(0, 0, 1));
    toggle->setOnTintColor(Color::fromRGBA(1, 0, 0));
    auto picture = Renderer::render(*toggle);
    ASSERT_TRUE(picture);
    double scale = picture->scale();
    // Right of the thumb, inside the track.
    Point probe { 40 * scale, 15.5 * scale };
    EXPECT_TRUE(isColor(picture->pixelAt(static_cast<int>(probe.x), static_cast<int>(probe.y)), 0, 0, 255));
    toggle->setOn(true);
    // Left of the thumb while on.
    EXPECT_TRUE(isColor(Renderer::render(*toggle)->pixelAt(static_cast<int>(10 * scale), static_cast<int>(probe.y)), 255, 0, 0));
}
