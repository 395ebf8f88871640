// Remote gestures made by a script application in a real session, driven by touches.

#include "widgets/gestures/Gesture.h"

#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/foundation/CursorLocationGestureRecognizer.h"
#include "widgets/gestures/MorvixGestureRecognizer.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

using platform::Value;

class GestureSessionTest : public testing::ScriptSessionFixture {
protected:
    // "w2" spans (30, 100) to (230, 200) in the window; the window watches every touch as the
    // display does.
    void startWithTarget(const std::string& more)
    {
        harness.window()->addGestureRecognizer(CursorLocationGestureRecognizer::create({}, {}));
        start(R"(
            client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
            client.create('w2', 'zub.widgets.Composite', {parent: 'w1', bounds: [30, 100, 200, 100]});)"
            + more);
    }
    std::shared_ptr<Gesture> gesture(const std::string& id) { return std::dynamic_pointer_cast<Gesture>(object(id)); }
};

TEST_F(GestureSessionTest, TapsAndLongPressesReportTheirPhasesWhileListenedTo)
{
    startWithTarget(R"(
        client.create('g1', 'morvix.GestureRecognizer', {type: 'tap', target: 'w2', touches: 2});
        client.create('bad', 'morvix.GestureRecognizer', {type: 'pinch', target: 'w2'});
        client.create('none', 'morvix.GestureRecognizer', {target: 'w2'});)");
    EXPECT_EQ(object("bad"), nullptr);
    EXPECT_EQ(object("none"), nullptr);
    auto view = widget("w2")->view();
    ASSERT_EQ(view->gestureRecognizers().size(), 1u);
    EXPECT_TRUE(dynamic_cast<MorvixGestureRecognizer*>(view->gestureRecognizers()[0].get()));
    EXPECT_EQ(gesture("g1")->getWithMethod("touches"), Value(2));

    // Not listened to: nothing, whatever the user does.
    harness.touches().doubleTap({ 80, 120 });
    harness.touches().longPress({ 80, 120 }, 1.0);
    EXPECT_TRUE(sent().empty());

    run("client.listen('g1', 'gesture', true);");
    harness.touches().tap({ 80, 120 });
    harness.advance(0.5);
    EXPECT_TRUE(sent().empty());
    harness.touches().doubleTap({ 80, 120 });
    EXPECT_EQ(sent(), wire({ R"(["notify","g1","gesture",{"state":"recognized","touches":[{"x":50,"y":20}]}])" }));

    // Two remote taps on one view fire once for one tap.
    run(R"(client.destroy('g1');
        client.create('g2', 'morvix.GestureRecognizer', {type: 'tap', target: 'w2'});
        client.create('g3', 'morvix.GestureRecognizer', {type: 'tap', target: 'w2'});
        client.listen('g2', 'gesture', true); client.listen('g3', 'gesture', true);)");
    EXPECT_EQ(view->gestureRecognizers().size(), 2u);
    harness.advance(0.5);
    harness.touches().tap({ 40, 110 });
    EXPECT_EQ(sent().size(), 1u);

    // A long press waits for the remote taps to fail, begins once held for "duration" and ends
    // where the finger was.
    run(R"(client.create('g4', 'morvix.GestureRecognizer', {type: 'longpress', target: 'w2', duration: 1500});
        client.listen('g4', 'gesture', true);)");
    EXPECT_EQ(gesture("g4")->getWithMethod("duration"), Value(1500));
    run("client.set('g4', {duration: 1001});");
    EXPECT_EQ(gesture("g4")->getWithMethod("duration")->dump(), "1001");
    harness.advance(0.5);
    auto finger = harness.touches().down({ 80, 120 });
    harness.advance(1.0);
    EXPECT_TRUE(sent().empty());
    harness.advance(0.001);
    EXPECT_EQ(sent(), wire({ R"(["notify","g4","gesture",{"state":"start","touches":[{"x":50,"y":20}]}])" }));
    harness.touches().up(finger);
    EXPECT_EQ(sent(), wire({ R"(["notify","g4","gesture",{"state":"end","touches":[{"x":50,"y":20}]}])" }));

    // Destroying the target takes its gestures with it.
    run("client.destroy('w2');");
    EXPECT_EQ(object("g4"), nullptr);
    EXPECT_TRUE(view->gestureRecognizers().empty());
}

