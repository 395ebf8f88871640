// The scroll view's content area under constraints, and what a drag does past the range, along
// one axis and with paging.

#include "platform/foundation/MainLoop.h"
#include "platform/ui/Animator.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace morvix::platform;
using A = LayoutAttribute;

namespace {

class Recorder final : public ScrollViewDelegate {
public:
    void scrollViewDidScroll(ScrollView& view) override { offsets.push_back(view.contentOffset()); }
    void scrollViewDidEndDragging(ScrollView& view, bool willDecelerate) override
    {
        calls.push_back(std::string("end dragging ") + (willDecelerate ? "decelerating at " : "at ")
            + std::to_string(int(view.contentOffset().x)) + "," + std::to_string(int(view.contentOffset().y)));
    }
    void scrollViewDidEndDecelerating(ScrollView& view) override
    {
        calls.push_back("end decelerating at " + std::to_string(int(view.contentOffset().x)) + ","
            + std::to_string(int(view.contentOffset().y)));
    }
    std::vector<Point> offsets;
    std::vector<std::string> calls;
};

class ScrollViewDragTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scroll = ScrollView::create({ 0, 0, 100, 100 });
        scroll->setDelegate(recorder);
        harness.window()->addSubview(scroll);
    }
    void tie(const std::shared_ptr<View>& view, A attribute, const std::shared_ptr<View>& to, double constant = 0)
    {
        scroll->addConstraint(LayoutConstraint::create(view, attribute, LayoutRelation::Equal, to,
            to ? attribute : A::NotAnAttribute, 1, constant));
    }
    std::vector<double> boundsAnimationDurations() const
    {
        std::vector<double> durations;
        for (const auto& animation : Animator::shared().activeAnimations()) {
            if (animation.view.lock() == scroll && animation.property == AnimatableProperty::Bounds)
                durations.push_back(animation.duration);
        }
        return durations;
    }

    UITestHarness harness;
    TouchDriver& touches = harness.touches();
    std::shared_ptr<ScrollView> scroll;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(ScrollViewDragTest, EdgeConstraintsOfDescendantsBindTheContentAreaAndGiveTheContentSize)
{
    auto child = View::create();
    child->setTranslatesAutoresizingMaskIntoConstraints(false);
    scroll->addSubview(child);
    tie(child, A::Left, scroll, 10);
    tie(child, A::Top, scroll, 20);
    tie(child, A::Right, scroll);
    tie(child, A::Bottom, scroll);
    tie(child, A::Width, scroll);
    tie(child, A::Height, nullptr, 500);
    scroll->setContentOffset({ 0, 30 });
    MainLoop::main().runUntilIdle();
    EXPECT_EQ(child->frame(), Rect(10, 20, 100, 500)) << "the width is the frame's, the left the content's";
    EXPECT_EQ(scroll->contentSize(), Size(110, 520)) << "the child's right and bottom edges";
    EXPECT_EQ(scroll->contentOffset(), Point(0, 30)) << "the offset does not move the content area";

    // Only the axes so bound are set.
    auto other = ScrollView::create({ 0, 0, 50, 50 });
    other->setContentSize({ 70, 80 });
    harness.window()->addSubview(other);
    auto wide = View::create();
    wide->setTranslatesAutoresizingMaskIntoConstraints(false);
    other->addSubview(wide);
    other->addConstraint(LayoutConstraint::create(wide, A::Width, LayoutRelation::Equal, nullptr, A::NotAnAttribute, 1, 200));
    other->addConstraint(LayoutConstraint::create(wide, A::Right, LayoutRelation::Equal, other, A::Right, 1, 0));
    MainLoop::main().runUntilIdle();
    EXPECT_EQ(other->contentSize(), Size(200, 80));
    EXPECT_EQ(wide->frame().x(), 0);
}

TEST_F(ScrollViewDragTest, ADragPassesTheRangeOneToOneWhereItMayBounceAndGoesBackOnLift)
{
    scroll->setContentSize({ 100, 300 });
    auto finger = touches.down({ 50, 20 });
    touches.move(finger, { 50, 40 });
    touches.move(finger, { 50, 90 });
    EXPECT_EQ(scroll->contentOffset(), Point(0, -70)) << "past the top by the finger's travel";
    EXPECT_TRUE(scroll->isDragging());
    touches.up(finger);
    EXPECT_EQ(scroll->contentOffset(), Point(0, 0)) << "the model value is back at once";
    EXPECT_EQ(boundsAnimationDurations(), std::vector<double> { 0.3 });
    EXPECT_EQ(recorder->calls, std::vector<std::string> { "end dragging at 0,-70" }) << "it does not coast";
    EXPECT_EQ(recorder->offsets.back(), Point(0, 0));
    harness.advance(0.5);

    // Content no larger than the view: held, unless the axis always bounces; without bounces,
    // held whatever the flag.
    scroll->setContentSize({ 100, 100 });
    touches.drag({ 50, 20 }, { 80, 90 }, 0.2, 4);
    EXPECT_EQ(recorder->offsets.size(), 3u) << "nothing moved";
    scroll->setAlwaysBounceVertical(true);
    finger = touches.down({ 50, 20 });
    touches.move(finger, { 50, 40 });
    touches.move(finger, { 80, 90 });
    EXPECT_EQ(scroll->contentOffset(), Point(0, -70)) << "vertically only";
    touches.up(finger);
    EXPECT_EQ(scroll->contentOffset(), Point(0, 0));
    scroll->setBounces(false);
    touches.drag({ 50, 20 }, { 50, 90 }, 0.2, 4);
    EXPECT_EQ(scroll->contentOffset(), Point(0, 0));
}

TEST_F(ScrollViewDragTest, DirectionalLockKeepsADragOnItsFirstAxisAndPagingEndsOnAPage)
{
    scroll->setContentSize({ 400, 400 });
    touches.drag({ 90, 90 }, { 40, 60 }, 0.2, 5);
    EXPECT_EQ(scroll->contentOffset(), Point(50, 30)) << "free without the lock";

    scroll->setContentOffset({ 0, 0 });
    scroll->setDirectionalLockEnabled(true);
    auto finger = touches.down({ 90, 90 });
    touches.move(finger, { 60, 85 });
    touches.move(finger, { 20, 40 });
    EXPECT_EQ(scroll->contentOffset(), Point(70, 0)) << "mostly sideways at first: sideways only";
    touches.up(finger);
    finger = touches.down({ 90, 90 });
    touches.move(finger, { 85, 60 });
    touches.move(finger, { 20, 20 });
    EXPECT_EQ(scroll->contentOffset(), Point(70, 70)) << "a new drag decides again";
    touches.up(finger);

    // Paging: the nearest multiple of the bounds size, then the end of deceleration.
    recorder->calls.clear();
    scroll->setPagingEnabled(true);
    touches.drag({ 90, 90 }, { 90, 60 }, 0.2, 5);
    EXPECT_EQ(scroll->contentOffset(), Point(100, 100));
    EXPECT_EQ(recorder->calls,
        (std::vector<std::string> { "end dragging decelerating at 70,100", "end decelerating at 100,100" }));
    recorder->calls.clear();
    touches.drag({ 90, 90 }, { 90, 70 }, 0.2, 5);
    EXPECT_EQ(scroll->contentOffset(), Point(100, 100)) << "back to the page it started on";
    EXPECT_EQ(scroll->flashCount(), 0);
    scroll->flashScrollIndicators();
    EXPECT_EQ(scroll->flashCount(), 1);
}

} // namespace
