#include "platform/ui/tables/CollectionView.h"

#include "platform/ui/Window.h"
#include "platform/ui/controls/RefreshControl.h"
#include "platform/ui/rendering/TreeDump.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "platform/ui/tables/CollectionViewCell.h"
#include "platform/ui/tables/CollectionViewFlowLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

// A cell that counts how often it was prepared for reuse.
class CountingCell final : public CollectionViewCell {
public:
    static std::shared_ptr<CountingCell> create()
    {
        auto cell = std::shared_ptr<CountingCell>(new CountingCell());
        cell->buildSubviews();
        return cell;
    }
    void prepareForReuse() override
    {
        CollectionViewCell::prepareForReuse();
        ++reuses;
    }
    int item = -1; // the item the cell was last given
    int reuses = 0;

private:
    CountingCell() : CollectionViewCell({}) { }
};

// One section of items whose heights the test sets, counting what the view asks of it.
class ItemSource final : public CollectionViewDataSource, public CollectionViewDelegateFlowLayout {
public:
    std::vector<double> heights;
    double width = 320;
    int countQueries = 0;
    int sizeQueries = 0;
    int cellsMade = 0;
    std::vector<std::string> touches;

    int numberOfItems(CollectionView&, int) override
    {
        ++countQueries;
        return static_cast<int>(heights.size());
    }
    std::shared_ptr<View> cellForItem(CollectionView& view, IndexPath path) override
    {
        auto cell = std::static_pointer_cast<CountingCell>(view.dequeueReusableCell("cell", path));
        cell->item = path.item;
        return cell;
    }
    std::optional<Size> sizeForItem(CollectionView&, CollectionViewFlowLayout&, IndexPath path) override
    {
        ++sizeQueries;
        return Size { width, heights.at(static_cast<std::size_t>(path.item)) };
    }
    std::optional<double> minimumLineSpacing(CollectionView&, CollectionViewFlowLayout&, int) override { return 0.0; }
    void didHighlightItem(CollectionView&, IndexPath path) override { touches.push_back("highlight " + std::to_string(path.item)); }
    void didUnhighlightItem(CollectionView&, IndexPath path) override { touches.push_back("unhighlight " + std::to_string(path.item)); }
    void didSelectItem(CollectionView&, IndexPath path) override { touches.push_back("select " + std::to_string(path.item)); }
};

class CollectionViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        source = std::make_shared<ItemSource>();
        source->heights.assign(40, 50);
        view = CollectionView::create({ 0, 0, 320, 400 });
        view->registerCell("cell", [this] {
            ++source->cellsMade;
            return CountingCell::create();
        });
        view->setDataSource(source);
        view->setDelegate(source);
        harness.window()->addSubview(view);
        harness.runUntilIdle();
    }

    std::vector<int> visibleItems() const
    {
        std::vector<int> items;
        for (const auto& path : view->indexPathsForVisibleItems())
            items.push_back(path.item);
        return items;
    }
    static std::vector<int> range(int from, int to)
    {
        std::vector<int> items;
        for (int item = from; item < to; ++item)
            items.push_back(item);
        return items;
    }
    int itemOfCell(int item) const
    {
        auto cell = std::dynamic_pointer_cast<CountingCell>(view->cellForItem({ 0, item }));
        return cell ? cell->item : -1;
    }

    UITestHarness harness;
    std::shared_ptr<ItemSource> source;
    std::shared_ptr<CollectionView> view;
};

