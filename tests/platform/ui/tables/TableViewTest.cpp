#include "platform/ui/tables/TableView.h"

#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/controls/RefreshControl.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "platform/ui/tables/TableViewController.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

// A list of texts as the rows of one section, counting what the table asks of it.
class ListSource final : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<std::string> rows;
    std::optional<std::string> title;
    int countQueries = 0;
    int cellQueries = 0;
    int cellsMade = 0;
    std::vector<int> selected;
    std::vector<int> accessoryTaps;
    TableViewCellAccessory accessory = TableViewCellAccessory::None;

    int numberOfRows(TableView&, int) override
    {
        ++countQueries;
        return static_cast<int>(rows.size());
    }
    std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath path) override
    {
        ++cellQueries;
        auto cell = table.dequeueReusableCell("text");
        cell->textLabel()->setText(rows.at(path.item));
        cell->setAccessoryType(accessory);
        return cell;
    }
    std::optional<std::string> titleForHeader(TableView&, int) override { return title; }
    void didSelectRow(TableView&, IndexPath path) override { selected.push_back(path.item); }
    void accessoryButtonTapped(TableView&, IndexPath path) override { accessoryTaps.push_back(path.item); }
};

class TableViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        source = std::make_shared<ListSource>();
        for (int row = 0; row < 1000; ++row)
            source->rows.push_back("item " + std::to_string(row));
        table = TableView::create({ 0, 0, 320, 440 });
        table->registerCell("text", [this] {
            ++source->cellsMade;
            return TableViewCell::create(TableViewCellStyle::Default, "text");
        });
        table->setDataSource(source);
        table->setDelegate(source);
        harness.window()->addSubview(table);
        harness.runUntilIdle();
    }

    std::vector<int> visibleRows() const
    {
        std::vector<int> rows;
        for (const auto& path : table->indexPathsForVisibleRows())
            rows.push_back(path.item);
        return rows;
    }
    std::string textOf(int row) const
    {
        auto cell = table->cellForRow(rowPath(row));
        return cell ? cell->textLabel()->text() : "<no cell>";
    }

    UITestHarness harness;
    std::shared_ptr<ListSource> source;
    std::shared_ptr<TableView> table;
};

TEST_F(TableViewTest, OnlyRowsMeetingTheVisibleBoundsHaveCellsAndScrolledOutCellsAreReused)
{
    EXPECT_EQ(table->contentSize().height, 1000 * 44);
    EXPECT_EQ(visibleRows(), (std::vector<int> { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 }));
    for (int step = 1; step <= 30; ++step) {
        table->setContentOffset({ 0, 44.0 * step });
        std::vector<int> expected;
        for (int row = step; row < step + 10; ++row)
            expected.push_back(row);
        ASSERT_EQ(visibleRows(), expected) << "at offset row " << step;
    }
    EXPECT_EQ(textOf(30), "item 30");
    // Half a row down: eleven rows meet the bounds.
    table->setContentOffset({ 0, 44.0 * 30 + 22 });
    EXPECT_EQ(table->visibleCells().size(), 11u);
    // Cells scrolled out were handed out again instead of made anew.
    EXPECT_LE(source->cellsMade, 12);
    EXPECT_EQ(table->rectForRow(rowPath(3)), (Rect { 0, 132, 320, 44 }));
    EXPECT_EQ(table->indexPathForRowAt({ 10, 133 }), rowPath(3));
    EXPECT_FALSE(table->indexPathForRowAt({ 10, 44000 }).has_value());
    EXPECT_EQ(table->cellForRow(rowPath(0)), nullptr);
}

TEST_F(TableViewTest, HeaderSectionTitleAndFooterStackAroundTheRows)
{
    source->rows.resize(3);
    source->title = "Fruit";
    auto header = View::create({ 0, 0, 320, 50 });
    auto footer = View::create({ 0, 0, 320, 20 });
    table->setTableHeaderView(header);
    table->setTableFooterView(footer);
    table->reloadData();
    EXPECT_EQ(table->rectForRow(rowPath(0)).y(), 50 + TableView::kSectionHeaderHeight);
    EXPECT_EQ(footer->frame().y(), 50 + TableView::kSectionHeaderHeight + 3 * 44);
    EXPECT_EQ(table->contentSize().height, 50 + TableView::kSectionHeaderHeight + 3 * 44 + 20);
}

