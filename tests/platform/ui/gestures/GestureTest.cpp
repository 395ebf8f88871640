#include "platform/ui/Event.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/gestures/LongPressGestureRecognizer.h"
#include "platform/ui/gestures/SwipeGestureRecognizer.h"
#include "platform/ui/gestures/TapGestureRecognizer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace morvix::platform;

namespace {

// Records the touch calls that reach it; optionally handles them itself.
class RecordingView final : public View {
public:
    static std::shared_ptr<RecordingView> create(const Rect& frame, std::vector<std::string>& log, std::string name, bool handles = true)
    {
        auto view = std::shared_ptr<RecordingView>(new RecordingView(frame, log));
        view->setDebugName(std::move(name));
        view->m_handles = handles;
        return view;
    }
    void touchesBegan(const TouchSet& touches, const Event& event) override
    {
        if (m_handles)
            m_log.push_back(debugName() + " began");
        else
            View::touchesBegan(touches, event);
    }
    void touchesMoved(const TouchSet& touches, const Event& event) override
    {
        if (m_handles)
            m_log.push_back(debugName() + " moved");
        else
            View::touchesMoved(touches, event);
    }
    void touchesEnded(const TouchSet& touches, const Event& event) override
    {
        if (m_handles)
            m_log.push_back(debugName() + " ended");
        else
            View::touchesEnded(touches, event);
    }
    void touchesCancelled(const TouchSet& touches, const Event& event) override
    {
        if (m_handles)
            m_log.push_back(debugName() + " cancelled");
        else
            View::touchesCancelled(touches, event);
        if (onCancelled)
            onCancelled(event);
    }
    std::function<void(const Event&)> onCancelled;

private:
    RecordingView(const Rect& frame, std::vector<std::string>& log) : View(frame), m_log(log) { }
    std::vector<std::string>& m_log;
    bool m_handles = true;
};

class SimultaneousDelegate final : public GestureRecognizerDelegate {
public:
    bool shouldRecognizeSimultaneously(GestureRecognizer&, GestureRecognizer&) override { return true; }
    bool shouldReceiveTouch(GestureRecognizer&, const Touch&) override { return receive; }
    bool receive = true;
};

class GestureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        outer = RecordingView::create(Rect(0, 0, 300, 300), log, "outer");
        inner = RecordingView::create(Rect(50, 50, 100, 100), log, "inner");
        harness.window()->addSubview(outer);
        outer->addSubview(inner);
    }
    GestureRecognizer::Action record(std::string name)
    {
        return [this, name](GestureRecognizer& recognizer) { log.push_back(name + " " + stateName(recognizer.state())); };
    }

    UITestHarness harness;
    TouchDriver& touches = harness.touches();
    std::vector<std::string> log;
    std::shared_ptr<RecordingView> outer;
    std::shared_ptr<RecordingView> inner;
};

using Log = std::vector<std::string>;

} // namespace

namespace morvix::platform {
void PrintTo(const Point& point, std::ostream* out) { *out << "(" << point.x << ", " << point.y << ")"; }
}

TEST_F(GestureTest, TouchesGoToTheHitViewAndUnhandledOnesTravelUpTheResponderChain)
{
    touches.tap({ 60, 60 });
    EXPECT_EQ(log, (Log { "inner began", "inner ended" }));
    log.clear();
    auto passing = RecordingView::create(Rect(10, 10, 20, 20), log, "passing", false);
    inner->addSubview(passing);
    touches.tap({ 65, 65 });
    EXPECT_EQ(log, (Log { "inner began", "inner ended" })) << "a view that does not handle touches hands them to its superview";
}

TEST_F(GestureTest, RecognisedTapCancelsTheViewsTouchUnlessToldNotTo)
{
    auto tap = TapGestureRecognizer::create(record("tap"));
    outer->addGestureRecognizer(tap);
    touches.tap({ 60, 60 });
    EXPECT_EQ(log, (Log { "inner began", "tap ended", "inner cancelled" }));
    EXPECT_EQ(tap->state(), GestureState::Possible) << "reset once the touches lifted";
    log.clear();
    tap->setCancelsTouchesInView(false);
    touches.tap({ 60, 60 });
    EXPECT_EQ(log, (Log { "inner began", "tap ended", "inner ended" }));
}

TEST_F(GestureTest, ViewCodeMayChangeTheRecognisersTouchesWhileTheyAreCancelled)
{
    auto press = LongPressGestureRecognizer::create(record("press"));
    press->setNumberOfTouchesRequired(2);
    outer->addGestureRecognizer(press);
    // The first view told of the cancel starts the recogniser over with touches of its own,
    // as a view forwarding its touches to a recogniser might.
    std::vector<std::shared_ptr<Touch>> forwarded;
    for (std::uint64_t id = 100; id < 104; ++id)
        forwarded.push_back(Touch::create(id, harness.window(), { 10, 10 }, 0));
    bool restarted = false;
    auto restart = [&](const Event& event) {
        if (std::exchange(restarted, true))
            return;
        press->reset();
        press->touchesBegan(forwarded, event);
    };
    inner->onCancelled = outer->onCancelled = restart;
    auto first = touches.down({ 60, 60 });
    auto second = touches.down({ 200, 200 });
    harness.advance(0.5);
    EXPECT_EQ(log, (Log { "inner began", "outer began", "press began", "inner cancelled", "outer cancelled" }));
    EXPECT_EQ(press->numberOfTouches(), forwarded.size());
    touches.up(first);
    touches.up(second);
}

