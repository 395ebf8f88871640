// Scrolled composites and their bars in a real session: scrolling follows the bars, and the
// position goes back as the bars' selections.

#include "widgets/containers/ScrolledComposite.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ScrollView.h"
#include "tests/widgets/containers/ScrollMenuSessionFixture.h"
#include "widgets/containers/ScrollBar.h"
#include "widgets/delegating/DelegatingScrollView.h"

#include <limits>

namespace morvix {
namespace {

using platform::Point;
using platform::Rect;
using platform::Size;

class ScrolledCompositeSessionTest : public testing::ScrollMenuSessionFixture {
protected:
    std::shared_ptr<DelegatingScrollView> scrollView(const std::string& id)
    {
        auto composite = object<ScrolledComposite>(id);
        return composite ? composite->scrollView() : nullptr;
    }
};

TEST_F(ScrolledCompositeSessionTest, ScrollsOnlyWithABarAndReportsThePositionOnTheBars)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w2","zub.widgets.ScrolledComposite",{"parent":"w1","style":["V_SCROLL"],"bounds":[0,0,320,400]}],
        ["create","w3","zub.widgets.Composite",{"parent":"w2","layoutData":{"height":1000}}]])");
    auto scroll = scrollView("w2");
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->flashCount(), 1) << "flashed once, after the turn that made it";
    EXPECT_TRUE(scroll->isDirectionalLockEnabled());
    EXPECT_EQ(harness.find("w3")->frame(), Rect(0, 0, 320, 1000)) << "as wide as the scroll view without H_SCROLL";
    EXPECT_EQ(scroll->contentSize(), Size(320, 1000)) << "the child's right and bottom edges";

    // Without bars nothing moves and nothing is reported.
    EXPECT_FALSE(scroll->isScrollEnabled());
    harness.touches().drag({ 160, 300 }, { 160, 100 }, 0.2, 5);
    harness.advance(1);
    ASSERT_TRUE(settle(1));
    EXPECT_EQ(scroll->contentOffset(), Point(0, 0));
    EXPECT_EQ(posts().size(), 1u);

    deliver(R"([["create","w5","zub.widgets.ScrollBar",{"parent":"w2","style":["VERTICAL"]}],["listen","w5",{"Selection":true}]])");
    EXPECT_TRUE(scroll->isScrollEnabled());
    EXPECT_FALSE(scroll->showsHorizontalScrollIndicator());
    EXPECT_TRUE(scroll->showsVerticalScrollIndicator());

    std::size_t before = posts().size();
    deliver(R"([["set","w2",{"origin":[12.7,340.9]}]])");
    // The wire's point is single precision.
    EXPECT_EQ(scroll->contentOffset(), Point(12.7f, 340.9f));
    EXPECT_EQ(operationsSince(before + 1), R"([["set","w2",{"verticalBar.selection":340}],["notify","w5","Selection",{}]])");
    EXPECT_EQ(object<ScrolledComposite>("w2")->origin(), Point(12.7f, 340.9f));
}

TEST_F(ScrolledCompositeSessionTest, MovementsGoOutTogetherAfterTheyStopAndBarsLeaveOnlyTheirOwnSlots)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w2","zub.widgets.ScrolledComposite",{"parent":"w1","style":["H_SCROLL","V_SCROLL"],"bounds":[0,0,320,400]}],
        ["create","w3","zub.widgets.Composite",{"parent":"w2","layoutData":{"width":640,"height":1000}}],
        ["create","w5","zub.widgets.ScrollBar",{"parent":"w2","style":["VERTICAL"]}],
        ["create","w6","zub.widgets.ScrollBar",{"parent":"w2","style":["HORIZONTAL"]}]])");
    auto scroll = scrollView("w2");
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->contentSize(), Size(640, 1000));
    EXPECT_TRUE(scroll->showsHorizontalScrollIndicator());

    // Twenty moves (locked to the vertical axis they start along): one request, 0.3 s after the
    // finger lifts.
    harness.touches().drag({ 300, 380 }, { 100, 100 }, 0.4, 20);
    EXPECT_EQ(scroll->contentOffset(), Point(0, 280));
    harness.advance(0.299);
    harness.runUntilIdle();
    EXPECT_FALSE(binding->isProcessing());
    EXPECT_EQ(posts().size(), 1u);
    harness.advance(0.001);
    ASSERT_TRUE(settle(2));
    EXPECT_EQ(operationsSince(1),
        R"([["set","w1",{"cursorLocation":[300,380]}],["set","w2",{"horizontalBar.selection":0,"verticalBar.selection":280}]])");

    // A bounce offset is truncated toward zero; the ScrollUp notification goes back to the top.
    std::size_t before = posts().size();
    deliver(R"([["set","w2",{"origin":[0,-3.7]}]])");
    EXPECT_EQ(operationsSince(before + 1), R"([["set","w2",{"horizontalBar.selection":0,"verticalBar.selection":-3}]])");
    before = posts().size();
    platform::NotificationCenter::defaultCenter()->post(Notifications::kScrollUp);
    EXPECT_EQ(scroll->contentOffset(), Point(0, 0));
    harness.advance(0.3);
    ASSERT_TRUE(settle(before + 1));
    EXPECT_EQ(operationsSince(before), R"([["set","w2",{"horizontalBar.selection":0,"verticalBar.selection":0}]])");

    // "paging" true or 1 switches paging on, for good.
    deliver(R"([["set","w2",{"data":{"paging":1}}]])");
    EXPECT_TRUE(scroll->isPagingEnabled());
    deliver(R"([["set","w2",{"data":{}}]])");
    EXPECT_TRUE(scroll->isPagingEnabled());

    // A second vertical bar takes the slot; destroying the first keeps it. A bar whose style
    // changed after it attached still leaves the slot it holds.
    deliver(R"([["create","w7","zub.widgets.ScrollBar",{"parent":"w2","style":["VERTICAL"]}],["destroy","w5"]])");
    auto composite = object<ScrolledComposite>("w2");
    EXPECT_EQ(composite->verticalScrollBar(), object<ScrollBar>("w7"));
    EXPECT_TRUE(scroll->isScrollEnabled());
    deliver(R"([["set","w6",{"style":["VERTICAL"]}],["destroy","w6"]])");
    EXPECT_EQ(composite->horizontalScrollBar(), nullptr);
    EXPECT_EQ(composite->verticalScrollBar(), object<ScrollBar>("w7"));
    EXPECT_FALSE(scroll->showsHorizontalScrollIndicator());
    deliver(R"([["destroy","w7"]])");
    EXPECT_EQ(composite->verticalScrollBar(), nullptr);
    EXPECT_FALSE(scroll->isScrollEnabled());

    // A peer's origin beyond the 32-bit range is reported at its limits.
    EXPECT_EQ(ScrolledComposite::selectionValue(1e12), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ScrolledComposite::selectionValue(-1e12), std::numeric_limits<std::int32_t>::min());
}

} // namespace
} // namespace morvix
