// Composite trees made by a script application in a real session, on the headless screen.

#include "widgets/foundation/Composite.h"

#include "core/script/JSBinding.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Application.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "tests/support/ScriptSessionFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace morvix {
namespace {

using platform::Value;

// The script library as far as these applications use it; events reach the script too.
constexpr const char* kLibrary = R"(
    var morvix = window.morvix;
    morvix.version = "1.0.0";
    morvix.trigger = function () {};
    window.document = {createElement: function () { return {}; }, head: {appendChild: function () {}}};
    var events = [];
    window.events = events;
    morvix._notify = function (id, event) { events.push(id + ' ' + event); };
    module.exports = morvix;)";

// A script session on the library above.
class CompositeSessionTest : public testing::ScriptSessionFixture {
protected:
    void SetUp() override
    {
        ScriptSessionFixture::SetUp();
        folder.write("node_modules/morvix/index.js", kLibrary);
    }

    std::vector<std::string> subviewNames(const std::string& id)
    {
        std::vector<std::string> names;
        for (const auto& view : widget(id)->view()->subviews())
            names.push_back(view->debugName());
        return names;
    }
    // The wire operations sent since the last call, as text.
    std::vector<std::string> sent()
    {
        std::vector<std::string> operations;
        for (const auto& operation : ScriptSessionFixture::sent())
            operations.push_back(operation.dump());
        return operations;
    }
};

TEST_F(CompositeSessionTest, CompositesShowOnceTheirMessageIsAppliedAndFadeWhenDisabled)
{
    // Whether w2's view was hidden when the message that made it had been applied.
    std::optional<bool> hiddenWhileApplied;
    auto token = platform::NotificationCenter::defaultCenter()->addObserver(std::string(BasicObject::kProcessingFinished),
        nullptr, [&](const platform::Notification&) {
            if (auto w2 = client ? widget("w2") : nullptr; w2 && !hiddenWhileApplied)
                hiddenWhileApplied = w2->view()->isHidden();
        });
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w2', 'zub.widgets.Composite', {parent: 'w1', bounds: [10, 20, 100, 50], background: [200, 0, 0]});
        client.create('w3', 'zub.widgets.Composite', {parent: 'w1', visibility: false, layoutData: {left: 0, top: 100, width: 20, height: 20}});)");
    EXPECT_EQ(hiddenWhileApplied, true);
    EXPECT_FALSE(widget("w2")->view()->isHidden());
    EXPECT_TRUE(widget("w3")->view()->isHidden());
    EXPECT_EQ(harness.find("w2")->frame(), platform::Rect(10, 20, 100, 50));
    EXPECT_EQ(widget("w2")->getWithMethod("layoutData")->dump(), R"({"left":10.0,"top":20.0,"width":100.0,"height":50.0})");
    EXPECT_FALSE(widget("w2")->getWithMethod("enabled").has_value());
    run("client.set('w3', {visibility: true});");
    EXPECT_FALSE(widget("w3")->view()->isHidden());

    // Disabled: no touches, and a 0.3 s fade to 0.7, half-way at 0.15 s.
    auto view = harness.find("w2");
    run("client.set('w2', {enabled: false}); client.listen('w2', 'touchstart', true);");
    auto start = harness.clock().now();
    EXPECT_FALSE(view->isUserInteractionEnabled());
    EXPECT_DOUBLE_EQ(view->alpha(), 0.7);
    EXPECT_NEAR(view->presentationAlpha(start + std::chrono::milliseconds(150)), 0.85, 1e-6);
    harness.touches().tap({ 30, 30 });
    EXPECT_TRUE(sent().empty());
    harness.advance(0.3);
    EXPECT_DOUBLE_EQ(view->presentationAlpha(harness.clock().now()), 0.7);

    // "enabled" overrides an earlier "opacity", even when the flag does not change.
    run("client.set('w2', {opacity: 0.5}); client.set('w2', {enabled: true});");
    harness.advance(0.3);
    EXPECT_DOUBLE_EQ(view->alpha(), 1.0);
    run("client.set('w2', {opacity: 0.25});");
    EXPECT_EQ(widget("w2")->getWithMethod("opacity"), Value(0.25f));
}

