// The collection view in real sessions: against a script application that answers its
// questions within the event send, and against a server that never answers them.

#include "widgets/lists/CollectionView.h"

#include "core/base/LogEntry.h"
#include "core/objects/RemoteException.h"
#include "platform/foundation/WireNumber.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Animator.h"
#include "platform/ui/TimeInterval.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/RefreshControl.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"
#include "tests/widgets/containers/ScrollMenuSessionFixture.h"
#include "widgets/delegating/DelegatingCollectionView.h"
#include "widgets/lists/CollectionViewListCell.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

namespace morvix {
namespace {

using platform::Color;
using platform::IndexPath;
using platform::Point;
using platform::Value;

// The script application: item i is of type i mod 2, odd items are 80 high; each new cell gets a
// label that "populateitem" fills with "Item i". Every event is logged through the console.
// `reloadOnInfo`, when set, makes the next "requestinfo" answer with a "reload" of that many.
constexpr const char* kApplication = R"(
    var morvix = window.morvix;
    var nextLabel = 1;
    window.reloadOnInfo = null;
    morvix._notify = function (id, event, attributes) {
        console.log(id + " " + event + " " + JSON.stringify(attributes));
        if (event === "requestinfo") {
            var i = attributes.index;
            client.call(id, "describeItem", i % 2 ? {type: 1, height: 80} : {type: 0});
            if (window.reloadOnInfo !== null) {
                var items = window.reloadOnInfo;
                window.reloadOnInfo = null;
                client.call(id, "reload", {items: items});
            }
        } else if (event === "createitem") {
            var label = "l" + nextLabel++;
            client.create(label, "zub.widgets.Label", {parent: id});
            client.call(id, "addItem", {widget: label});
        } else if (event === "populateitem") {
            client.set(attributes.widget, {text: "Item " + attributes.index});
        }
    };
    client.create("w1", "zub.widgets.Composite", {bounds: [0, 0, 320, 568]});
)";

class CollectionViewSessionTest : public testing::ScriptSessionFixture {
protected:
    void SetUp() override
    {
        ScriptSessionFixture::SetUp();
        start(kApplication);
        client->setLogObserver([this](const LogEntry& entry) {
            std::lock_guard lock(m_mutex);
            m_log.push_back(entry.message());
        }, MorvixClient::LogDelivery::AnyThread);
        run(R"(client.create("c1", "morvix.CollectionView", {parent: "w1", bounds: [0, 0, 320, 400], itemHeight: 50});
            client.call("c1", "reload", {items: 40});)");
        collection = std::dynamic_pointer_cast<CollectionView>(object("c1"));
        ASSERT_TRUE(collection);
        view = collection->collectionView();
        sent();
    }

    // The log entries since the last call.
    std::vector<std::string> log()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_log, {});
    }
    static int count(const std::vector<std::string>& entries, const std::string& prefix)
    {
        return static_cast<int>(std::count_if(entries.begin(), entries.end(),
            [&](const std::string& entry) { return entry.rfind(prefix, 0) == 0; }));
    }
    std::shared_ptr<CollectionViewListCell> cell(int item) const
    {
        return std::dynamic_pointer_cast<CollectionViewListCell>(view->cellForItem({ 0, item }));
    }
    std::string textOf(int item) const
    {
        auto shown = cell(item);
        auto label = shown ? std::dynamic_pointer_cast<BasicObject>(shown->widget()) : nullptr;
        auto text = label ? label->getWithMethod("text") : std::nullopt;
        return text && text->is_string() ? text->get<std::string>() : "<none>";
    }
    std::set<int> visibleItems() const
    {
        std::set<int> items;
        for (const auto& path : view->indexPathsForVisibleItems())
            items.insert(path.item);
        return items;
    }

    std::shared_ptr<CollectionView> collection;
    std::shared_ptr<DelegatingCollectionView> view;

private:
    std::mutex m_mutex; // guards m_log
    std::vector<std::string> m_log;
};

