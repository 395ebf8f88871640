// Tables of very many rows, runs of rows in batches, and the run sets the batch check keeps.

#include "platform/ui/tables/BatchUpdateCheck.h"
#include "platform/ui/tables/IndexRuns.h"
#include "platform/ui/tables/TableView.h"

#include "platform/ui/Window.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

// `count` rows named after their numbers; rows in `heights` are sized by the delegate while
// `sizes` is on. Counts what the table asks.
class CountingSource final : public TableViewDataSource, public TableViewDelegate {
public:
    int count = 0;
    bool sizes = false;
    std::map<int, double> heights;
    int cellQueries = 0;
    int heightQueries = 0;

    int numberOfRows(TableView&, int) override { return count; }
    std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath path) override
    {
        ++cellQueries;
        auto cell = table.dequeueReusableCell("row");
        cell->textLabel()->setText("row " + std::to_string(path.item));
        return cell;
    }
    bool sizesRows(TableView&) override { return sizes; }
    std::optional<double> heightForRow(TableView&, IndexPath path) override
    {
        ++heightQueries;
        auto found = heights.find(path.item);
        return found == heights.end() ? std::nullopt : std::optional<double>(found->second);
    }
};

class LongTableTest : public ::testing::Test {
protected:
    // Shows `count` rows in a table 440 points high; `sizes` says whether the delegate sizes them.
    void show(int count, bool sizes)
    {
        source->count = count;
        source->sizes = sizes;
        table->registerCell("row", [] { return TableViewCell::create(TableViewCellStyle::Default, "row"); });
        table->setDelegate(source);
        table->setDataSource(source);
        harness.window()->addSubview(table);
        harness.runUntilIdle();
    }
    std::vector<int> visibleRows() const
    {
        auto paths = table->indexPathsForVisibleRows();
        std::vector<int> rows(paths.size());
        std::transform(paths.begin(), paths.end(), rows.begin(), [](IndexPath path) { return path.item; });
        return rows;
    }

    UITestHarness harness;
    std::shared_ptr<CountingSource> source = std::make_shared<CountingSource>();
    std::shared_ptr<TableView> table = TableView::create({ 0, 0, 320, 440 });
};

