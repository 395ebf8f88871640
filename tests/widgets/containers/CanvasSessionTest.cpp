// Canvases and their drawing contexts in a real session: pictures and finger drawing.

#include "widgets/containers/Canvas.h"

#include "platform/graphics/Image.h"
#include "platform/ui/Window.h"
#include "platform/ui/gestures/TouchDriver.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/containers/CanvasView.h"
#include "widgets/containers/ClientCanvasView.h"
#include "widgets/containers/GC.h"

#include <cstdlib>

namespace morvix {
namespace {

using platform::Point;
using platform::Value;

class CanvasSessionTest : public testing::ScriptSessionFixture {
protected:
    void SetUp() override
    {
        ScriptSessionFixture::SetUp();
        start(R"(
            client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
            client.create('w5', 'zub.widgets.Canvas', {parent: 'w1', bounds: [0, 0, 200, 150]});)");
        canvas = std::dynamic_pointer_cast<Canvas>(widget("w5"));
        ASSERT_NE(canvas, nullptr);
        sent();
    }
    std::shared_ptr<platform::Image> picture() { return platform::Renderer::render(*canvas->canvasView()); }
    // The window point of a canvas point.
    Point onScreen(Point point) { return canvas->canvasView()->convertPointTo(point, nullptr); }

    std::shared_ptr<Canvas> canvas;
};

TEST_F(CanvasSessionTest, TheCanvasShowsItsFirstDrawingContextFoundAfresh)
{
    EXPECT_EQ(canvas->intrinsicContentSize().width, platform::View::kNoIntrinsicMetric);
    EXPECT_EQ(picture()->pixelAt(20, 20).alpha, 0);

    run(R"(client.create('g1', 'zub.widgets.GC', {parent: 'w5'});
        client.call('g1', 'init', {width: 100, height: 80});
        client.call('g1', 'draw', {operations: [['fillStyle', [255, 0, 0]], ['rect', 10, 10, 20, 20], ['fill']]});)");
    EXPECT_TRUE(canvas->canvasView()->needsDisplay());
    EXPECT_EQ(canvas->intrinsicContentSize(), (platform::Size { 100, 80 }));
    EXPECT_EQ(picture()->pixelAt(20, 20), (platform::Pixel { 255, 0, 0, 255 }));

    // A failing list stops there; the session goes on and the next list draws.
    run(R"(client.call('g1', 'draw', {operations: [['lineTo', 5], ['rect', 40, 10, 10, 10], ['fill']]});
        client.call('g1', 'draw', {operations: [['rect', 60, 10, 10, 10], ['fill']]});)");
    EXPECT_EQ(picture()->pixelAt(45, 15).alpha, 0);
    EXPECT_EQ(picture()->pixelAt(65, 15).alpha, 255);

    // Resizing the widget resizes the view, not the bitmap.
    run("client.set('w5', {bounds: [0, 0, 300, 200]});");
    EXPECT_EQ(canvas->canvasView()->frame().size, (platform::Size { 300, 200 }));
    EXPECT_EQ(CanvasView::currentGC(canvas)->image()->pixelWidth(), int(100 * CanvasView::currentGC(canvas)->scale()));

    run("client.destroy('g1');");
    EXPECT_EQ(CanvasView::currentGC(canvas), nullptr);
    EXPECT_EQ(picture()->pixelAt(20, 20).alpha, 0);
}

TEST_F(CanvasSessionTest, ATapIsDrawnAndSentAsADiamond)
{
    run(R"(client.create('g1', 'zub.widgets.GC', {parent: 'w5'});
        client.call('g1', 'init', {width: 200, height: 150});
        client.set('w5', {data: {clientCanvas: true}});
        client.set('w5', {data: {clientCanvas: true}});)");
    ASSERT_NE(canvas->canvasView()->clientCanvas(), nullptr);
    EXPECT_EQ(canvas->canvasView()->subviews().size(), 1u);
    sent();

    harness.touches().tap(onScreen({ 50, 50 }));
    harness.runUntilIdle();
    EXPECT_EQ(sent(), wire({ R"(["notify","w5","Drawing",{"drawings":"[[\"foreground\",[0,0,0,255]],[\"lineWidth\",[1]],[\"path\",[50,49,51,50,50,50.333332,49,50,50,49]]]"}])" }));
    EXPECT_GT(CanvasView::currentGC(canvas)->image()->pixelAt(int(50 * 2), int(49 * 2)).alpha, 0);
}

TEST_F(CanvasSessionTest, AStrokeWithoutAStrokeStyleIsNotSent)
{
    run("client.set('w5', {data: {clientCanvas: true}});");
    sent();
    auto& touches = harness.touches();
    auto finger = touches.down(onScreen({ 10, 10 }));
    touches.move(finger, onScreen({ 20, 10 }));
    touches.move(finger, onScreen({ 30, 40 }));
    touches.up(finger);
    harness.runUntilIdle();
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(canvas->canvasView()->clientCanvas()->pathPoints().empty());
}

TEST_F(CanvasSessionTest, StrokesAreSmoothedDrawnAndReported)
{
    run(R"(client.create('g1', 'zub.widgets.GC', {parent: 'w5'});
        client.call('g1', 'init', {width: 200, height: 150, strokeStyle: [0, 0, 255]});
        client.call('g1', 'draw', {operations: [['lineCap', 'square'], ['lineWidth', 4], ['globalAlpha', 2]]});
        client.set('w5', {data: {clientCanvas: true}});)");
    sent();
    auto& touches = harness.touches();

    auto finger = touches.down(onScreen({ 10, 10 }));
    touches.move(finger, onScreen({ 20, 10 }));
    touches.up(finger);
    harness.runUntilIdle();
    EXPECT_TRUE(sent().empty()) << "a two-point stroke sends nothing";

    finger = touches.down(onScreen({ 10, 10 }));
    touches.move(finger, onScreen({ 20, 10 }));
    touches.move(finger, onScreen({ 30, 40 }));
    touches.move(finger, onScreen({ 40, 10 }));
    auto overlay = canvas->canvasView()->clientCanvas();
    ASSERT_EQ(overlay->pathPoints().size(), 4u);
    auto preview = platform::Renderer::render(*overlay);
    EXPECT_GT(preview->pixelAt(8, 10).alpha, 200) << "square caps reach past the start";
    touches.up(finger);
    harness.runUntilIdle();
    EXPECT_EQ(sent(), wire({ R"(["notify","w5","Drawing",{"drawings":"[[\"foreground\",[0,0,255,255]],[\"lineWidth\",[4]],[\"path\",[10,10,20,10,30,20,40,10,40,10]]]"}])" }));
    EXPECT_TRUE(overlay->pathPoints().empty());
    auto bitmap = CanvasView::currentGC(canvas)->image();
    EXPECT_GT(bitmap->pixelAt(2 * 8, 2 * 10).blue, 200) << "square caps in the bitmap too";
    EXPECT_EQ(bitmap->pixelAt(2 * 6, 2 * 10).alpha, 0);
    EXPECT_GT(picture()->pixelAt(8, 10).blue, 200) << "the overlay leaves the picture under it";

    if (const char* folder = std::getenv("MORVIX_RENDER_DIR"))
        (void)platform::Renderer::renderPNG(*canvas->view(), std::string(folder) + "/canvas-stroke.png", { .scale = 2, .backdrop = platform::Color::white() });
}

} // namespace
} // namespace morvix
