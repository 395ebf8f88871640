// Canvases and their drawing contexts in a real session: pictures and finger drawing.

#include "widgets/containers/Canvas.h"

#include "core/base/LogEntry.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Window.h"
#include "platform/ui/gestures/TouchDriver.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/containers/CanvasView.h"
#include "widgets/containers/ClientCanvasView.h"
#include "widgets/containers/GC.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

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

TEST_F(CanvasSessionTest, DegenerateScalesHugeTextAndOddStopsNeitherStopTheContextNorEscapeAsOtherErrors)
{
    std::vector<std::string> logged;
    client->setLogObserver([&](const LogEntry& entry) { logged.push_back(entry.message()); }, MorvixClient::LogDelivery::AnyThread);
    // Six tiny scales, then six huge ones, each undone by its restore; a shape built while the
    // transform is degenerate is not drawn, one built before survives a fill meanwhile.
    run(R"(client.create('g1', 'zub.widgets.GC', {parent: 'w5'});
        client.call('g1', 'init', {width: 100, height: 80});
        function times(operation) { var list = []; for (var i = 0; i < 6; ++i) list.push(operation); return list; }
        client.call('g1', 'draw', {operations: [['fillStyle', [255, 0, 0]], ['save']].concat(times(['scale', 1e-30, 1e-30]),
            [['rect', 0, 0, 100, 80], ['fill'], ['restore'], ['save']], times(['scale', 1e30, 1e30]),
            [['restore'], ['beginPath'], ['rect', 10, 10, 20, 20], ['fill'],
             ['beginPath'], ['rect', 10, 40, 20, 20], ['save'], ['scale', 0, 0], ['fill'], ['restore'], ['fill']])});)");
    auto gc = CanvasView::currentGC(canvas);
    ASSERT_NE(gc, nullptr);
    double scale = gc->scale();
    auto pixel = [&](double x, double y) { return gc->image()->pixelAt(int(x * scale), int(y * scale)); };
    EXPECT_EQ(pixel(50, 70).alpha, 0) << "the shape under the tiny scale is not drawn";
    EXPECT_EQ(pixel(20, 20), (platform::Pixel { 255, 0, 0, 255 })) << "drawing goes on after the restore";
    EXPECT_EQ(pixel(20, 50), (platform::Pixel { 255, 0, 0, 255 })) << "the path kept through the collapsed fill";

    // Booleans are numbers in a colour stop; a stop index beyond 32 bits is refused as any
    // other index past the end, and ends its list.
    run(R"(client.call('g1', 'draw', {operations: [['createLinearGradient', 0, 0, 1, 0],
            ['addColorStop', 0, [true, false, 0, 255]], ['fillStyle', 'gradient'], ['beginPath'], ['rect', 40, 10, 20, 20], ['fill']]});
        client.call('g1', 'draw', {operations: [['addColorStop', 4294967296, [0, 0, 255]], ['fillStyle', [0, 0, 255]],
            ['beginPath'], ['rect', 70, 10, 10, 10], ['fill']]});)");
    EXPECT_EQ(pixel(50, 20), (platform::Pixel { 1, 0, 0, 255 }));
    EXPECT_EQ(pixel(75, 15).alpha, 0);

    // Text scaled far beyond what the font engine draws is left out; drawing goes on.
    run(R"(client.call('g1', 'draw', {operations: [['font', [['DejaVu Sans'], 100, false, false]], ['save'], ['scale', 1000, 1000],
            ['fillText', 'Hi', false, false, false, 0, 0], ['strokeText', 'Hi', false, false, false, 0, 0], ['restore'],
            ['fillStyle', [0, 255, 0]], ['beginPath'], ['rect', 85, 60, 10, 10], ['fill']]});)");
    EXPECT_EQ(pixel(90, 65), (platform::Pixel { 0, 255, 0, 255 }));
    auto mentions = [&](const std::string& part) {
        return std::any_of(logged.begin(), logged.end(), [&](const std::string& line) { return line.find(part) != std::string::npos; });
    };
    EXPECT_TRUE(mentions("catching 'Incorrect Parameter' reason 'GC operation addColorStop argument 1 is not a stop index"));
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(), [](const std::string& line) { return line.starts_with("catching"); }), 1)
        << "only the index was refused";
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