TEST_F(CollectionViewSessionTest, CellsHostTheScriptsLabelsSizedByItsAnswersAndReusedWhileScrolling)
{
    EXPECT_EQ(view->frameForItem({ 0, 0 })->height(), 50);
    EXPECT_EQ(view->frameForItem({ 0, 1 })->height(), 80);
    EXPECT_EQ(view->contentSize(), platform::Size(320, 20 * 50 + 20 * 80));
    EXPECT_EQ(visibleItems(), (std::set<int> { 0, 1, 2, 3, 4, 5, 6 }));
    for (int item : visibleItems())
        EXPECT_EQ(textOf(item), "Item " + std::to_string(item));
    EXPECT_EQ(cell(1)->reuseIdentifier(), "CollectionListCell1");
    EXPECT_EQ(cell(2)->reuseIdentifier(), "CollectionListCell0");
    EXPECT_EQ(cell(2)->widget()->parent(), collection);

    // Scroll through every item, 40 points at a time: each showing asks "populateitem" once,
    // and only cells that never had a widget ask "createitem".
    std::set<const platform::View*> cells;
    std::map<const platform::View*, std::string> widgetOfCell;
    for (const auto& shown : view->visibleCells())
        cells.insert(shown.get()), widgetOfCell[shown.get()] = std::dynamic_pointer_cast<CollectionViewListCell>(shown)->widgetId();
    int showings = 0;
    std::set<int> before = visibleItems();
    for (double y = 40; y <= view->maximumContentOffset().y; y += 40) {
        view->setContentOffset({ 0, y });
        std::set<int> now = visibleItems();
        for (int item : now)
            showings += !before.count(item);
        before = now;
        for (const auto& shown : view->visibleCells()) {
            auto listCell = std::dynamic_pointer_cast<CollectionViewListCell>(shown);
            auto known = widgetOfCell.find(shown.get());
            if (known != widgetOfCell.end()) {
                ASSERT_EQ(listCell->widgetId(), known->second) << "a reused cell keeps its label";
            }
            widgetOfCell[shown.get()] = listCell->widgetId();
            cells.insert(shown.get());
        }
        for (int item : now)
            ASSERT_EQ(textOf(item), "Item " + std::to_string(item));
    }
    auto entries = log();
    std::set<std::string> labels;
    for (const auto& [shown, id] : widgetOfCell)
        labels.insert(id);
    EXPECT_EQ(labels.size(), cells.size());
    EXPECT_LE(cells.size(), 14u);
    EXPECT_EQ(count(entries, "c1 createitem"), static_cast<int>(cells.size())) << "one label per cell, ever";
    // Since the set-up: the reload's layout and the one for the view's size, 40 sizes each, and
    // the first seven cells; then one question and one fill per showing while scrolling.
    EXPECT_EQ(count(entries, "c1 populateitem"), 7 + showings);
    EXPECT_EQ(count(entries, "c1 requestinfo"), 2 * 40 + 7 + showings) << "scrolling asks no sizes";
}

