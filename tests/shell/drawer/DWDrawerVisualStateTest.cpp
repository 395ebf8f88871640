// The ready-made visual states as matrices, the drawn menu button and the menu item image.

#include "shell/drawer/DWDrawerVisualState.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/TimeInterval.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "shell/drawer/DWDrawerBarButtonItem.h"
#include "shell/drawer/DWDrawerCenterContainerView.h"
#include "shell/drawer/DWDrawerMenuButtonView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>

namespace morvix {
namespace {

using namespace platform;

class DWDrawerVisualStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        drawer = DWDrawerController::create(ViewController::create(), left, right);
        harness.window()->setRootViewController(drawer);
    }
    Transform3D leftTransform() const { return left->view()->transform3D(); }

    UITestHarness harness;
    std::shared_ptr<ViewController> left = ViewController::create();
    std::shared_ptr<ViewController> right = ViewController::create();
    std::shared_ptr<DWDrawerController> drawer;
};

TEST_F(DWDrawerVisualStateTest, SlideAndScaleAndParallax)
{
    auto slideAndScale = DWDrawerVisualState::slideAndScaleVisualStateBlock();
    slideAndScale(*drawer, DWSideLeft, 0);
    EXPECT_DOUBLE_EQ(leftTransform().m11, 0.9);
    EXPECT_DOUBLE_EQ(leftTransform().m33, 0.9);
    EXPECT_DOUBLE_EQ(leftTransform().m41, 50);
    EXPECT_EQ(left->view()->alpha(), 0);
    slideAndScale(*drawer, DWSideRight, 0);
    EXPECT_DOUBLE_EQ(right->view()->transform3D().m41, -50);
    slideAndScale(*drawer, DWSideLeft, 1);
    EXPECT_TRUE(leftTransform().isIdentity());
    EXPECT_EQ(left->view()->alpha(), 1);

    auto parallax = DWDrawerVisualState::parallaxVisualStateBlockWithParallaxFactor(3);
    parallax(*drawer, DWSideLeft, 0);
    EXPECT_NEAR(leftTransform().m41, -93.333, 1e-3);
    parallax(*drawer, DWSideLeft, 0.5);
    EXPECT_NEAR(leftTransform().m41, -46.667, 1e-3);
    // Beyond 1 it stretches: scaled, and shifted by half the excess before the scale.
    parallax(*drawer, DWSideLeft, 1.5);
    EXPECT_DOUBLE_EQ(leftTransform().m11, 1.5);
    EXPECT_DOUBLE_EQ(leftTransform().m41, 0.5 * 280 * 0.5 * 1.5);
    // A factor of 0 counts as 1 instead of an infinite shift.
    DWDrawerVisualState::parallaxVisualStateBlockWithParallaxFactor(0)(*drawer, DWSideLeft, 0);
    EXPECT_DOUBLE_EQ(leftTransform().m41, -280);
    // Sides other than left and right are left alone.
    DWDrawerVisualState::slideVisualStateBlock()(*drawer, 7, 0);
}

TEST_F(DWDrawerVisualStateTest, SwingingDoorTurnsAboutTheOuterEdge)
{
    auto door = DWDrawerVisualState::swingingDoorVisualStateBlock();
    door(*drawer, DWSideLeft, 0);
    EXPECT_EQ(left->view()->layer().anchorPoint(), (Point { 1.0, 0.5 }));
    EXPECT_TRUE(left->view()->layer().shouldRasterize());
    EXPECT_EQ(left->view()->layer().rasterizationScale(), 2);
    Transform3D turned = leftTransform();
    // A quarter turn about the vertical axis: x maps onto depth, and the perspective sees it
    // (the shift that follows mixes the perspective term into x).
    EXPECT_NEAR(turned.m11, 0.14, 1e-12);
    EXPECT_NEAR(turned.m13, 1, 1e-12);
    EXPECT_NEAR(turned.m14, -0.001, 1e-12);
    EXPECT_NEAR(turned.m41, -140, 1e-12);
    door(*drawer, DWSideLeft, 1);
    EXPECT_NEAR(leftTransform().m11, 1, 1e-12);
    EXPECT_NEAR(leftTransform().m14, 0, 1e-12);
    EXPECT_NEAR(leftTransform().m41, 140, 1e-12);
    door(*drawer, DWSideRight, 1);
    EXPECT_EQ(right->view()->layer().anchorPoint(), (Point { 0.0, 0.5 }));
    EXPECT_NEAR(right->view()->transform3D().m41, -140, 1e-12);
    drawer->resetDrawerVisualStateForDrawerSide(DWSideLeft);
    EXPECT_EQ(left->view()->layer().anchorPoint(), (Point { 0.5, 0.5 }));
    EXPECT_TRUE(leftTransform().isIdentity());
}

