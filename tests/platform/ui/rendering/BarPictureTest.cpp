// Pictures behind navigation bars and their buttons, and the width possible titles give a button.

#include "platform/ui/rendering/Renderer.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/MainLoop.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"

#include <gtest/gtest.h>

using namespace morvix::platform;

namespace {

class BarPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::install(clock);
        MainLoop::main().resetForTesting();
    }
    void TearDown() override
    {
        MainLoop::main().resetForTesting();
        Clock::install(nullptr);
    }
    // A 3 x 3 picture: a ring of `ring` around a centre of `centre`, stretching between 1-point caps.
    static std::shared_ptr<Image> ringed(Color ring, Color centre)
    {
        ImageContext canvas({ 3, 3 }, Opaque::Yes, 1);
        canvas.context().setFillColor(ring);
        canvas.context().fillRect({ 0, 0, 3, 3 });
        canvas.context().setFillColor(centre);
        canvas.context().fillRect({ 1, 1, 1, 1 });
        return canvas.image()->resizable({ 1, 1, 1, 1 }, ResizingMode::Stretch);
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
};

TEST_F(BarPictureTest, BackgroundPicturesStretchBetweenTheirCapsOverBarAndButtons)
{
    const Color red = Color::fromRGBA(1, 0, 0), blue = Color::fromRGBA(0, 0, 1), green = Color::fromRGBA(0, 1, 0);
    auto bar = NavigationBar::create({ 0, 0, 320, NavigationBar::kHeight });
    bar->setBarTintColor(green);
    bar->setBackgroundImage(ringed(red, blue));
    bar->setBarStyle(BarStyle::Black);
    EXPECT_EQ(bar->barStyle(), BarStyle::Black);
    auto item = NavigationItem::create("");
    auto disabled = BarButtonItem::create("Off");
    disabled->setBackgroundImage(ringed(blue, green), ControlState::Normal);
    disabled->setEnabled(false);
    item->setLeftBarButtonItems({ disabled });
    bar->setItems({ item });
    bar->layoutIfNeeded();

    auto image = Renderer::render(*bar, { .scale = 1 });
    ASSERT_TRUE(image);
    // The bar's ring stays one point wide; its centre fills the rest instead of the tint.
    EXPECT_EQ(image->pixelAt(200, 0), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(image->pixelAt(319, 20), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(image->pixelAt(200, 20), (Pixel { 0, 0, 255, 255 }));
    // A disabled button without a picture of its own for that state shows the normal one.
    // Its picture is shorter than the bar and centred in it, so the bar shows above and below.
    Rect frame = disabled->backgroundFrame();
    EXPECT_EQ(frame.height(), BarButtonItem::kBackgroundHeight);
    EXPECT_EQ(image->pixelAt(int(frame.x()), int(frame.midY())), (Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(image->pixelAt(int(frame.x()) + 2, int(frame.y()) + 3), (Pixel { 0, 255, 0, 255 }));
    EXPECT_EQ(image->pixelAt(int(frame.x()) + 2, int(frame.y()) - 2), (Pixel { 0, 0, 255, 255 })) << "the bar's own picture above";

    bar->setBackgroundImage(nullptr);
    EXPECT_EQ(Renderer::render(*bar, { .scale = 1 })->pixelAt(200, 20), (Pixel { 0, 255, 0, 255 }));
}

TEST_F(BarPictureTest, PossibleTitlesMakeRoomForTheWidest)
{
    auto item = BarButtonItem::create("On");
    double narrow = item->layoutWidth();
    item->setPossibleTitles({ "On", "Switched off" });
    EXPECT_GT(item->layoutWidth(), narrow + 20);
    item->setTitle("Switched off");
    double wide = item->layoutWidth();
    item->setTitle("On");
    EXPECT_EQ(item->layoutWidth(), wide);
    item->setPossibleTitles({});
    EXPECT_EQ(item->layoutWidth(), narrow);
}

} // namespace