TEST_F(CollectionViewSessionTest, UpdatesBecomeOneCheckedBatchEachAndWaitForAParent)
{
    auto batches = view->appliedBatches().size();
    run(R"(client.call("c1", "update", {insert: [0, 2, 10, 1]});)");
    EXPECT_EQ(collection->itemCount(), 43);
    ASSERT_EQ(view->appliedBatches().size(), batches + 1);
    EXPECT_EQ(view->appliedBatches().back().inserts, (std::vector<IndexPath> { { 0, 0 }, { 0, 1 }, { 0, 10 } }));
    EXPECT_EQ(textOf(0), "Item 0");

    run(R"(client.call("c1", "update", {remove: [4]});)");
    EXPECT_EQ(collection->itemCount(), 43);
    ASSERT_EQ(view->appliedBatches().size(), batches + 2);
    EXPECT_TRUE(view->appliedBatches().back().deletes.empty());

    run(R"(client.call("c1", "update", {move: [2, 5]}); client.call("c1", "update", {move: [2, 5.5], remove: [0, 1]});)");
    ASSERT_EQ(view->appliedBatches().size(), batches + 4);
    EXPECT_EQ(view->appliedBatches()[batches + 2].moves.size(), 1u);
    EXPECT_TRUE(view->appliedBatches().back().moves.empty()) << "a move needs whole numbers";
    EXPECT_EQ(collection->itemCount(), 42);
    EXPECT_EQ(view->fallbackCount(), 0);

    // Ranges outside the items the view has: one logged full reload each, with the right count.
    log();
    int reloads = view->fullReloadCount();
    run(R"(client.call("c1", "update", {insert: [-1, 1]});)");
    EXPECT_EQ(collection->itemCount(), 43);
    run(R"(client.call("c1", "update", {remove: [40, 5], insert: [0, 1]});)");
    EXPECT_EQ(collection->itemCount(), 39);
    run(R"(client.call("c1", "update", {remove: [0, 1000]});)");
    EXPECT_EQ(collection->itemCount(), 0);
    EXPECT_EQ(view->numberOfItems(0), 0);
    EXPECT_EQ(view->fullReloadCount(), reloads + 3);
    EXPECT_EQ(view->appliedBatches().size(), batches + 4);
    EXPECT_EQ(count(log(), "collection view c1: update"), 3);

    // A widget without a parent keeps its updates until it gets one.
    run(R"(client.create("c2", "morvix.CollectionView", {bounds: [0, 0, 320, 100], itemHeight: 20});
        client.call("c2", "reload", {items: 3});
        client.call("c2", "update", {insert: [3, 2]});)");
    auto orphan = std::dynamic_pointer_cast<CollectionView>(object("c2"));
    ASSERT_TRUE(orphan);
    EXPECT_EQ(orphan->itemCount(), 3);
    EXPECT_TRUE(orphan->collectionView()->appliedBatches().empty());
    run(R"(client.set("c2", {parent: "w1"});)");
    EXPECT_EQ(orphan->itemCount(), 5);
    EXPECT_EQ(orphan->collectionView()->appliedBatches().size(), 1u);
}

TEST_F(CollectionViewSessionTest, UpdatePairsAreCheckedByTheirBoundsBeforeAnyItemIsListed)
{
    log();
    int reloads = view->fullReloadCount();
    int fallbacks = view->fallbackCount();
    auto batches = view->appliedBatches().size();
    // Two hundred million items named by two numbers: refused and logged, with the count it leaves.
    run(R"(client.call("c1", "update", {remove: [0, 2e8]});)");
    EXPECT_EQ(collection->itemCount(), 0);
    // Pairs that each lie inside the view but together name more items than it has: refused
    // before the view is told, so its own check never sees them.
    run(R"(client.call("c1", "reload", {items: 40}); client.call("c1", "update", {remove: [0, 30, 10, 30]});)");
    EXPECT_EQ(collection->itemCount(), 0);
    EXPECT_EQ(view->fallbackCount(), fallbacks);
    EXPECT_EQ(view->fullReloadCount(), reloads + 3);
    EXPECT_EQ(view->appliedBatches().size(), batches);
    EXPECT_EQ(count(log(), "collection view c1: update"), 2);

    // Booleans count as numbers.
    run(R"(client.call("c1", "reload", {items: 40}); client.call("c1", "update", {insert: [true, true]});)");
    EXPECT_EQ(collection->itemCount(), 41);
    ASSERT_EQ(view->appliedBatches().size(), batches + 1);
    EXPECT_EQ(view->appliedBatches().back().inserts, (std::vector<IndexPath> { { 0, 1 } }));

    // A view holds no more items than the limit.
    Value tooMany { { "items", platform::WireNumber::kMaximumItemCount + 1 } };
    EXPECT_THROW(collection->reload(&tooMany), RemoteException);
    EXPECT_EQ(collection->itemCount(), 41);
}

