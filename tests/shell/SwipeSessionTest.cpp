// Swipe widgets in a real session: pages placed by "add", swiped by a person within the range
// the locks and the item count allow, moved by "active", and emptied by "remove" and by children
// that go away; indexes and pages a peer may not ask for.

#include "shell/Swipe.h"

#include "core/base/LogEntry.h"
#include "platform/ui/View.h"
#include "shell/SwipeItemViewController.h"
#include "tests/widgets/containers/ScrollMenuSessionFixture.h"

#include <algorithm>

namespace morvix {
namespace {

using platform::PageNavigationDirection;
using platform::Value;
using Items = std::map<long long, std::string>;

class SwipeSessionTest : public testing::ScrollMenuSessionFixture {
protected:
    std::shared_ptr<Swipe> swipe() { return object<Swipe>("w10"); }
    std::shared_ptr<SwipeItemViewController> shownPage()
    {
        const auto& shown = swipe()->pageViewController()->viewControllers();
        return shown.empty() ? nullptr : std::dynamic_pointer_cast<SwipeItemViewController>(shown.front());
    }
    long long shownIndex()
    {
        auto page = shownPage();
        return page ? page->index() : -100;
    }
    // A person's swipe, completed or abandoned; answers what the session reported after it.
    std::string swipeBy(PageNavigationDirection direction, bool completes)
    {
        std::size_t before = posts().size();
        if (!swipe()->pageViewController()->simulateSwipe(direction, completes))
            return "no turn";
        harness.advance(platform::ViewController::kTransitionDuration);
        if (!settle(before + 1))
            return "nothing reported";
        return operationsSince(before);
    }
    std::shared_ptr<platform::View> labelView(const std::string& id) { return object<BasicWidget>(id)->view(); }
};

TEST_F(SwipeSessionTest, SwipesStayWithinTheLocksAndTheItemCount)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w2","zub.widgets.Composite",{"parent":"w1","bounds":[0,0,200,300]}],
        ["create","w10","morvix.Swipe",{"parent":"w2","itemCount":5,"bounds":[0,0,200,300]}],
        ["create","w11","zub.widgets.Label",{"parent":"w10","text":"Four","bounds":[10,10,100,30]}],
        ["call","w10","add",{"control":"w11","index":3}],
        ["call","w10","lockRight",{"index":2}]])");
    ASSERT_NE(swipe(), nullptr);
    EXPECT_EQ(swipe()->view()->frame(), (platform::Rect { 0, 0, 200, 300 }));
    EXPECT_EQ(swipe()->items(), (Items { { 3, "w11" } }));
    EXPECT_EQ(shownIndex(), 0);
    EXPECT_EQ(shownPage()->widget(), nullptr) << "placeholders show empty pages";

    EXPECT_EQ(swipeBy(PageNavigationDirection::Reverse, true), "no turn");
    EXPECT_EQ(swipeBy(PageNavigationDirection::Forward, true), R"([["notify","w10","Swipe",{"item":1}]])");
    EXPECT_EQ(swipeBy(PageNavigationDirection::Forward, true), R"([["notify","w10","Swipe",{"item":2}]])");
    EXPECT_EQ(swipeBy(PageNavigationDirection::Forward, true), "no turn") << "locked right at 2";

    deliver(R"([["call","w10","unlockRight",{}]])");
    EXPECT_EQ(swipeBy(PageNavigationDirection::Forward, true), R"([["notify","w10","Swipe",{"item":3}]])");
    EXPECT_EQ(shownPage()->widget(), object<BasicWidget>("w11"));
    EXPECT_EQ(labelView("w11")->superview(), shownPage()->view());
    EXPECT_EQ(swipeBy(PageNavigationDirection::Forward, true), R"([["notify","w10","Swipe",{"item":4}]])");
    EXPECT_EQ(swipeBy(PageNavigationDirection::Forward, true), "no turn") << "the item count ends the range";

    // An abandoned swipe reports the page that stays; a lock index that is no number clears it.
    EXPECT_EQ(swipeBy(PageNavigationDirection::Reverse, false), R"([["notify","w10","Swipe",{"item":4}]])");
    deliver(R"([["call","w10","lockLeft",{"index":4}]])");
    EXPECT_EQ(swipeBy(PageNavigationDirection::Reverse, true), "no turn");
    deliver(R"([["call","w10","lockLeft",{"index":"x"}]])");

    // A person's drag over half the width turns back to the label's page.
    std::size_t before = posts().size();
    harness.touches().drag({ 40, 100 }, { 150, 100 }, 0.2);
    harness.advance(platform::ViewController::kTransitionDuration);
    ASSERT_TRUE(settle(before + 1));
    EXPECT_EQ(operationsSince(before), R"([["set","w1",{"cursorLocation":[40,100]}],["notify","w10","Swipe",{"item":3}]])")
        << "the display's own report of the touch rides along";
    EXPECT_EQ(swipe()->getKey("active"), Value(3));
    EXPECT_EQ(swipe()->gettableProperties(), (PropertyNames { "active", "itemCount" }));
}