TEST_F(TableViewTest, BatchesApplyAgainstTheRowsBeforeAndAfterAndFallBackWhenCountsDisagree)
{
    source->rows.resize(6);
    table->reloadData();
    auto cellOfRow1 = table->cellForRow(rowPath(1));
    auto cellOfRow4 = table->cellForRow(rowPath(4));

    // Nothing is asked while a batch is open, not even by a layout pass.
    table->beginUpdates();
    int queries = source->countQueries + source->cellQueries;
    source->rows.erase(source->rows.begin() + 2);
    source->rows.insert(source->rows.begin(), "new first");
    source->rows[4] = "changed";
    table->deleteRows({ rowPath(2) }, TableViewRowAnimation::Middle);
    table->insertRows({ rowPath(0) }, TableViewRowAnimation::Middle);
    table->beginUpdates(); // nests
    table->reloadRows({ rowPath(4) }, TableViewRowAnimation::None);
    table->endUpdates();
    table->setNeedsLayout();
    table->layoutIfNeeded();
    EXPECT_EQ(source->countQueries + source->cellQueries, queries);
    table->endUpdates();

    ASSERT_EQ(table->appliedBatches().size(), 1u);
    EXPECT_EQ(table->appliedBatches()[0].deletes, (std::vector<IndexPath> { rowPath(2) }));
    EXPECT_EQ(table->numberOfRows(0), 6);
    EXPECT_EQ(textOf(0), "new first");
    EXPECT_EQ(textOf(4), "changed");
    // Rows that stayed keep their cells, moved along; the reloaded row got a fresh one.
    EXPECT_EQ(table->cellForRow(rowPath(2)), cellOfRow1);
    EXPECT_NE(table->cellForRow(rowPath(4)), cellOfRow4);
    EXPECT_EQ(table->fallbackCount(), 0);

    // A delete the data source does not support: the table reloads instead of applying it.
    int reloads = table->fullReloadCount();
    table->deleteRows({ rowPath(5) }, TableViewRowAnimation::Middle);
    EXPECT_EQ(table->fallbackCount(), 1);
    EXPECT_EQ(table->fullReloadCount(), reloads + 1);
    EXPECT_EQ(table->numberOfRows(0), 6);
    // A reload of a row the table never had falls back too.
    table->reloadRows({ rowPath(9) }, TableViewRowAnimation::None);
    EXPECT_EQ(table->fallbackCount(), 2);

    // A move keeps the count; both rows are asked again.
    std::swap(source->rows[0], source->rows[5]);
    table->moveRow(rowPath(0), rowPath(5));
    EXPECT_EQ(table->fallbackCount(), 2);
    EXPECT_EQ(textOf(5), "new first");
}

TEST_F(TableViewTest, TapsSelectRowsAndTheDetailButtonReportsItsRowOnly)
{
    source->accessory = TableViewCellAccessory::DetailDisclosureButton;
    table->reloadData();
    harness.runUntilIdle();
    harness.touches().tapView(*table, { 100, 44 * 2 + 20 });
    EXPECT_EQ(source->selected, (std::vector<int> { 2 }));
    EXPECT_EQ(table->indexPathForSelectedRow(), rowPath(2));
    EXPECT_TRUE(table->cellForRow(rowPath(2))->isSelected());
    EXPECT_FALSE(table->cellForRow(rowPath(2))->isHighlighted());

    auto button = table->cellForRow(rowPath(3))->accessoryButton();
    ASSERT_TRUE(button);
    harness.touches().tapView(*button, { 5, 5 });
    EXPECT_EQ(source->accessoryTaps, (std::vector<int> { 3 }));
    EXPECT_EQ(source->selected, (std::vector<int> { 2 }));

    table->setAllowsSelection(false);
    harness.touches().tapView(*table, { 100, 44 * 5 + 20 });
    table->selectRow(5);
    EXPECT_EQ(source->selected, (std::vector<int> { 2 }));
    table->setAllowsSelection(true);
    table->selectRow(5);
    EXPECT_EQ(source->selected, (std::vector<int> { 2, 5 }));
    EXPECT_FALSE(table->cellForRow(rowPath(2))->isSelected());

    table->scrollToRow(rowPath(100), TableViewScrollPosition::Top, Animated::No);
    EXPECT_EQ(table->contentOffset().y, 4400);
    table->scrollToRow(rowPath(999), TableViewScrollPosition::Top, Animated::No);
    EXPECT_EQ(table->contentOffset().y, 1000 * 44 - 440);
}

TEST(TableViewControllerTest, ServesItsTableAndClearsTheSelectionWhenAppearing)
{
    UITestHarness harness;
    class Controller final : public TableViewController {
    public:
        int numberOfRows(TableView&, int) override { return 3; }
        std::shared_ptr<TableViewCell> cellForRow(TableView&, IndexPath path) override
        {
            auto cell = TableViewCell::create(TableViewCellStyle::Subtitle);
            cell->textLabel()->setText("row " + std::to_string(path.item));
            return cell;
        }
    };
    auto controller = std::shared_ptr<Controller>(new Controller());
    harness.window()->setRootViewController(controller);
    harness.runUntilIdle();
    auto table = controller->tableView();
    EXPECT_EQ(table->visibleCells().size(), 3u);
    ASSERT_TRUE(table->cellForRow(rowPath(1))->detailTextLabel());
    table->selectRow(rowPath(1), Animated::No, TableViewScrollPosition::None);
    controller->beginAppearanceTransition(false, false);
    controller->endAppearanceTransition();
    controller->beginAppearanceTransition(true, false);
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());
}

TEST(TableViewControllerTest, APullPastTheTriggerDistanceBeginsOneRefreshPerPull)
{
    UITestHarness harness;
    auto controller = TableViewController::create();
    harness.window()->setRootViewController(controller);
    harness.runUntilIdle();
    auto control = RefreshControl::create();
    int pulls = 0;
    control->addAction([&](Control&, const Event*) { ++pulls; }, ControlEventValueChanged);
    controller->setRefreshControl(control);
    auto table = controller->tableView();
    EXPECT_EQ(control->frame().maxY(), 0) << "the control sits above the first row";

    Point start = harness.touches().windowPoint(*table, { 160, 100 });
    harness.touches().drag(start, { start.x, start.y + 40 }, 0.2);
    EXPECT_EQ(pulls, 0) << "not pulled far enough";
    harness.touches().drag(start, { start.x, start.y + 200 }, 0.5, 20);
    EXPECT_EQ(pulls, 1) << "once per pull, however far it goes";
    EXPECT_TRUE(control->isRefreshing());
    control->endRefreshing();
    harness.touches().drag(start, { start.x, start.y + 200 }, 0.5, 20);
    EXPECT_EQ(pulls, 2);
}

} // namespace