TEST(DWDrawerMenuButtonTest, ColoursPerStateAndTheCachedItemImage)
{
    UITestHarness harness;
    auto button = DWDrawerMenuButtonView::create(Rect(0, 0, 26, 26));
    EXPECT_EQ(button->menuButtonColorForState(ControlState::Normal), Color::fromRGBA(1, 1, 1, 0.9f));
    EXPECT_EQ(button->shadowColorForState(ControlState::Highlighted), Color::fromRGBA(0, 0, 0, 0.2f));
    EXPECT_EQ(button->menuButtonColorForState(ControlState::Selected), std::nullopt);
    button->clearNeedsDisplay();
    button->setMenuButtonColor(Color::black(), ControlState::Selected);
    EXPECT_EQ(button->menuButtonColorForState(ControlState::Selected), std::nullopt);
    EXPECT_TRUE(button->needsDisplay()) << "the setter redraws all the same";

    // Three bars 0.8 W wide at y = g, h + 2g and 2h + 3g, each with a shadow one point below.
    button->setMenuButtonColor(Color::fromRGBA(1, 0, 0, 1), ControlState::Normal);
    button->setShadowColor(Color::fromRGBA(0, 0, 1, 1), ControlState::Normal);
    auto picture = Renderer::render(*button, { .scale = 1 });
    ASSERT_TRUE(picture);
    auto pixel = [&](int x, int y) { return picture->pixelAt(x, y); };
    const Pixel red { 255, 0, 0, 255 };
    EXPECT_EQ(pixel(13, 4), red);
    EXPECT_EQ(pixel(13, 11), red);
    EXPECT_EQ(pixel(13, 18), red);
    EXPECT_EQ(pixel(13, 8).red, 0) << "the shadow under the first bar";
    EXPECT_EQ(pixel(13, 8).blue, 255);
    EXPECT_GT(pixel(13, 8).alpha, 0);
    EXPECT_EQ(pixel(1, 4).alpha, 0);

    auto first = DWDrawerBarButtonItem::drawerButtonItemImage();
    EXPECT_EQ(first, DWDrawerBarButtonItem::drawerButtonItemImage());
    auto item = DWDrawerBarButtonItem::create({}, {});
    EXPECT_EQ(item->image(), first);
    EXPECT_EQ(item->buttonView(), nullptr);
    EXPECT_EQ(item->menuButtonColorForState(ControlState::Normal), std::nullopt);

    int taps = 0;
    auto owner = std::make_shared<int>(0);
    auto old = DWDrawerBarButtonItem::createWithButtonView(owner, [&](BarButtonItem&) { ++taps; });
    ASSERT_NE(old->buttonView(), nullptr);
    EXPECT_EQ(old->customView(), old->buttonView());
    old->buttonView()->sendActionsForControlEvents(ControlEventTouchUpInside);
    EXPECT_EQ(taps, 1);
    old->setMenuButtonColor(Color::black(), ControlState::Highlighted);
    EXPECT_EQ(old->buttonView()->menuButtonColorForState(ControlState::Highlighted), Color::black());
}