TEST_F(CollectionViewSessionTest, ItemHeightsAreAtLeastAPointAndAtMostAFewScreens)
{
    log();
    // A sliver of a height would put every item on the first screen, each asking for a cell.
    run(R"(client.set("c1", {itemHeight: 1e-9});)");
    EXPECT_EQ(collection->itemHeight(), 1);
    EXPECT_EQ(view->frameForItem({ 0, 0 })->height(), 1);
    EXPECT_EQ(view->frameForItem({ 0, 1 })->height(), 80) << "the item's own height stands";
    EXPECT_LE(visibleItems().size(), 10u);
    run(R"(client.set("c1", {itemHeight: 1e300});)");
    EXPECT_EQ(view->frameForItem({ 0, 0 })->height(), CollectionView::kMaximumItemHeight);
    EXPECT_EQ(count(log(), "collection view c1: item height"), 2);
    // No height stays no height, without a word; a boolean is a number.
    run(R"(client.set("c1", {itemHeight: -5});)");
    EXPECT_EQ(view->frameForItem({ 0, 0 })->height(), 0);
    run(R"(client.set("c1", {itemHeight: true});)");
    EXPECT_EQ(view->frameForItem({ 0, 0 })->height(), 1);
    EXPECT_EQ(count(log(), "collection view c1: item height"), 0);
}

TEST_F(CollectionViewSessionTest, ReloadsAskedDuringALayoutLandOnTheNextTurnAndCountsAreChecked)
{
    int reloads = view->fullReloadCount();
    auto binding = std::dynamic_pointer_cast<JSBinding>(client->bindings().at(0));
    // A new item height lays the view out again; the first "requestinfo" answers with a reload.
    binding->execute(R"(window.reloadOnInfo = 7; window.morvix._client.set("c1", {itemHeight: 60});)");
    EXPECT_EQ(collection->itemCount(), 40) << "nothing changes in the middle of the layout";
    EXPECT_EQ(view->fullReloadCount(), reloads);
    EXPECT_EQ(view->contentSize().height, 20 * 60 + 20 * 80);
    harness.runUntilIdle();
    EXPECT_EQ(collection->itemCount(), 7);
    EXPECT_EQ(view->numberOfItems(0), 7);
    EXPECT_EQ(view->fullReloadCount(), reloads + 1);
    EXPECT_EQ(visibleItems(), (std::set<int> { 0, 1, 2, 3, 4, 5 }));

    // Counts: negatives and other values count as 0, fractions are truncated, too many fail.
    run(R"(client.call("c1", "reload", {items: 4.9});)");
    EXPECT_EQ(collection->itemCount(), 4);
    run(R"(client.call("c1", "reload", {items: -3});)");
    EXPECT_EQ(collection->itemCount(), 0);
    run(R"(client.call("c1", "reload", {items: 12}); client.call("c1", "reload", {items: "many"});)");
    EXPECT_EQ(collection->itemCount(), 0);
    Value tooMany = Value::parse(R"({"items": 2147483648})");
    EXPECT_THROW(collection->reload(&tooMany), RemoteException);
    EXPECT_EQ(collection->itemCount(), 0);
}

