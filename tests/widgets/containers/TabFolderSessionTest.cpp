// Tab folders in a real session against a loopback server: the switcher of each style, what a
// person's switch reports, selections that wait for their item, paging, controls moving
// between items, and pages that would hold their own folder.

#include "widgets/containers/TabFolder.h"

#include "core/base/LogEntry.h"
#include "core/outgoing/Notifications.h"
#include "platform/ui/PageViewController.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/controls/SegmentedControl.h"
#include "tests/widgets/containers/ImageSessionFixture.h"
#include "widgets/containers/TabItem.h"
#include "widgets/containers/TabItemViewController.h"

#include <algorithm>

namespace morvix {
namespace {

using platform::Rect;
using platform::Value;

// A folder w2 of 320 x 400 with items w3, w4 and w5, each showing a label of the folder.
constexpr const char* kFolder = R"(["create","l3","zub.widgets.Label",{"parent":"w2","text":"First page"}],
    ["create","l4","zub.widgets.Label",{"parent":"w2","text":"Second page"}],
    ["create","l5","zub.widgets.Label",{"parent":"w2","text":"Third page"}],
    ["create","w3","zub.widgets.TabItem",{"parent":"w2","index":0,"text":"&Files","control":"l3"}],
    ["create","w4","zub.widgets.TabItem",{"parent":"w2","index":1,"text":"Mail","control":"l4"}],
    ["create","w5","zub.widgets.TabItem",{"parent":"w2","index":2,"text":"More","control":"l5"}])";

class TabFolderSessionTest : public testing::ImageSessionFixture {
protected:
    void startFolder(const std::string& folderProperties, const std::string& more = {})
    {
        start(R"(["create","w2","zub.widgets.TabFolder",{"parent":"w1",)" + folderProperties + "}]," + kFolder + more);
        folder = widget<TabFolder>("w2");
        ASSERT_NE(folder, nullptr);
    }
    std::shared_ptr<TabItem> item(const std::string& id) { return widget<TabItem>(id); }
    // The item whose page the folder shows.
    std::string shownItem()
    {
        const auto& pages = folder->pageViewController()->viewControllers();
        for (const auto& candidate : folder->items()) {
            if (!pages.empty() && candidate->controller() == pages.front())
                return candidate->objectId();
        }
        return "";
    }
    // The operations of the POSTs from the `first`-th on, but for the display's, which reports
    // where every touch went.
    std::string sentSince(std::size_t first)
    {
        Value all = Value::array();
        auto bodies = posts();
        for (std::size_t i = first; i < bodies.size(); ++i) {
            for (const auto& operation : bodies[i]["operations"]) {
                if (operation[1] != "w1")
                    all.push_back(operation);
            }
        }
        return all.dump();
    }
    // Waits for a POST after the `first`-th and gives what the POSTs from there hold.
    std::string nextSent(std::size_t first)
    {
        EXPECT_TRUE(waitUntil([&] { return sentSince(first) != "[]"; }));
        return sentSince(first);
    }
    // Lets 0.3 s pass (a scheduled message would go out by then), then sends a marker of its
    // own and gives the operations of the POSTs from the `first`-th on once the marker has gone
    // out: whatever the session sent before is in them.
    std::string settledSince(std::size_t first)
    {
        harness.advance(0.3);
        harness.runUntilIdle();
        auto head = Notifications::forHead();
        head->setAttribute(true, "marker");
        head->send();
        EXPECT_TRUE(waitUntil([&] {
            auto bodies = posts();
            for (std::size_t i = first; i < bodies.size(); ++i) {
                if (bodies[i]["head"].contains("marker"))
                    return true;
            }
            return false;
        }));
        return sentSince(first);
    }