TEST_F(SwipeSessionTest, ActiveRemoveAndChildrenThatGo)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w2","zub.widgets.Composite",{"parent":"w1","bounds":[0,0,200,300]}],
        ["create","w10","morvix.Swipe",{"parent":"w2","itemCount":5,"bounds":[0,0,200,300]}],
        ["create","w11","zub.widgets.Label",{"parent":"w10","text":"One"}],
        ["create","w12","zub.widgets.Label",{"parent":"w10","text":"Two"}],
        ["create","w13","zub.widgets.Label",{"parent":"w10","text":"Three"}],
        ["create","w14","zub.widgets.Label",{"parent":"w10","text":"Five"}],
        ["call","w10","add",{"control":"w11","index":0}],
        ["call","w10","add",{"control":"w12","index":1}],
        ["call","w10","add",{"control":"w13","index":2}]])");
    ASSERT_NE(swipe(), nullptr);
    auto pager = swipe()->pageViewController();
    EXPECT_EQ(shownPage()->widget(), object<BasicWidget>("w11"));

    // A higher index turns with animation (the old page leaves after the transition); the shown
    // index again changes the page at once.
    deliver(R"([["set","w10",{"active":2}]])");
    EXPECT_EQ(shownIndex(), 2);
    EXPECT_EQ(pager->view()->subviews().size(), 2u) << "the old page is still leaving";
    harness.advance(platform::ViewController::kTransitionDuration);
    harness.runUntilIdle();
    EXPECT_EQ(pager->view()->subviews().size(), 1u);
    deliver(R"([["set","w10",{"active":2}]])");
    EXPECT_EQ(pager->view()->subviews().size(), 1u);

    // Removing the last item shortens the items; a middle one leaves an empty slot; indexes past
    // the end or below 0 are ignored.
    deliver(R"([["call","w10","remove",{"items":[2]}],["call","w10","remove",{"items":[1,7,-1]}]])");
    EXPECT_EQ(swipe()->items(), (Items { { 0, "w11" } }));
    deliver(R"([["call","w10","add",{"control":"w13","index":2}],["call","w10","add",{"control":"w14","index":4}],
        ["call","w10","add",{"control":"w12","index":-1}]])");
    EXPECT_EQ(swipe()->items(), (Items { { 0, "w11" }, { 2, "w13" }, { 4, "w14" } }));

    // "active" on a placeholder shows an empty page that knows its own index, so the next swipe
    // reaches the item after it; a negative "active" is ignored.
    deliver(R"([["set","w10",{"active":3}]])");
    EXPECT_EQ(shownIndex(), 3);
    EXPECT_EQ(shownPage()->widget(), nullptr);
    deliver(R"([["set","w10",{"active":-2}]])");
    EXPECT_EQ(swipe()->getKey("active"), Value(3));
    EXPECT_EQ(swipeBy(PageNavigationDirection::Forward, true), R"([["notify","w10","Swipe",{"item":4}]])");
    EXPECT_EQ(labelView("w14")->superview(), shownPage()->view());

    // A destroyed child takes its view off its page; its item then shows an empty page.
    auto label = labelView("w14");
    deliver(R"([["destroy","w14"]])");
    EXPECT_EQ(label->superview(), nullptr);
    deliver(R"([["set","w10",{"active":4}]])");
    EXPECT_EQ(shownIndex(), 4);
    EXPECT_EQ(shownPage()->widget(), nullptr);
    // A child moved elsewhere leaves its page too, and stays where it went.
    deliver(R"([["set","w13",{"parent":"w2"}],["set","w10",{"active":2}]])");
    EXPECT_EQ(labelView("w13")->superview(), object<BasicWidget>("w2")->view());
    EXPECT_EQ(shownPage()->widget(), nullptr);
}