TEST_F(CompositeSessionTest, ChildrenListedBeforeTheyExistEndStackedInListOrder)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568], children: ['z', 'x', 'y']});
        client.create('other', 'zub.widgets.Composite', {parent: 'w1', bounds: [0, 300, 100, 100]});
        client.create('x', 'zub.widgets.Composite', {parent: 'w1'});
        client.create('y', 'zub.widgets.Composite', {parent: 'w1'});
        client.create('z', 'zub.widgets.Composite', {parent: 'w1'});)");
    // Z was added last, on top; the list put it at the bottom of the listed ones. "other" is not
    // listed and keeps its place.
    EXPECT_EQ(subviewNames("w1"), (std::vector<std::string> { "other", "z", "x", "y" }));
    // An empty "layoutData" was given: a relative layout at left 0, top 0.
    EXPECT_EQ(widget("x")->layoutData(), Value::object());

    run("client.destroy('y'); client.set('w1', {children: ['x', 'y', 'z']});");
    EXPECT_EQ(subviewNames("w1"), (std::vector<std::string> { "other", "x", "z" }));

    // Moving a child takes its view out of the old container's view into the new one's.
    run("client.set('x', {parent: 'other'});");
    EXPECT_EQ(subviewNames("w1"), (std::vector<std::string> { "other", "z" }));
    EXPECT_EQ(subviewNames("other"), (std::vector<std::string> { "x" }));
    // A parent inside the widget's own subtree is refused, and the view stays where it was.
    run("client.set('other', {parent: 'x'});");
    EXPECT_EQ(subviewNames("w1"), (std::vector<std::string> { "other", "z" }));
    EXPECT_EQ(widget("other")->parent(), widget("w1"));
}

TEST_F(CompositeSessionTest, TouchesReachTheNearestListeningCompositeWithExactPayloads)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w2', 'zub.widgets.Composite', {parent: 'w1', bounds: [10, 20, 100, 50]});
        client.listen('w2', 'touchend', true);
        client.create('w3', 'zub.widgets.Composite', {parent: 'w1', bounds: [0, 300, 200, 200]});
        client.create('w4', 'zub.widgets.Composite', {parent: 'w3', bounds: [50, 50, 50, 50]});
        client.listen('w3', 'touchstart', true);
        client.listen('w3', 'touchcancel', true);)");
    harness.advance(0.25);
    auto& touches = harness.touches();
    touches.tap({ 20.7, 25.2 });
    EXPECT_EQ(sent(), (std::vector<std::string> {
        R"(["notify","w2","touchend",{"touches":[{"x":10,"y":5,"pageX":20,"pageY":25}],"time":250}])" }));

    // Lifted outside with only "touchend" listened: nothing.
    auto finger = touches.down({ 15, 25 });
    touches.move(finger, { 200, 25 });
    touches.up(finger);
    EXPECT_TRUE(sent().empty());

    // The inner composite listens to nothing, so the outer one reports in its own coordinates;
    // lifted outside, it is a cancellation.
    finger = touches.down({ 60.5, 359.9 });
    touches.move(finger, { 250, 359.9 });
    touches.up(finger);
    EXPECT_EQ(sent(), (std::vector<std::string> {
        R"(["notify","w3","touchstart",{"touches":[{"x":60,"y":59,"pageX":60,"pageY":359}],"time":250}])",
        R"(["notify","w3","touchcancel",{"touches":[{"x":250,"y":59,"pageX":250,"pageY":359}],"time":250}])" }));

    // One "longpress", when the press is recognised at 0.5 s.
    run("client.listen('w2', 'longpress', true); client.listen('w2', 'touchend', false);");
    touches.longPress({ 40, 30 }, 1.0);
    EXPECT_EQ(sent(), (std::vector<std::string> {
        R"(["notify","w2","longpress",{"touches":[{"x":30,"y":10}],"time":750}])" }));
    run("client.listen('w2', 'longpress', false);");
    EXPECT_TRUE(widget("w2")->view()->gestureRecognizers().empty());

    // The script peer hears the events too.
    auto heard = std::dynamic_pointer_cast<JSBinding>(client->bindings().at(0))->execute("events.join(',')");
    EXPECT_EQ(heard, Value("w2 touchend,w3 touchstart,w3 touchcancel,w2 longpress"));
}