TEST_F(GestureTest, SingleTapWaitsForTheDoubleTapToFail)
{
    auto single = TapGestureRecognizer::create(record("single"));
    auto twice = TapGestureRecognizer::create(record("double"));
    twice->setNumberOfTapsRequired(2);
    single->requireToFail(twice);
    single->setCancelsTouchesInView(false);
    twice->setCancelsTouchesInView(false);
    inner->addGestureRecognizer(single);
    inner->addGestureRecognizer(twice);

    touches.doubleTap({ 60, 60 });
    EXPECT_EQ(std::count(log.begin(), log.end(), "double ended"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "single ended"), 0);
    log.clear();

    touches.tap({ 60, 60 });
    harness.advance(0.349);
    EXPECT_EQ(std::count(log.begin(), log.end(), "single ended"), 0) << "still waiting for a second tap";
    harness.advance(0.002);
    EXPECT_EQ(std::count(log.begin(), log.end(), "single ended"), 1);
}

TEST_F(GestureTest, TapFailsWhenTheFingerWandersOrStaysDownTooLong)
{
    auto tap = TapGestureRecognizer::create(record("tap"));
    inner->addGestureRecognizer(tap);
    touches.drag({ 60, 60 }, { 80, 60 }, 0.1, 2);
    harness.advance(1);
    touches.longPress({ 60, 60 }, 0.5);
    EXPECT_EQ(std::count(log.begin(), log.end(), "tap ended"), 0);
}

TEST_F(GestureTest, LongPressBeginsOnTheClockAndEndsOnLift)
{
    auto press = LongPressGestureRecognizer::create(record("press"));
    inner->addGestureRecognizer(press);
    auto finger = touches.down({ 60, 60 });
    harness.advance(0.499);
    EXPECT_EQ(press->state(), GestureState::Possible);
    harness.advance(0.001);
    EXPECT_EQ(press->state(), GestureState::Began);
    touches.move(finger, { 70, 60 });
    touches.up(finger);
    EXPECT_EQ(log, (Log { "inner began", "press began", "inner cancelled", "press changed", "press ended" }));

    log.clear();
    auto again = touches.down({ 60, 60 });
    touches.move(again, { 75, 60 });
    harness.advance(1);
    touches.up(again);
    EXPECT_EQ(std::count(log.begin(), log.end(), "press began"), 0) << "moved more than 10 points first";
}

TEST_F(GestureTest, PanReportsTranslationAndVelocityAndPreventsTheLongPress)
{
    auto pan = PanGestureRecognizer::create(record("pan"));
    auto press = LongPressGestureRecognizer::create(record("press"));
    inner->addGestureRecognizer(pan);
    inner->addGestureRecognizer(press);
    auto finger = touches.down({ 60, 60 });
    touches.move(finger, { 65, 60 });
    EXPECT_EQ(pan->state(), GestureState::Possible) << "within the hysteresis";
    harness.advance(0.05);
    touches.move(finger, { 80, 60 });
    EXPECT_EQ(pan->state(), GestureState::Began);
    EXPECT_EQ(pan->translationIn(inner.get()), Point(20, 0));
    harness.advance(0.05);
    touches.move(finger, { 100, 70 });
    EXPECT_EQ(pan->translationIn(nullptr), Point(40, 10));
    Point velocity = pan->velocityIn(nullptr);
    EXPECT_NEAR(velocity.x, 350, 1e-6) << "35 points over the last 0.1 s";
    pan->setTranslation({ 0, 0 }, inner.get());
    harness.advance(0.5);
    touches.move(finger, { 110, 70 });
    EXPECT_EQ(pan->translationIn(nullptr), Point(10, 0));
    touches.up(finger);
    EXPECT_EQ(pan->state(), GestureState::Possible);
    EXPECT_EQ(std::count(log.begin(), log.end(), "press began"), 0) << "the pan failed it";
    EXPECT_EQ(log.back(), "pan ended");
}

TEST_F(GestureTest, SimultaneousRecognitionNeedsADelegateThatAllowsIt)
{
    auto innerPan = PanGestureRecognizer::create(record("inner pan"));
    auto outerPan = PanGestureRecognizer::create(record("outer pan"));
    inner->addGestureRecognizer(innerPan);
    outer->addGestureRecognizer(outerPan);
    touches.drag({ 60, 60 }, { 120, 60 }, 0.2, 4);
    EXPECT_EQ(std::count(log.begin(), log.end(), "inner pan began"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "outer pan began"), 0);
    log.clear();
    auto delegate = std::make_shared<SimultaneousDelegate>();
    outerPan->setDelegate(delegate);
    touches.drag({ 60, 60 }, { 120, 60 }, 0.2, 4);
    EXPECT_EQ(std::count(log.begin(), log.end(), "inner pan began"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "outer pan began"), 1);
    log.clear();
    delegate->receive = false;
    touches.drag({ 60, 60 }, { 120, 60 }, 0.2, 4);
    EXPECT_EQ(std::count(log.begin(), log.end(), "outer pan began"), 0) << "the delegate kept the touch from it";
}