std::filesystem::path lookFolder()
{
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    return directory;
}

// Pictures a person can look at: an opening and a bounce as film strips, the visual states
// half way, and the menu button in both states.
TEST_F(DWDrawerVisualStateTest, PicturesOfTheDrawerMoving)
{
    drawer->centerViewController()->view()->setBackgroundColor(Color::fromRGBA(0.9f, 0.3f, 0.2f));
    left->view()->setBackgroundColor(Color::fromRGBA(0.2f, 0.4f, 0.9f));
    auto window = harness.window();
    auto folder = lookFolder();
    auto strip = [&](double total, int frames) {
        std::vector<TimePoint> moments;
        TimePoint start = harness.clock().now();
        for (int i = 0; i < frames; ++i)
            moments.push_back(start + durationFromSeconds(total * i / (frames - 1)));
        return Renderer::renderFilmStrip(*window, moments, { .backdrop = Color::white() });
    };

    drawer->openDrawerSide(DWSideLeft, true);
    auto opening = strip(1.0 / 3, 5);
    ASSERT_TRUE(opening);
    // Half way (the third frame) the drawer shows on the left and the centre beside it.
    Pixel drawerPixel = opening->pixelAt(2 * (320 + 4) + 20, 300);
    EXPECT_GT(drawerPixel.blue, 200);
    EXPECT_TRUE(opening->writePNG((folder / "drawer-opening.png").string()));
    harness.advance(1);
    drawer->closeDrawerAnimated(false);
    harness.runUntilIdle();

    drawer->bouncePreviewForDrawerSide(DWSideLeft, {});
    auto bounce = strip(0.8 * 14 / 31, 8);
    ASSERT_TRUE(bounce);
    // The seventh keyframe shows 50 points of drawer.
    Pixel peak = Renderer::render(*window, { .time = harness.clock().now() + durationFromSeconds(0.8 * 7 / 31) })->pixelAt(20, 300);
    EXPECT_GT(peak.blue, 200);
    EXPECT_TRUE(bounce->writePNG((folder / "drawer-bounce.png").string()));
    harness.advance(1);

    drawer->centerContainerView()->setFrame(Rect(140, 0, 320, 568));
    left->view()->setHidden(false);
    DWDrawerVisualState::slideAndScaleVisualStateBlock()(*drawer, DWSideLeft, 0.5);
    EXPECT_TRUE(Renderer::renderPNG(*window, (folder / "drawer-slide-and-scale.png").string(), { .backdrop = Color::white() }));
    drawer->resetDrawerVisualStateForDrawerSide(DWSideLeft);
    DWDrawerVisualState::swingingDoorVisualStateBlock()(*drawer, DWSideLeft, 0.5);
    auto door = Renderer::render(*window, { .backdrop = Color::white() });
    ASSERT_TRUE(door);
    EXPECT_GT(door->pixelAt(100, 300).blue, 200) << "the door half open shows left of the centre";
    EXPECT_TRUE(door->writePNG((folder / "drawer-swinging-door.png").string()));

    auto button = DWDrawerMenuButtonView::create(Rect(0, 0, 26, 26));
    auto normal = Renderer::render(*button, { .scale = 4, .backdrop = Color::fromRGBA(0.3f, 0.3f, 0.3f) });
    button->setHighlighted(true);
    auto highlighted = Renderer::render(*button, { .scale = 4, .backdrop = Color::fromRGBA(0.3f, 0.3f, 0.3f) });
    ASSERT_TRUE(normal && highlighted);
    EXPECT_NE(normal->pixelAt(52, 20), highlighted->pixelAt(52, 20));
    EXPECT_TRUE(normal->writePNG((folder / "drawer-menu-button.png").string()));
    EXPECT_TRUE(highlighted->writePNG((folder / "drawer-menu-button-highlighted.png").string()));
}

} // namespace
} // namespace morvix