TEST_F(CollectionViewTest, TheLayoutAsksEachSizeOncePerPreparationAndOnlyVisibleItemsHaveReusedCells)
{
    EXPECT_EQ(view->contentSize(), Size(320, 40 * 50));
    EXPECT_EQ(source->sizeQueries, 40);
    EXPECT_EQ(visibleItems(), range(0, 8));
    // Scrolling asks no sizes; cells that leave are handed out again, prepared for reuse.
    for (int step = 1; step <= 32; ++step) {
        view->setContentOffset({ 0, 50.0 * step });
        ASSERT_EQ(visibleItems(), range(step, step + 8)) << "at item " << step;
    }
    EXPECT_EQ(source->sizeQueries, 40);
    EXPECT_LE(source->cellsMade, 9);
    EXPECT_EQ(itemOfCell(32), 32);
    EXPECT_GT(std::static_pointer_cast<CountingCell>(view->cellForItem({ 0, 32 }))->reuses, 0);
    EXPECT_EQ(view->cellForItem({ 0, 0 }), nullptr);
    EXPECT_NE(dumpTree(*view).find("\"item 33\""), std::string::npos) << dumpTree(*view);

    // A new width prepares the layout again; so does a reload, which keeps the pools.
    source->width = 100;
    view->setFrame({ 0, 0, 300, 400 });
    view->layoutIfNeeded();
    EXPECT_EQ(source->sizeQueries, 80);
    source->heights.assign(3, 0);
    source->heights[1] = 120;
    view->setContentOffset({ 0, 0 });
    view->reloadData();
    EXPECT_EQ(source->sizeQueries, 83);
    EXPECT_EQ(view->contentSize().height, 120);
    EXPECT_EQ(visibleItems(), std::vector<int> { 1 }) << "items without height get no cell";
    EXPECT_EQ(view->indexPathForItemAt({ 120, 60 }), (IndexPath { 0, 1 }));
    EXPECT_EQ(view->indexPathForItemAt({ 120, 130 }), std::nullopt);
}

TEST_F(CollectionViewTest, TheFlowFillsRowsInsideTheInsetsAndAnInstalledLayoutIsPreparedAtOnce)
{
    view->setDelegate(std::weak_ptr<CollectionViewDelegate>());
    view->setLayout({ { 100, 40 }, 5, 10, { 10, 15, 10, 15 } });
    // 290 points of row: two items of 100 with 10 between fit, a third does not.
    EXPECT_EQ(view->frameForItem({ 0, 1 }), Rect(125, 10, 100, 40));
    EXPECT_EQ(view->frameForItem({ 0, 2 }), Rect(15, 55, 100, 40));
    EXPECT_EQ(view->contentSize(), Size(320, 10 + 20 * 40 + 19 * 5 + 10));
    auto layout = CollectionViewFlowLayout::create({ { 320, 30 }, 0, 0, {} });
    view->setCollectionViewLayout(layout, Animated::Yes);
    EXPECT_EQ(view->collectionViewLayout(), layout);
    EXPECT_EQ(layout->preparationCount(), 1);
    EXPECT_EQ(view->contentSize().height, 40 * 30);
    EXPECT_EQ(view->cellForItem({ 0, 13 })->frame(), Rect(0, 390, 320, 30));
    EXPECT_EQ(view->cellForItem({ 0, 14 }), nullptr);
}