TEST_F(GestureTest, SwipeRecognisesOnlyItsDirections)
{
    auto swipe = SwipeGestureRecognizer::create(record("swipe"));
    outer->addGestureRecognizer(swipe);
    touches.swipe({ 20, 200 }, SwipeLeft);
    EXPECT_EQ(std::count(log.begin(), log.end(), "swipe ended"), 0);
    touches.swipe({ 20, 200 }, SwipeRight);
    EXPECT_EQ(std::count(log.begin(), log.end(), "swipe ended"), 1);
    swipe->setDirection(SwipeUp | SwipeDown);
    touches.swipe({ 20, 200 }, SwipeDown);
    EXPECT_EQ(std::count(log.begin(), log.end(), "swipe ended"), 2);
    touches.drag({ 20, 200 }, { 120, 200 }, 1.0, 5);
    EXPECT_EQ(std::count(log.begin(), log.end(), "swipe ended"), 2) << "too slow";
}

TEST_F(GestureTest, DisablingABegunRecogniserCancelsIt)
{
    auto pan = PanGestureRecognizer::create(record("pan"));
    inner->addGestureRecognizer(pan);
    auto finger = touches.down({ 60, 60 });
    touches.move(finger, { 90, 60 });
    ASSERT_EQ(pan->state(), GestureState::Began);
    pan->setEnabled(false);
    EXPECT_EQ(log.back(), "pan cancelled");
    EXPECT_EQ(pan->state(), GestureState::Possible);
    touches.move(finger, { 120, 60 });
    touches.up(finger);
    EXPECT_EQ(log.back(), "pan cancelled") << "a disabled recogniser hears nothing more";
}

TEST_F(GestureTest, ActionsWithAnOwnerStopWhenTheOwnerIsGone)
{
    auto tap = TapGestureRecognizer::create();
    auto owner = std::make_shared<int>(0);
    int calls = 0;
    tap->addTarget(owner, [&](GestureRecognizer&) { ++calls; });
    inner->addGestureRecognizer(tap);
    touches.tap({ 60, 60 });
    EXPECT_EQ(calls, 1);
    owner.reset();
    touches.tap({ 60, 60 });
    EXPECT_EQ(calls, 1);
    // Moving a recogniser to another view detaches it from the first.
    outer->addGestureRecognizer(tap);
    EXPECT_TRUE(inner->gestureRecognizers().empty());
    EXPECT_EQ(tap->view(), outer);
}

TEST_F(GestureTest, CancelledStraightFromPossibleEndsLikeAFailureAndResetsAfterTheLift)
{
    auto plain = GestureRecognizer::create(record("plain"));
    auto tap = TapGestureRecognizer::create(record("tap"));
    tap->setCancelsTouchesInView(false);
    tap->requireToFail(plain);
    inner->addGestureRecognizer(plain);
    inner->addGestureRecognizer(tap);

    // The tap waits for the plain recogniser; its cancel lets the tap go on and runs no action.
    touches.tap({ 60, 60 });
    EXPECT_EQ(tap->state(), GestureState::Possible) << "waiting";
    plain->setState(GestureState::Cancelled);
    EXPECT_EQ(log, (Log { "inner began", "inner ended", "tap ended" }));
    EXPECT_EQ(plain->state(), GestureState::Possible) << "no touch was down: reset at once";

    // While a finger is down it stays cancelled, and is reset once the finger lifts.
    log.clear();
    auto finger = touches.down({ 60, 60 });
    plain->setState(GestureState::Cancelled);
    EXPECT_EQ(plain->state(), GestureState::Cancelled);
    touches.up(finger);
    EXPECT_EQ(plain->state(), GestureState::Possible);
    EXPECT_EQ(log, (Log { "inner began", "tap ended", "inner ended" })) << "nothing to wait for this time";
}

TEST_F(GestureTest, AViewTheTouchLandedOnMayKeepEnclosingRecognisersFromBeginning)
{
    class DrawingSurface final : public View {
    public:
        explicit DrawingSurface(const Rect& frame) : View(frame) { }
        bool gestureRecognizerShouldBegin(GestureRecognizer&) override { return false; }
    };
    auto surface = std::make_shared<DrawingSurface>(Rect(0, 200, 100, 100));
    outer->addSubview(surface);
    auto pan = PanGestureRecognizer::create(record("pan"));
    outer->addGestureRecognizer(pan);
    touches.drag({ 20, 220 }, { 90, 220 }, 0.2, 4);
    EXPECT_EQ(std::count(log.begin(), log.end(), "pan began"), 0) << "the surface keeps its finger";
    touches.drag({ 60, 60 }, { 120, 60 }, 0.2, 4);
    EXPECT_EQ(std::count(log.begin(), log.end(), "pan began"), 1) << "elsewhere the pan goes on";
}