TEST_F(GestureSessionTest, DirectedPanBeginsOnlyTheWayItPointsAndHoldsBackTheScrollViewBelow)
{
    startWithTarget(R"(
        client.create('g1', 'morvix.GestureRecognizer', {type: 'pan', target: 'w2', direction: 'left'});
        client.listen('g1', 'gesture', true);)");
    auto scroll = platform::ScrollView::create({ 0, 0, 200, 100 });
    scroll->setContentSize({ 600, 100 });
    scroll->setContentOffset({ 200, 0 });
    widget("w2")->view()->addSubview(scroll);
    harness.runUntilIdle();

    // Rightward and vertical drags: the pan fails and the scroll view, which waited, scrolls.
    harness.touches().drag({ 100, 150 }, { 180, 150 }, 0.2);
    EXPECT_LT(scroll->contentOffset().x, 200);
    harness.touches().drag({ 100, 110 }, { 100, 190 }, 0.2);
    EXPECT_TRUE(sent().empty());

    // Leftward: the pan reports; the scroll view stays where it is.
    auto pan = std::dynamic_pointer_cast<platform::PanGestureRecognizer>(gesture("g1")->recognizer());
    std::vector<platform::Point> velocities;
    pan->addAction([&](platform::GestureRecognizer&) { velocities.push_back(pan->velocityIn(pan->view().get())); });
    auto offset = scroll->contentOffset();
    auto& touches = harness.touches();
    auto finger = touches.down({ 200, 150 });
    harness.advance(0.02);
    touches.move(finger, { 185, 152 });
    harness.advance(0.02);
    touches.move(finger, { 150, 152 });
    touches.up(finger);
    EXPECT_EQ(scroll->contentOffset(), offset);
    auto events = sent();
    ASSERT_EQ(events.size(), 3u);
    ASSERT_EQ(velocities.size(), 3u);
    auto expected = [&](const char* state, double dx, double x, std::size_t index) {
        Value attributes { { "state", state }, { "translation", { { "x", dx }, { "y", 2 } } },
            { "velocity", { { "x", velocities[index].x }, { "y", velocities[index].y } } },
            { "touches", Value::array({ { { "x", x }, { "y", 52 } } }) } };
        return Value::array({ "notify", "g1", "gesture", attributes });
    };
    EXPECT_LT(velocities[0].x, 0);
    EXPECT_EQ(events[0], expected("start", -15, 155, 0));
    EXPECT_EQ(events[1], expected("change", -50, 120, 1));
    EXPECT_EQ(events[2], expected("end", -50, 120, 2));
}

TEST_F(GestureSessionTest, PropertiesRouteToTheRecognizerAndTargetMovesIt)
{
    startWithTarget(R"(
        client.create('w3', 'zub.widgets.Composite', {parent: 'w1', bounds: [0, 300, 100, 100]});
        client.create('s', 'morvix.GestureRecognizer', {type: 'swipe', target: 'w2', direction: 'diagonal'});
        client.create('p', 'morvix.GestureRecognizer', {type: 'pan', target: 'w2', fingers: 2, touches: 3});
        client.listen('s', 'gesture', true);)");
    EXPECT_EQ(gesture("s")->getWithMethod("direction"), Value("diagonal"));
    EXPECT_EQ(gesture("p")->getWithMethod("fingers"), Value(2));
    EXPECT_EQ(gesture("p")->getWithMethod("touches"), Value(3));
    EXPECT_EQ(gesture("p")->getWithMethod("direction"), Value("any"));

    // An unknown direction left the default: rightward swipes still count, leftward ones not.
    harness.touches().swipe({ 60, 150 }, platform::SwipeLeft);
    EXPECT_TRUE(sent().empty());
    harness.touches().swipe({ 60, 150 }, platform::SwipeRight);
    ASSERT_EQ(sent().size(), 1u);

    run("client.set('s', {target: 'w3'});");
    EXPECT_EQ(widget("w2")->view()->gestureRecognizers().size(), 1u);
    EXPECT_EQ(gesture("s")->recognizer()->view(), widget("w3")->view());
    EXPECT_EQ(gesture("s")->parent(), widget("w3"));
    run("client.set('s', {target: null});");
    EXPECT_EQ(gesture("s")->recognizer()->view(), nullptr);
    EXPECT_TRUE(widget("w3")->view()->gestureRecognizers().empty());
}

} // namespace
} // namespace morvix
