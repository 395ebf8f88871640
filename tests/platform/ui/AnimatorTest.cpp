#include "platform/foundation/Clock.h"
#include "platform/ui/Animator.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

using namespace morvix::platform;
using namespace std::chrono_literals;

namespace {

class AnimatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view = View::create(Rect(0, 0, 100, 100));
        harness.window()->addSubview(view);
    }
    TimePoint now() { return harness.clock().now(); }
    TimePoint later(double seconds) { return now() + std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds)); }

    UITestHarness harness;
    Animator& animator = Animator::shared();
    std::shared_ptr<View> view;
};

} // namespace

TEST_F(AnimatorTest, ModelValueIsSetAtOnceAndCompletionRunsAfterDelayPlusDuration)
{
    std::optional<bool> finished;
    animator.animate(0.3, 0.2, AnimationOption::CurveLinear, [&] { view->setAlpha(0); }, [&](bool done) { finished = done; });
    EXPECT_EQ(view->alpha(), 0) << "getters return the model value";
    harness.advance(0.499);
    EXPECT_FALSE(finished);
    harness.advance(0.001);
    ASSERT_TRUE(finished);
    EXPECT_TRUE(*finished);
    EXPECT_TRUE(animator.activeAnimations().empty());
}

TEST_F(AnimatorTest, PresentationValueInterpolatesAlongTheCurve)
{
    TimePoint start = now();
    animator.animate(1.0, 0.5, AnimationOption::CurveLinear, [&] {
        view->setAlpha(0);
        view->setFrame(Rect(100, 0, 100, 100));
    });
    auto at = [&](double seconds) { return start + std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds)); };
    EXPECT_DOUBLE_EQ(view->presentationAlpha(at(0.2)), 1) << "during the delay the old value shows";
    EXPECT_DOUBLE_EQ(view->presentationAlpha(at(1.0)), 0.5) << "mid-fade";
    EXPECT_DOUBLE_EQ(view->presentationFrame(at(0.75)).x(), 25);
    EXPECT_DOUBLE_EQ(view->presentationAlpha(at(2)), 0);
    auto list = animator.activeAnimations();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].property, AnimatableProperty::Alpha);
    EXPECT_EQ(std::get<double>(list[0].from), 1);
    EXPECT_EQ(list[0].duration, 1);
    EXPECT_EQ(list[0].options, AnimationOption::CurveLinear);

    double easedQuarter = curveProgress(AnimationCurve::EaseInOut, 0.25);
    EXPECT_LT(easedQuarter, 0.25);
    EXPECT_GT(curveProgress(AnimationCurve::EaseOut, 0.25), 0.25);
    EXPECT_NEAR(springProgress(0.7, 0, 0.999), 1, 0.02);
    double peak = 0, criticalPeak = 0;
    for (int i = 1; i < 100; ++i) {
        peak = std::max(peak, springProgress(0.3, 0, i / 100.0));
        criticalPeak = std::max(criticalPeak, springProgress(1, 0, i / 100.0));
    }
    EXPECT_GT(peak, 1) << "an underdamped spring overshoots";
    EXPECT_LE(criticalPeak, 1) << "a critically damped one does not";
}

TEST_F(AnimatorTest, BlockWithoutChangesAndZeroDurationCompleteOnTheNextTurn)
{
    int completions = 0;
    bool transactionDone = false;
    animator.beginTransaction();
    animator.setTransactionCompletion([&] { transactionDone = true; });
    animator.animate(0.5, [] {}, [&](bool finished) { completions += finished; });
    animator.commitTransaction();
    animator.animate(0, [&] { view->setAlpha(0.5); }, [&](bool finished) { completions += finished; });
    EXPECT_EQ(completions, 0);
    harness.runUntilIdle();
    EXPECT_EQ(completions, 2) << "the empty block does not wait for its duration";
    EXPECT_TRUE(transactionDone) << "nor does a transaction holding only the empty block";
}