TEST_F(CollectionViewSessionTest, TouchesHighlightInTheForegroundAndTapsPullsAndRevealsReport)
{
    auto& touches = harness.touches();
    auto finger = touches.down(touches.windowPoint(*view, { 100, 75 }));
    auto touched = cell(1);
    ASSERT_TRUE(touched);
    EXPECT_EQ(touched->backgroundColor(), Color::fromRGBA(22 / 255.0f, 126 / 255.0f, 251 / 255.0f));
    auto animations = platform::Animator::shared().activeAnimations();
    ASSERT_FALSE(animations.empty());
    EXPECT_EQ(animations.back().view.lock(), touched);
    EXPECT_EQ(animations.back().duration, 0.1);
    EXPECT_EQ(animations.back().options, platform::AnimationOption::AllowUserInteraction);
    // Half way through, the cell shows half the colour; a picture of it for a person.
    auto half = harness.clock().now() + platform::durationFromSeconds(0.05);
    auto shown = touched->presentationBackgroundColor(half);
    ASSERT_TRUE(shown);
    EXPECT_NEAR(shown->alpha, 0.5, 0.1);
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto folder = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(folder);
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 2, .time = half, .backdrop = Color::white() });
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->writePNG((folder / "collection-view-highlight.png").string()));
    touches.up(finger);
    EXPECT_EQ(touched->backgroundColor(), Color::clear());
    harness.runUntilIdle();
    EXPECT_TRUE(sent().empty()) << "no selection without a listener";

    run(R"(client.listen("c1", "selection", true); client.set("c1", {foreground: [255, 0, 0]});)");
    sent();
    finger = touches.down(touches.windowPoint(*view, { 100, 150 }));
    EXPECT_EQ(cell(2)->backgroundColor(), Color::fromRGBA(1, 0, 0));
    touches.up(finger);
    harness.runUntilIdle();
    EXPECT_EQ(sent(), wire({ R"(["notify","c1","selection",{"index":2}])" }));

    // Pull to refresh.
    run(R"(client.set("c1", {refreshEnabled: true, refreshMessage: "Loading"}); client.listen("c1", "refresh", true);)");
    auto control = collection->refreshControl();
    ASSERT_TRUE(control);
    EXPECT_EQ(view->subviews().front(), control);
    EXPECT_TRUE(view->alwaysBounceVertical());
    EXPECT_EQ(control->attributedTitle().string(), "Loading");
    sent();
    finger = touches.down(touches.windowPoint(*view, { 160, 20 }));
    for (double y = 40; y <= 300; y += 20)
        touches.move(finger, touches.windowPoint(*view, { 160, y }));
    EXPECT_LT(view->contentOffset().y, -platform::RefreshControl::kTriggerDistance);
    touches.up(finger);
    harness.runUntilIdle();
    // The pull also took the lower items out of view and back, which asks for them again.
    auto refreshes = sent();
    EXPECT_EQ(std::count(refreshes.begin(), refreshes.end(), Value::parse(R"(["notify","c1","refresh",{}])")), 1);
    EXPECT_EQ(refreshes.front(), Value::parse(R"(["notify","c1","refresh",{}])"));
    EXPECT_EQ(collection->getWithMethod("refreshIndicator"), Value(true));
    run(R"(client.set("c1", {refreshIndicator: false}); client.set("c1", {refreshEnabled: false});)");
    EXPECT_FALSE(control->isRefreshing());
    EXPECT_EQ(control->superview(), nullptr);

    run(R"(client.call("c1", "reveal", {index: 30});)");
    // Items 0 to 29 take 15 × 50 + 15 × 80 points; item 30 is 50 high.
    EXPECT_EQ(view->contentOffset(), Point(0, 15 * 50 + 15 * 80 + 25 - 200));
    EXPECT_TRUE(visibleItems().count(30));
    run(R"(client.call("c1", "reveal", {index: 99}); client.call("c1", "reveal", {index: -1});)");
    EXPECT_EQ(view->contentOffset(), Point(0, 15 * 50 + 15 * 80 + 25 - 200));
}

// A server peer answers events in a later response, here never: the view neither waits nor
// breaks, sizes come from "itemHeight" and cells stay empty.
class CollectionViewHttpSessionTest : public testing::ScrollMenuSessionFixture { };

TEST_F(CollectionViewHttpSessionTest, WithoutAnswersSizesComeFromTheItemHeightAndCellsStayEmpty)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","c1","morvix.CollectionView",{"parent":"w1","bounds":[0,0,320,400],"itemHeight":44}],
        ["call","c1","reload",{"items":20}]])");
    auto collection = object<CollectionView>("c1");
    ASSERT_TRUE(collection);
    harness.runUntilIdle();
    auto view = collection->collectionView();
    EXPECT_EQ(view->contentSize().height, 20 * 44);
    ASSERT_FALSE(view->visibleCells().empty());
    for (const auto& shown : view->visibleCells())
        EXPECT_EQ(std::dynamic_pointer_cast<CollectionViewListCell>(shown)->widget(), nullptr);
    harness.advance(1);
    ASSERT_TRUE(settle(posts().size()));
    EXPECT_NE(operationsSince(0).find(R"(["notify","c1","createitem",{}])"), std::string::npos);
}

} // namespace
} // namespace morvix
