// Widgets turned by a transform and then given their bounds, drawn as the window shows them: a
// vertical progress bar and a composite turned before it was sized.

#include "widgets/controls/ProgressBar.h"

#include "platform/graphics/Image.h"
#include "platform/ui/controls/ProgressView.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

using platform::Pixel;
using platform::Rect;

constexpr Pixel kRed { 255, 0, 0, 255 };
constexpr Pixel kBlue { 0, 0, 255, 255 };
constexpr Pixel kGreen { 0, 255, 0, 255 };
constexpr Pixel kWhite { 255, 255, 255, 255 };

class TurnedFrameSessionTest : public testing::ScriptSessionFixture { };

TEST_F(TurnedFrameSessionTest, VerticalBarFillsItsFrameFromTheBottom)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568], background: [255, 255, 255]});
        client.create('p1', 'zub.widgets.ProgressBar', {parent: 'w1', style: ['VERTICAL'], bounds: [20, 40, 10, 200],
            selection: 25, foreground: [255, 0, 0], background: [0, 0, 255]});
        client.create('p2', 'zub.widgets.ProgressBar', {parent: 'w1', bounds: [60, 40, 200, 10], selection: 50,
            foreground: [255, 0, 0], background: [0, 0, 255]});)");
    auto bar = std::dynamic_pointer_cast<ProgressBar>(object("p1"));
    ASSERT_TRUE(bar && bar->progressView());
    EXPECT_EQ(bar->view()->frame(), Rect(20, 40, 10, 200)) << "the area stays upright and takes its frame";
    auto turned = bar->progressView()->convertRectTo(bar->progressView()->bounds(), bar->view().get());
    EXPECT_NEAR(turned.height(), 200, 1e-9) << "the bar runs the area's whole height";
    EXPECT_NEAR(turned.midX(), 5, 1e-9);

    auto picture = platform::Renderer::render(*widget("w1")->view(), { .scale = 1 });
    ASSERT_TRUE(picture);
    // The bottom quarter (y 190 to 240) is filled, the rest is the track; beside the bar
    // nothing is drawn.
    EXPECT_EQ(picture->pixelAt(25, 235), kRed);
    EXPECT_EQ(picture->pixelAt(25, 195), kRed);
    EXPECT_EQ(picture->pixelAt(25, 185), kBlue);
    EXPECT_EQ(picture->pixelAt(25, 45), kBlue);
    EXPECT_EQ(picture->pixelAt(25, 35), kWhite) << "nothing above the frame";
    EXPECT_EQ(picture->pixelAt(21, 140), kWhite);
    EXPECT_EQ(picture->pixelAt(29, 140), kWhite);
    // The horizontal bar, for comparison, fills from the left.
    EXPECT_EQ(picture->pixelAt(100, 45), kRed);
    EXPECT_EQ(picture->pixelAt(200, 45), kBlue);

    // A later size moves the bar along.
    run("client.set('p1', {bounds: [20, 40, 40, 100]});");
    picture = platform::Renderer::render(*widget("w1")->view(), { .scale = 1 });
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelAt(40, 135), kRed);
    EXPECT_EQ(picture->pixelAt(40, 45), kBlue);
    EXPECT_EQ(picture->pixelAt(25, 235), kWhite);
    EXPECT_EQ(bar->intrinsicContentSize().width, platform::ProgressView::kHeight);
}

TEST_F(TurnedFrameSessionTest, WidgetTurnedBeforeItsBoundsEndsAsOneTurnedAfter)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568], background: [255, 255, 255]});
        client.create('t1', 'zub.widgets.Composite', {parent: 'w1', background: [0, 255, 0], transform: {rotation: Math.PI / 2}});
        client.create('t2', 'zub.widgets.Composite', {parent: 'w1', background: [0, 255, 0], bounds: [100, 300, 80, 40]});)");
    run("client.set('t1', {bounds: [100, 100, 80, 40]}); client.set('t2', {transform: {rotation: Math.PI / 2}});");
    auto first = widget("t1")->view();
    auto second = widget("t2")->view();
    EXPECT_EQ(first->bounds().size, second->bounds().size);
    EXPECT_EQ(first->bounds().size, platform::Size(80, 40));
    Rect turned = first->frame();
    EXPECT_NEAR(turned.x(), 120, 1e-4);
    EXPECT_NEAR(turned.y(), 80, 1e-4);
    EXPECT_NEAR(turned.width(), 40, 1e-4);
    EXPECT_NEAR(turned.height(), 80, 1e-4);
    EXPECT_NEAR(second->frame().y() - 200, turned.y(), 1e-4);

    auto picture = platform::Renderer::render(*widget("w1")->view(), { .scale = 1 });
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelAt(140, 90), kGreen) << "turned about its centre";
    EXPECT_EQ(picture->pixelAt(105, 120), kWhite);
    EXPECT_EQ(picture->pixelAt(140, 290), kGreen);
}

} // namespace
} // namespace morvix