TEST_F(CompositeSessionTest, ResizeReportsEachNewSizeFlooredButNotAMove)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w2', 'zub.widgets.Composite', {parent: 'w1', bounds: [0, 0, 100, 100]});)");
    run("client.listen('w2', 'Resize', true); client.set('w2', {bounds: [0, 0, 320.5, 100]});");
    EXPECT_EQ(sent(), (std::vector<std::string> { R"(["notify","w2","Resize",{"bounds":[0,0,320,100]}])" }));
    run("client.set('w2', {bounds: [5.5, 7, 320.5, 100]});");
    EXPECT_TRUE(sent().empty());
    run("client.set('w2', {layoutData: {left: 5.5, top: -0.5, width: 10, height: 20}});");
    EXPECT_EQ(sent(), (std::vector<std::string> { R"(["notify","w2","Resize",{"bounds":[5,-1,10,20]}])" }));
}

TEST_F(CompositeSessionTest, RendersACompositeTreeForAPersonToLookAt)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568], background: [240, 240, 244]});
        client.create('card', 'zub.widgets.Composite', {parent: 'w1', background: [255, 255, 255],
            layoutData: {left: [5, 0], right: [5, 0], top: 20, height: 200}});
        client.create('clipped', 'zub.widgets.Composite', {parent: 'card', background: [0, 122, 255],
            layoutData: {left: 16, top: 16, width: 120, height: 120}});
        client.create('spill', 'zub.widgets.Composite', {parent: 'clipped', background: [255, 149, 0],
            bounds: [80, 80, 100, 100]});
        client.create('turned', 'zub.widgets.Composite', {parent: 'card', background: [52, 199, 89],
            layoutData: {left: ['clipped', 24], top: 40, width: 80, height: 80}, transform: {rotation: 0.5}});
        client.create('faded', 'zub.widgets.Composite', {parent: 'w1', background: [255, 59, 48], opacity: 0.4,
            layoutData: {left: 16, right: 16, top: ['card', 20], height: 60}});
        client.create('disabled', 'zub.widgets.Composite', {parent: 'w1', background: [88, 86, 214], enabled: false,
            layoutData: {centerX: 0, top: ['faded', 20], width: 160, height: 60}});)");
    harness.advance(0.3);
    // 5 % of 320 on each side, with the percentage computed in floats.
    auto card = harness.find("card")->frame();
    EXPECT_NEAR(card.x(), 16, 1e-5);
    EXPECT_NEAR(card.width(), 288, 1e-5);
    EXPECT_EQ(card.y(), 20);
    EXPECT_EQ(harness.find("turned")->center(), platform::Point(16 + 120 + 24 + 40, 40 + 40));

    auto image = platform::Renderer::render(*harness.window(), { .scale = 2 });
    ASSERT_TRUE(image);
    // The orange child reaching out of the blue one is cut at the blue one's edge.
    auto inside = image->pixelAt(2 * 142, 2 * 146);
    EXPECT_GT(inside.red, 200);
    EXPECT_LT(inside.green, 180);
    EXPECT_GT(image->pixelAt(2 * 156, 2 * 150).green, 240);
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(image->writePNG((directory / "composites.png").string()));
}

} // namespace
} // namespace morvix