TEST_F(AnimatorTest, ReplacedAnimationCompletesUnfinishedOnTheNextTurn)
{
    std::vector<std::string> events;
    animator.animate(1, [&] {
        view->setAlpha(0);
    }, [&](bool finished) { events.push_back(finished ? "first finished" : "first replaced"); });
    harness.advance(0.25);
    animator.animate(1, [&] { view->setAlpha(1); }, [&](bool finished) { events.push_back(finished ? "second finished" : "second replaced"); });
    harness.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string> { "first replaced" })) << "not at the replaced animation's old end";
    harness.advance(1);
    EXPECT_EQ(events, (std::vector<std::string> { "first replaced", "second finished" })) << "and only once";
}

namespace {

// Every instance lives in the same storage, so a new one always takes the address of the last
// one destroyed, as the allocator often does with views of one size.
class RecycledView final : public View {
public:
    static std::shared_ptr<RecycledView> create() { return std::shared_ptr<RecycledView>(new RecycledView); }
    static void* operator new(std::size_t size)
    {
        EXPECT_LE(size, sizeof(s_storage));
        return s_storage;
    }
    static void operator delete(void*) { }

private:
    RecycledView() : View(Rect(0, 0, 10, 10)) { }
    alignas(std::max_align_t) static inline unsigned char s_storage[4096];
};

} // namespace

TEST_F(AnimatorTest, NewViewAtADeadViewsAddressInheritsNoAnimation)
{
    auto first = RecycledView::create();
    harness.window()->addSubview(first);
    animator.animate(1, [&] { first->setAlpha(0.5); });
    const View* address = first.get();
    first->removeFromSuperview();
    first.reset();
    auto second = RecycledView::create();
    ASSERT_EQ(second.get(), address);
    EXPECT_EQ(second->presentationAlpha(later(0.5)), 1) << "a view never animated shows its model value";
    second->setAlpha(0.2);
    animator.animate(1, 0, AnimationOption::CurveLinear, [&] { second->setAlpha(0.4); });
    EXPECT_NEAR(second->presentationAlpha(later(0.5)), 0.3, 1e-9) << "from its own value, not the dead view's";
    second->layer().removeAllAnimations();
    EXPECT_EQ(animator.activeAnimations().size(), 1u) << "the dead view's record stays its own";
}

TEST_F(AnimatorTest, InfiniteOrHugeDurationsRunUntilRemoved)
{
    std::vector<std::string> events;
    LayerAnimation spin;
    spin.keyPath = "transform.rotation.z";
    spin.from = 0.0;
    spin.to = 6.283;
    spin.duration = 1;
    spin.repeatCount = std::numeric_limits<double>::infinity();
    spin.didStop = [&](bool finished) { events.push_back(finished ? "spin finished" : "spin stopped"); };
    view->layer().addAnimation(spin, "spin");
    LayerAnimation slow = spin;
    slow.repeatCount = 0;
    slow.duration = 1e300;
    slow.didStop = [&](bool finished) { events.push_back(finished ? "slow finished" : "slow stopped"); };
    view->layer().addAnimation(slow, "slow");
    animator.animate(std::numeric_limits<double>::infinity(), [&] { view->setAlpha(0); },
        [&](bool finished) { events.push_back(finished ? "block finished" : "block stopped"); });
    harness.advance(100000);
    EXPECT_TRUE(events.empty());
    EXPECT_NE(view->layer().animation("spin"), nullptr);
    EXPECT_NE(view->layer().animation("slow"), nullptr);
    view->layer().removeAllAnimations();
    harness.runUntilIdle();
    std::sort(events.begin(), events.end());
    EXPECT_EQ(events, (std::vector<std::string> { "block stopped", "slow stopped", "spin stopped" }));
}

