// Bars as the renderer draws them: the toolbar's own tint, a disabled item's own colour, and a
// back button whose title would crowd the bar.

#include "platform/ui/rendering/Renderer.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/MainLoop.h"
#include "platform/graphics/Image.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Toolbar.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace morvix::platform;

namespace {

class BarRenderingTest : public ::testing::Test {
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

    // The strongest red of the pixels inside `area`.
    static int strongestRed(const Image& image, const Rect& area)
    {
        int red = 0;
        for (int y = static_cast<int>(area.minY()); y < static_cast<int>(area.maxY()); ++y) {
            for (int x = static_cast<int>(area.minX()); x < static_cast<int>(area.maxX()); ++x)
                red = std::max(red, static_cast<int>(image.pixelAt(x, y).red));
        }
        return red;
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
};

TEST_F(BarRenderingTest, ToolbarTakesItsTintAndADisabledItemItsOwnColour)
{
    auto toolbar = Toolbar::create({ 0, 0, 320, Toolbar::kHeight });
    toolbar->setBarTintColor(Color::fromRGBA(0, 0, 1));
    auto own = BarButtonItem::create("Own");
    own->setEnabled(false);
    own->setTitleColor(Color::fromRGBA(1, 0, 0), ControlState::Normal);
    own->setTitleColor(Color::fromRGBA(1, 0, 0, 0.5f), ControlState::Disabled);
    auto dimmed = BarButtonItem::create("Dim");
    dimmed->setEnabled(false);
    dimmed->setTitleColor(Color::fromRGBA(1, 0, 0), ControlState::Normal);
    toolbar->setItems({ own, BarButtonItem::createSystem(BarButtonSystemItem::FlexibleSpace), dimmed });
    toolbar->layoutIfNeeded();

    auto image = Renderer::render(*toolbar, { .scale = 1 });
    ASSERT_TRUE(image);
    auto corner = image->pixelAt(1, static_cast<int>(Toolbar::kHeight) - 2);
    EXPECT_EQ(corner.blue, 255);
    EXPECT_EQ(corner.red, 0);
    // Red at half strength over blue: about 128 at the title's solid strokes; dimmed once more,
    // a little over a third of that.
    int ownRed = strongestRed(*image, own->view()->frame());
    int dimmedRed = strongestRed(*image, dimmed->view()->frame());
    EXPECT_NEAR(ownRed, 128, 8);
    EXPECT_NEAR(dimmedRed, 89, 8);
}

TEST_F(BarRenderingTest, ALongBackTitleGivesWayToBack)
{
    auto bar = NavigationBar::create({ 0, 0, 320, NavigationBar::kHeight });
    bar->setItems({ NavigationItem::create("Containers, menus, drawing and media"), NavigationItem::create("Details") });
    bar->layoutIfNeeded();
    ASSERT_TRUE(bar->backButton());
    EXPECT_EQ(bar->backButton()->title(), "Back");
    bar->setItems({ NavigationItem::create("Home"), NavigationItem::create("Details") });
    bar->layoutIfNeeded();
    EXPECT_EQ(bar->backButton()->title(), "Home");
}

} // namespace