TEST_F(CollectionViewTest, BatchesApplyAgainstTheItemsBeforeAndAfterAndFallBackWhenTheyDoNotFit)
{
    source->heights.assign(6, 50);
    view->reloadData();
    auto cellOf1 = view->cellForItem({ 0, 1 });
    int counts = source->countQueries;
    int sizes = source->sizeQueries;
    bool completed = false;

    // Item 2 goes, one comes in first, item 4 is reloaded and item 5 moves to the second place.
    source->heights.assign(6, 50);
    view->performBatchUpdates([&] {
        view->moveItem({ 0, 5 }, { 0, 1 });
        view->reloadItems({ { 0, 4 } });
        view->deleteItems({ { 0, 2 } });
        view->insertItems({ { 0, 0 } });
        view->setNeedsLayout();
        view->layoutIfNeeded();
    }, [&](bool finished) { completed = finished; });
    EXPECT_FALSE(completed) << "the completion waits for a later turn";
    harness.runUntilIdle();
    EXPECT_TRUE(completed);
    ASSERT_EQ(view->appliedBatches().size(), 1u);
    EXPECT_EQ(source->countQueries, counts + 1) << "the count is asked once, at the end";
    EXPECT_EQ(source->sizeQueries, sizes + 6);
    // Old items 0, 1, 3 fill the new places 2, 3, 4 around the insert and the move, keeping
    // their cells; the moved item keeps its cell; the inserted and the reloaded item (old 4, now
    // 5) are asked for.
    EXPECT_EQ(view->cellForItem({ 0, 3 }), cellOf1);
    EXPECT_EQ(itemOfCell(1), 5);
    EXPECT_EQ(itemOfCell(4), 3);
    EXPECT_EQ(itemOfCell(5), 5);
    EXPECT_EQ(itemOfCell(0), 0);

    EXPECT_EQ(view->fallbackCount(), 0);

    // Counts that disagree, an item past the old count, or one named twice: a full reload.
    int reloads = view->fullReloadCount();
    view->deleteItems({ { 0, 5 } });
    EXPECT_EQ(view->fallbackCount(), 1);
    view->reloadItems({ { 0, 6 } });
    EXPECT_EQ(view->fallbackCount(), 2);
    source->heights.resize(4);
    view->deleteItems({ { 0, 1 }, { 0, 1 } });
    EXPECT_EQ(view->fallbackCount(), 3);
    EXPECT_EQ(view->fullReloadCount(), reloads + 3);
    EXPECT_EQ(view->numberOfItems(0), 4);
    EXPECT_EQ(view->appliedBatches().size(), 1u);
    // A move of an item onto the place an insert takes does not fit either.
    source->heights.resize(5);
    view->performBatchUpdates([&] {
        view->insertItems({ { 0, 2 } });
        view->moveItem({ 0, 0 }, { 0, 2 });
    });
    EXPECT_EQ(view->fallbackCount(), 4);
}

TEST_F(CollectionViewTest, TouchesHighlightAndSelectItemsAndAPullBeginsARefresh)
{
    auto& touches = harness.touches();
    auto finger = touches.down({ 100, 75 });
    auto cell = std::dynamic_pointer_cast<CollectionViewCell>(view->cellForItem({ 0, 1 }));
    EXPECT_TRUE(cell->isHighlighted());
    EXPECT_EQ(source->touches, std::vector<std::string> { "highlight 1" });
    touches.up(finger);
    EXPECT_FALSE(cell->isHighlighted());
    EXPECT_EQ(source->touches, (std::vector<std::string> { "highlight 1", "unhighlight 1", "select 1" }));
    // A cancelled touch selects nothing.
    source->touches.clear();
    finger = touches.down({ 100, 75 });
    touches.cancel(finger);
    EXPECT_EQ(source->touches, (std::vector<std::string> { "highlight 1", "unhighlight 1" }));

    view->scrollToItem({ 0, 20 }, CollectionViewScrollPosition::CenteredVertically | CollectionViewScrollPosition::CenteredHorizontally,
        Animated::No);
    EXPECT_EQ(view->contentOffset(), Point(0, 20 * 50 + 25 - 200));
    view->scrollToItem({ 0, 39 }, CollectionViewScrollPosition::CenteredVertically, Animated::No);
    EXPECT_EQ(view->contentOffset(), Point(0, 2000 - 400)) << "clamped to the content";
    view->scrollToItem({ 0, 40 }, CollectionViewScrollPosition::Top, Animated::No);
    EXPECT_EQ(view->contentOffset(), Point(0, 2000 - 400));

    auto control = RefreshControl::create();
    int pulls = 0;
    control->addAction([&](Control&, const Event*) { ++pulls; }, ControlEventValueChanged);
    view->insertSubview(control, 0);
    view->setAlwaysBounceVertical(true);
    view->setContentOffset({ 0, 0 });
    touches.drag({ 160, 20 }, { 160, 60 }, 0.2, 4);
    EXPECT_EQ(pulls, 0) << "a short pull does nothing";
    finger = touches.down({ 160, 20 });
    for (double y = 40; y <= 300; y += 20)
        touches.move(finger, { 160, y });
    touches.up(finger);
    EXPECT_EQ(pulls, 1);
    EXPECT_TRUE(control->isRefreshing());
    EXPECT_EQ(control->frame(), Rect(0, -RefreshControl::kHeight, 320, RefreshControl::kHeight));
    EXPECT_EQ(view->subviews().front(), control);
}

} // namespace