TEST_F(AnimatorTest, RemovingAllAnimationsCompletesUnfinishedOnTheNextTurn)
{
    std::optional<bool> finished;
    animator.animate(1, [&] { view->setCenter({ 200, 200 }); }, [&](bool done) { finished = done; });
    view->layer().removeAllAnimations();
    EXPECT_FALSE(finished);
    harness.runUntilIdle();
    ASSERT_TRUE(finished);
    EXPECT_FALSE(*finished);
    EXPECT_EQ(view->center(), Point(200, 200)) << "the model keeps the new value";
    EXPECT_EQ(view->presentationCenter(now()), Point(200, 200));
}

TEST_F(AnimatorTest, KeyframesRunInOrderAndEachAnimatesItsPart)
{
    TimePoint start = now();
    bool done = false;
    animator.animateKeyframes(1, 0, 0, [&] {
        animator.addKeyframe(0, 0.5, [&] { view->setAlpha(0); });
        animator.addKeyframe(0.5, 0.5, [&] { view->setAlpha(1); });
    }, [&](bool) { done = true; });
    EXPECT_EQ(view->alpha(), 1) << "the last keyframe's value is the model";
    auto at = [&](double seconds) { return start + std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds)); };
    EXPECT_NEAR(view->presentationAlpha(at(0.5)), 0, 1e-9);
    EXPECT_NEAR(view->presentationAlpha(at(0.25)), 1 - curveProgress(AnimationCurve::EaseInOut, 0.5), 1e-9);
    harness.advance(1);
    EXPECT_TRUE(done);
}

TEST_F(AnimatorTest, BeginCommitFormUsesSettingsMadeBeforeCommitAndCallsDidStop)
{
    std::vector<std::string> stopped;
    animator.begin("w1.shell.openAnimated");
    animator.setDidStop([&](const std::string& name, bool finished) { stopped.push_back(name + (finished ? " yes" : " no")); });
    view->setFrame(Rect(0, 0, 50, 50));
    animator.setDuration(0.3);
    animator.setCurve(AnimationCurve::EaseInOut);
    animator.commit();
    auto list = animator.activeAnimations();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].duration, 0.3);
    EXPECT_EQ(list[0].name, "w1.shell.openAnimated");
    harness.advance(0.299);
    EXPECT_TRUE(stopped.empty());
    harness.advance(0.001);
    EXPECT_EQ(stopped, (std::vector<std::string> { "w1.shell.openAnimated yes" }));
}

TEST_F(AnimatorTest, LayerAnimationsAreRemovedAfterTheirDurationAndTransactionsWaitForThem)
{
    std::vector<std::string> events;
    animator.beginTransaction();
    animator.setTransactionCompletion([&] { events.push_back("transaction"); });
    LayerAnimation fade;
    fade.keyPath = "opacity";
    fade.from = 1.0;
    fade.to = 0.0;
    fade.duration = 0.4;
    fade.didStop = [&](bool finished) { events.push_back(finished ? "fade done" : "fade stopped"); };
    view->layer().addAnimation(fade, "fade");
    animator.commitTransaction();
    EXPECT_NE(view->layer().animation("fade"), nullptr);
    harness.advance(0.4);
    EXPECT_EQ(view->layer().animation("fade"), nullptr);
    EXPECT_EQ(events, (std::vector<std::string> { "fade done", "transaction" }));

    view->layer().addAnimation(fade, "fade");
    view->layer().removeAnimation("fade");
    harness.runUntilIdle();
    EXPECT_EQ(events.back(), "fade stopped");
}

TEST_F(AnimatorTest, SettersOutsideABlockAndInsideWithoutAnimationRecordNothing)
{
    view->setAlpha(0.3);
    animator.animate(1, [&] { animator.performWithoutAnimation([&] { view->setAlpha(0.6); }); });
    EXPECT_TRUE(animator.activeAnimations().empty());
    EXPECT_EQ(view->presentationAlpha(now()), 0.6);
}