TEST_F(LongTableTest, AMillionRowsAskOnlyForTheVisibleOnesAndChangeByRuns)
{
    show(1'000'000, false);
    EXPECT_EQ(table->contentSize().height, 1'000'000 * 44.0);
    EXPECT_EQ(source->heightQueries, 0) << "a delegate that sizes no rows is asked nothing per row";
    EXPECT_EQ(visibleRows(), (std::vector<int> { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 }));

    table->scrollToRow(rowPath(999'999), TableViewScrollPosition::Bottom, Animated::No);
    EXPECT_EQ(visibleRows().front(), 999'990);
    EXPECT_EQ(visibleRows().back(), 999'999);
    EXPECT_EQ(table->cellForRow(rowPath(999'999))->textLabel()->text(), "row 999999");
    EXPECT_EQ(table->indexPathForRowAt({ 10, 44.0 * 500'000 + 1 }), rowPath(500'000));
    EXPECT_EQ(table->rectForRow(rowPath(700'000)), (Rect { 0, 44.0 * 700'000, 320, 44 }));
    auto lastCell = table->cellForRow(rowPath(999'999));

    // Half a million rows after the last: one run, and the shown rows keep their cells.
    source->count = 1'500'000;
    table->insertRowRange({ 0, 1'000'000, 500'000 }, TableViewRowAnimation::None);
    EXPECT_EQ(table->fallbackCount(), 0);
    EXPECT_EQ(table->numberOfRows(0), 1'500'000);
    EXPECT_EQ(table->cellForRow(rowPath(999'999)), lastCell);

    // A run deleted above the selection moves it up by the run's length.
    table->selectRow(rowPath(999'995), Animated::No, TableViewScrollPosition::None);
    source->count = 501'000;
    table->deleteRowRange({ 0, 0, 999'000 }, TableViewRowAnimation::None);
    EXPECT_EQ(table->fallbackCount(), 0);
    EXPECT_EQ(table->indexPathForSelectedRow(), rowPath(995));
    EXPECT_EQ(table->appliedBatches().back().deletedRanges, (std::vector<IndexRange> { { 0, 0, 999'000 } }));

    // A run past the rows the table has fails the check and reloads.
    table->deleteRowRange({ 0, 500'000, 2'000 }, TableViewRowAnimation::None);
    EXPECT_EQ(table->fallbackCount(), 1);
    EXPECT_LT(source->cellQueries, 100);
}

TEST_F(LongTableTest, SizedRowsShiftTheRowsBelowAndRowsWithoutHeightAreNeverShown)
{
    source->heights = { { 2, 100 }, { 3, 0 }, { 5, 10 } };
    show(100, true);
    EXPECT_EQ(source->heightQueries, 100);
    EXPECT_EQ(table->rectForRow(rowPath(2)), (Rect { 0, 88, 320, 100 }));
    EXPECT_EQ(table->rectForRow(rowPath(3)), (Rect { 0, 188, 320, 0 }));
    EXPECT_EQ(table->rectForRow(rowPath(5)), (Rect { 0, 232, 320, 10 }));
    EXPECT_EQ(table->rectForRow(rowPath(6)).y(), 242);
    EXPECT_EQ(table->contentSize().height, 97 * 44 + 100 + 0 + 10);
    EXPECT_EQ(table->indexPathForRowAt({ 10, 187 }), rowPath(2));
    EXPECT_EQ(table->indexPathForRowAt({ 10, 190 }), rowPath(4)) << "row 3 has no height to hit";
    EXPECT_EQ(visibleRows(), (std::vector<int> { 0, 1, 2, 4, 5, 6, 7, 8, 9, 10 }));

    // Without a row height only the sized rows take room.
    table->setRowHeight(0);
    EXPECT_EQ(table->contentSize().height, 110);
    EXPECT_EQ(visibleRows(), (std::vector<int> { 2, 5 }));
    EXPECT_EQ(table->indexPathForRowAt({ 10, 105 }), rowPath(5));
    EXPECT_FALSE(table->indexPathForRowAt({ 10, 111 }).has_value());
}

TEST(IndexRunsTest, RunsMergeReportRepeatsAndRankTheGaps)
{
    IndexRuns runs;
    EXPECT_FALSE(runs.add(10, 5)); // 10..14
    EXPECT_FALSE(runs.add(15));    // touches: no repeat
    EXPECT_FALSE(runs.add(0, 0));  // names nothing
    EXPECT_TRUE(runs.add(3, 8));   // 3..10 meets 10
    EXPECT_EQ(runs.size(), 13);    // 3..15
    EXPECT_FALSE(runs.contains(2));
    EXPECT_TRUE(runs.contains(3));
    EXPECT_TRUE(runs.contains(15));
    EXPECT_FALSE(runs.contains(16));
    EXPECT_EQ(runs.countBelow(3), 0);
    EXPECT_EQ(runs.countBelow(8), 5);
    EXPECT_EQ(runs.countBelow(1'000'000), 13);
    EXPECT_FALSE(runs.add(1'000'000, 1'000'000));
    EXPECT_EQ(runs.size(), 1'000'013);
    EXPECT_EQ(runs.nthAbsent(0), 0);
    EXPECT_EQ(runs.nthAbsent(3), 16) << "0, 1, 2 and then past 3..15";
    EXPECT_EQ(runs.nthAbsent(1'000'000 - 13), 2'000'000);
}

TEST(BatchUpdateCheckTest, RunsCountAsTheirItemsAndMayNotOverlapWhereRepeatsAreRefused)
{
    BatchUpdateCheck refusing("collection view", "items", BatchUpdateCheck::Repeats::Refused);
    BatchUpdate batch;
    batch.deletedRanges = { { 0, 2, 3 } };  // 2, 3, 4
    batch.insertedRanges = { { 0, 0, 2 } }; // 0, 1 after
    batch.deletes = { { 0, 6 } };
    EXPECT_TRUE(refusing.fits(batch, 0, 10, 8));
    EXPECT_FALSE(refusing.fits(batch, 0, 10, 9)) << "the counts must add up";
    batch.deletes = { { 0, 4 } };
    EXPECT_FALSE(refusing.fits(batch, 0, 10, 8)) << "4 is in the run";
    batch.deletes.clear();
    batch.deletedRanges = { { 0, 8, 3 } };
    EXPECT_FALSE(refusing.fits(batch, 0, 10, 9)) << "the run passes the end";

    // Old items 0..9 less 2..4, after two inserted at the top: 0 -> 2, 1 -> 3, 5 -> 4, 9 -> 8.
    batch.deletedRanges = { { 0, 2, 3 } };
    BatchUpdateCheck::Places places(batch, 0, BatchUpdateCheck::Moves::Dropped);
    EXPECT_EQ(places.placeOf(0), 2);
    EXPECT_EQ(places.placeOf(1), 3);
    EXPECT_EQ(places.placeOf(3), std::nullopt);
    EXPECT_EQ(places.placeOf(5), 4);
    EXPECT_EQ(places.placeOf(9), 8);
}

} // namespace