TEST_F(SwipeSessionTest, IndexesPastTheLimitAndPagesThatWouldHoldTheSwipeAreRefused)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w2","zub.widgets.Composite",{"parent":"w1","bounds":[0,0,200,300]}],
        ["create","w10","morvix.Swipe",{"parent":"w2","itemCount":5,"bounds":[0,0,200,300]}],
        ["create","w11","zub.widgets.Label",{"parent":"w10","text":"One"}],
        ["create","n","zub.widgets.Composite",{"parent":"w1","bounds":[0,0,200,300]}]])");
    ASSERT_NE(swipe(), nullptr);
    std::vector<std::string> log;
    client->setLogObserver([&](const LogEntry& entry) { log.push_back(entry.message()); });
    auto logged = [&](const std::string& start) {
        harness.runUntilIdle();
        auto count = std::count_if(log.begin(), log.end(), [&](const auto& line) { return line.starts_with(start); });
        log.clear();
        return count;
    };

    // An index past the largest item count sizes nothing; a boolean counts as a number, and a
    // lock or an "active" far out of range is read within the same bound.
    deliver(R"([["call","w10","add",{"control":"w11","index":2e6}],["call","w10","add",{"control":"w11","index":1e12}],
        ["set","w10",{"active":1e12}],["call","w10","lockRight",{"index":1e300}],["set","w10",{"itemCount":-1e300}]])");
    EXPECT_EQ(logged("swipe w10: add at "), 2);
    EXPECT_TRUE(swipe()->items().empty());
    EXPECT_EQ(shownIndex(), 0);
    deliver(R"([["call","w10","add",{"control":"w11","index":true}],["call","w10","unlockRight",{}],["set","w10",{"itemCount":3}]])");
    EXPECT_EQ(swipe()->items(), (Items { { 1, "w11" } }));
    EXPECT_EQ(swipeBy(PageNavigationDirection::Forward, true), R"([["notify","w10","Swipe",{"item":1}]])");

    // The last index there is holds one item, not every index before it, and shows its page;
    // the empty item before it shows an empty page.
    deliver(R"([["create","w15","zub.widgets.Label",{"parent":"w10","text":"Last"}],["call","w10","add",{"control":"w15","index":1048575}],
        ["call","w10","lockRight",{"index":1048575}],["set","w10",{"active":1048575}]])");
    EXPECT_EQ(swipe()->items(), (Items { { 1, "w11" }, { 1048575, "w15" } }));
    EXPECT_EQ(shownIndex(), 1048575);
    EXPECT_EQ(labelView("w15")->superview(), shownPage()->view());
    EXPECT_EQ(swipeBy(PageNavigationDirection::Reverse, true), R"([["notify","w10","Swipe",{"item":1048574}]])");
    EXPECT_EQ(shownPage()->widget(), nullptr);
    deliver(R"([["call","w10","remove",{"items":[1048575]}],["call","w10","unlockRight",{}],["set","w10",{"active":1}]])");

    // A page goes inside the swipe's view: the swipe itself, its ancestors and the display are
    // refused before anything moves.
    deliver(R"([["call","w10","add",{"control":"w10","index":2}],["call","w10","add",{"control":"w2","index":2}],
        ["call","w10","add",{"control":"w1","index":0}]])");
    EXPECT_EQ(logged("catching 'Incorrect Parameter'"), 3);
    EXPECT_EQ(swipe()->items(), (Items { { 1, "w11" } }));
    EXPECT_EQ(swipe()->view()->superview(), object<BasicWidget>("w2")->view());
    EXPECT_EQ(object<BasicWidget>("w2")->view()->superview(), client->view());
    EXPECT_EQ(client->view()->window(), harness.window());

    // A widget that took the swipe in after its page was made shows as an empty page.
    deliver(R"([["call","w10","add",{"control":"n","index":2}],["set","w10",{"parent":"n"}],["set","w10",{"active":2}]])");
    EXPECT_EQ(swipe()->view()->superview(), object<BasicWidget>("n")->view());
    EXPECT_EQ(shownIndex(), 2);
    EXPECT_EQ(shownPage()->widget(), nullptr);
    EXPECT_EQ(logged("swipe w10: the page of n holds the swipe"), 1);
    EXPECT_FALSE(swipe()->view()->isDescendantOf(*shownPage()->view()));
}

} // namespace
} // namespace morvix