    std::shared_ptr<TabFolder> folder;
};

TEST_F(TabFolderSessionTest, BottomTabBarSwitchesPagesAndReportsOnlyWhenListened)
{
    startFolder(R"("bounds":[0,0,320,400])");
    ASSERT_TRUE(folder->tabBar());
    EXPECT_FALSE(folder->segmentedControl());
    EXPECT_EQ(folder->tabBar()->frame(), (Rect { 0, 400 - platform::TabBar::kHeight, 320, platform::TabBar::kHeight }));
    EXPECT_EQ(folder->pageViewController()->view()->frame(), (Rect { 0, 0, 320, 400 - platform::TabBar::kHeight }));

    // The first item is selected without a word to the peer.
    EXPECT_EQ(shownItem(), "w3");
    EXPECT_EQ(folder->selection(), "w3");
    EXPECT_EQ(sentSince(0).find("\"w2\""), std::string::npos);
    EXPECT_EQ(folder->tabBar()->selectedItem(), item("w3")->tabBarItem());
    EXPECT_EQ(item("w3")->tabBarItem()->title(), "Files");
    EXPECT_EQ(apply(R"(["get","w3","text"])"), Value("Files"));
    // The label fills the page.
    EXPECT_EQ(widget("l3")->view()->frame(), (Rect { 0, 0, 320, 400 - platform::TabBar::kHeight }));

    // Unlistened, a tap switches the page and tells nobody, not even after the flush delay.
    std::size_t sent = posts().size();
    double tabY = 400 - platform::TabBar::kHeight / 2;
    harness.touches().tap({ 320.0 * 5 / 6, tabY });
    harness.runUntilIdle();
    EXPECT_EQ(shownItem(), "w5");
    EXPECT_EQ(folder->selection(), "w5");
    EXPECT_EQ(settledSince(sent), "[]");

    apply(R"(["listen","w2",{"Selection":true}])");
    sent = posts().size();
    harness.touches().tap({ 160, tabY });
    EXPECT_EQ(nextSent(sent), R"([["set","w2",{"selection":"w4"}],["notify","w2","Selection",{"selection":"w4"}]])");
    EXPECT_EQ(shownItem(), "w4");
    EXPECT_EQ(folder->tabBar()->selectedItem(), item("w4")->tabBarItem());

    // A selection from the peer shows its page and marks its tab at once.
    apply(R"(["set","w2",{"selection":"w3"}])");
    EXPECT_EQ(shownItem(), "w3");
    EXPECT_EQ(folder->tabBar()->selectedItem(), item("w3")->tabBarItem());

    // Badges, and the entry that follows "enabled".
    apply(R"(["set","w4",{"data":{"badgeValue":"3"}}])");
    EXPECT_EQ(folder->tabBar()->items()[1]->badgeValue(), "3");
    EXPECT_EQ(item("w4")->controller()->tabBarItem()->badgeValue(), "3");
    picture("tab-folder-bottom.png");
    apply(R"(["set","w4",{"data":{"badgeValue":""}}])");
    EXPECT_EQ(folder->tabBar()->items()[1]->badgeValue(), "");
    apply(R"(["set","w4",{"data":{"badgeValue":"1"}}])");
    apply(R"(["set","w4",{"data":{}}])");
    EXPECT_EQ(folder->tabBar()->items()[1]->badgeValue(), "");
    apply(R"(["set","w5",{"enabled":false}])");
    EXPECT_FALSE(folder->tabBar()->items()[2]->isEnabled());

    // Colours: the bar's tint and every entry's title.
    apply(R"(["set","w2",{"background":[0,0,255],"foreground":[255,0,0]}])");
    EXPECT_EQ(folder->tabBar()->barTintColor(), platform::Color::fromRGBA(0, 0, 1));
    EXPECT_EQ(folder->tabBar()->selectedImageTintColor(), platform::Color::fromRGBA(1, 0, 0));
    EXPECT_EQ(item("w5")->tabBarItem()->titleColor(platform::TabBarItemState::Highlighted), platform::Color::fromRGBA(1, 0, 0));
}

TEST_F(TabFolderSessionTest, TopStyleWaitsForTheNamedItemAndItemsKeepTheirPlaces)
{
    startFolder(R"("bounds":[0,0,320,400],"style":["TOP"],"selection":"w6")");
    ASSERT_TRUE(folder->segmentedControl());
    EXPECT_FALSE(folder->tabBar());
    EXPECT_EQ(folder->segmentedControl()->frame(), (Rect { 5, 10, 310, platform::SegmentedControl::kHeight }));
    EXPECT_EQ(folder->pageViewController()->view()->frame().y(), 10 + platform::SegmentedControl::kHeight + 10);
    EXPECT_EQ(folder->segmentedControl()->numberOfSegments(), 3);
    EXPECT_EQ(folder->segmentedControl()->titleForSegmentAtIndex(0), "Files");

    // "w6" does not exist yet: no page shows until it joins, wherever it goes.
    EXPECT_EQ(shownItem(), "");
    EXPECT_EQ(folder->segmentedControl()->selectedSegmentIndex(), platform::SegmentedControl::kNoSegment);
    apply(R"(["create","w6","zub.widgets.TabItem",{"parent":"w2","index":7,"text":"Last"}])");
    EXPECT_EQ(shownItem(), "w6");
    ASSERT_EQ(folder->items().size(), 4u);
    EXPECT_EQ(folder->items().back()->objectId(), "w6") << "an index past the end goes last";
    EXPECT_EQ(folder->segmentedControl()->selectedSegmentIndex(), 3);
    apply(R"(["create","w7","zub.widgets.TabItem",{"parent":"w2","index":-2,"text":"Before"}])");
    EXPECT_EQ(folder->items().front()->objectId(), "w7");
    EXPECT_EQ(shownItem(), "w6") << "a later item leaves the selection alone";

    // A segment tap reports the item under it.
    apply(R"(["listen","w2",{"Selection":true}])");
    std::size_t sent = posts().size();
    double segment = 310.0 / 5;
    harness.touches().tap({ 5 + segment * 1.5, 10 + platform::SegmentedControl::kHeight / 2 });
    EXPECT_EQ(nextSent(sent), R"([["set","w2",{"selection":"w3"}],["notify","w2","Selection",{"selection":"w3"}]])");
    EXPECT_EQ(shownItem(), "w3");
    picture("tab-folder-top.png");

    // Removing an item rebuilds the switcher and keeps the selection.
    apply(R"(["destroy","w3"])");
    EXPECT_EQ(folder->segmentedControl()->numberOfSegments(), 4);
    EXPECT_EQ(folder->selection(), "w3");
    EXPECT_EQ(folder->segmentedControl()->selectedSegmentIndex(), platform::SegmentedControl::kNoSegment);
}

TEST_F(TabFolderSessionTest, PagingReportsCompletedAndAbandonedSwipesButNothingPastTheEnds)
{
    startFolder(R"("bounds":[0,0,320,400],"data":{"paging":true})");
    apply(R"(["listen","w2",{"Selection":true}])");
    auto swipe = [&](double from, double to) {
        std::size_t sent = posts().size();
        harness.touches().drag({ from, 200 }, { to, 200 }, 0.2);
        harness.advance(platform::ViewController::kTransitionDuration);
        harness.runUntilIdle();
        return settledSince(sent);
    };
    // Half the width completes the turn; less falls back and reports the page that stayed.
    EXPECT_EQ(swipe(300, 140), R"([["set","w2",{"selection":"w4"}],["notify","w2","Selection",{"selection":"w4"}]])");
    EXPECT_EQ(shownItem(), "w4");
    EXPECT_EQ(swipe(300, 220), R"([["set","w2",{"selection":"w4"}],["notify","w2","Selection",{"selection":"w4"}]])");
    EXPECT_EQ(shownItem(), "w4");
    EXPECT_EQ(swipe(20, 250), R"([["set","w2",{"selection":"w3"}],["notify","w2","Selection",{"selection":"w3"}]])");
    // Nothing before the first page; after the last, nothing either.
    EXPECT_EQ(swipe(20, 250), "[]");
    apply(R"(["set","w2",{"selection":"w5"}])");
    EXPECT_EQ(swipe(300, 100), "[]");
    EXPECT_EQ(shownItem(), "w5");

    // Without paging no swipe turns.
    apply(R"(["set","w2",{"data":{}}])");
    EXPECT_EQ(swipe(20, 250), "[]");
    EXPECT_EQ(shownItem(), "w5");
}

TEST_F(TabFolderSessionTest, AControlShowsOnOneItemAtATime)
{
    startFolder(R"("bounds":[0,0,320,400])");
    auto label = widget("l3")->view();
    EXPECT_EQ(item("w3")->controller()->view(), label);

    // Given to w4, the label leaves w3, whose page becomes empty in its place.
    apply(R"(["set","w4",{"control":"l3"}])");
    EXPECT_EQ(item("w4")->control(), "l3");
    EXPECT_EQ(item("w3")->control(), std::nullopt);
    EXPECT_EQ(item("w4")->controller()->view(), label);
    auto empty = item("w3")->controller()->view();
    EXPECT_NE(empty, label);
    EXPECT_EQ(empty->superview(), folder->pageViewController()->view()) << "the shown page is replaced in place";
    EXPECT_FALSE(empty->isHidden());
    EXPECT_EQ(label->superview(), nullptr);

    apply(R"(["set","w2",{"selection":"w4"}])");
    EXPECT_EQ(label->superview(), folder->pageViewController()->view());
    EXPECT_EQ(label->frame(), (Rect { 0, 0, 320, 400 - platform::TabBar::kHeight }));

    // A name that is no widget leaves the page empty; a destroyed control leaves its item too.
    apply(R"(["set","w5",{"control":"nothing"}])");
    EXPECT_EQ(item("w5")->control(), std::nullopt);
    apply(R"(["destroy","l3"])");
    EXPECT_EQ(item("w4")->control(), std::nullopt);
    EXPECT_NE(item("w4")->controller()->view(), label);
    EXPECT_EQ(label->superview(), nullptr);
}

// A page goes inside the folder's view, so no item may show the folder, one of its ancestors or
// the display, and a folder moved into a control later never shows that control's page.
TEST_F(TabFolderSessionTest, NoPageEverHoldsItsOwnFolder)
{
    startFolder(R"("bounds":[0,0,320,400])", R"(,["create","k","zub.widgets.Composite",{"parent":"w1","bounds":[0,0,320,568]}],
        ["create","m","zub.widgets.Composite",{"parent":"w1","bounds":[0,0,320,568]}])");
    std::vector<std::string> log;
    client->setLogObserver([&](const LogEntry& entry) { log.push_back(entry.message()); }, MorvixClient::LogDelivery::AnyThread);
    auto refusals = [&] {
        auto count = std::count_if(log.begin(), log.end(),
            [](const auto& line) { return line.starts_with("catching 'Incorrect Parameter'"); });
        log.clear();
        return count;
    };
    auto label = widget("l3")->view();
    auto pages = folder->pageViewController()->view();

    apply(R"(["set","w3",{"control":"w2"}])");
    apply(R"(["set","w4",{"control":"w1"}])");
    apply(R"(["create","w6","zub.widgets.TabItem",{"parent":"w2","control":"w2"}])");
    apply(R"(["set","w2",{"parent":"k"}])");
    apply(R"(["set","w5",{"control":"k"}])");
    apply(R"(["create","w7","zub.widgets.TabItem",{"parent":"w2","control":"k"}])");
    EXPECT_EQ(refusals(), 5);
    EXPECT_EQ(widget("w6"), nullptr);
    EXPECT_EQ(widget("w7"), nullptr);
    EXPECT_EQ(item("w3")->control(), "l3");
    EXPECT_EQ(item("w4")->control(), "l4");
    EXPECT_EQ(item("w5")->control(), "l5");
    EXPECT_EQ(label->superview(), pages) << "the shown page stayed";
    EXPECT_EQ(folder->view()->superview(), widget("k")->view());
    EXPECT_EQ(client->view()->window(), harness.window());
    EXPECT_EQ(widget("w1")->view()->viewController(), nullptr) << "the display's view never became a page";

    // A control that held nothing of the folder when it was named, and then took the folder in.
    apply(R"(["set","w5",{"control":"m"}])");
    apply(R"(["set","w2",{"parent":"m"}])");
    EXPECT_EQ(refusals(), 0);
    ASSERT_EQ(folder->view()->superview(), widget("m")->view());
    apply(R"(["set","w2",{"selection":"w5"}])");
    EXPECT_EQ(refusals(), 1);
    EXPECT_EQ(folder->selection(), "w3");
    harness.touches().tap({ 320.0 * 5 / 6, 400 - platform::TabBar::kHeight / 2 });
    harness.runUntilIdle();
    EXPECT_EQ(shownItem(), "w3") << "a person's switch to that page does nothing";
    EXPECT_EQ(label->superview(), pages);
    EXPECT_EQ(widget("m")->view()->superview(), client->view());
    harness.touches().tap({ 160, 400 - platform::TabBar::kHeight / 2 });
    harness.runUntilIdle();
    EXPECT_EQ(shownItem(), "w4") << "while the other pages still switch";
}

} // namespace
} // namespace morvix
