// Trees made by a script application in a real session, driven by the touch driver.

#include "widgets/lists/Tree.h"

#include "core/base/LogEntry.h"
#include "core/outgoing/Notifications.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/WireNumber.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/tables/TableView.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/images/ImageViewMorvix.h"
#include "widgets/lists/GridTreeCell.h"
#include "widgets/lists/RowTemplateCell.h"
#include "widgets/lists/Template.h"
#include "widgets/lists/TextCell.h"
#include "widgets/lists/TreeController.h"
#include "widgets/lists/TreeItem.h"
#include "widgets/lists/TreeMapping.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

namespace morvix {
namespace {

using platform::IndexPath;
using platform::rowPath;
using platform::Value;

// A composite w1 holding the tree w3 (320 x 440) with the given create properties.
std::string treeScript(const std::string& properties, const std::string& rest = "")
{
    // The properties' braces are dropped so that their keys join the placement's.
    return "client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});\n"
           "client.create('w3', 'zub.widgets.Grid', {parent: 'w1', bounds: [0, 0, 320, 440], "
        + properties.substr(1, properties.size() - 2) + "});\n" + rest;
}

// Leaf w4 and branch w5 on the first level; w5 holds w6 and the branch w7, which holds w8.
const char* kSmallTree = R"(
    client.create('w4', 'zub.widgets.GridItem', {parent: 'w3', index: 0, texts: ['Leaf', 'leaf detail']});
    client.create('w5', 'zub.widgets.GridItem', {parent: 'w3', index: 1, texts: ['Branch'], itemCount: 2});
    client.create('w6', 'zub.widgets.GridItem', {parent: 'w5', index: 0, texts: ['Child']});
    client.create('w7', 'zub.widgets.GridItem', {parent: 'w5', index: 1, texts: ['Inner'], itemCount: 1});
    client.create('w8', 'zub.widgets.GridItem', {parent: 'w7', index: 0, texts: ['Deep']});)";

class TreeSessionTest : public testing::ScriptSessionFixture {
protected:
    std::shared_ptr<Tree> tree() { return std::dynamic_pointer_cast<Tree>(object("w3")); }
    std::shared_ptr<TreeItem> item(const std::string& id) { return std::dynamic_pointer_cast<TreeItem>(object(id)); }
    std::shared_ptr<platform::TableView> level(const std::shared_ptr<TreeItem>& parent)
    {
        return parent->treeController()->tableView();
    }
    std::shared_ptr<platform::TableView> rootLevel() { return level(tree()->root()); }
    std::shared_ptr<platform::TableView> topLevel()
    {
        auto top = std::dynamic_pointer_cast<TreeController>(tree()->navigationController()->topViewController());
        return top ? top->tableView() : nullptr;
    }
    void tapRow(const std::shared_ptr<platform::TableView>& table, int row)
    {
        harness.touches().tapView(*table, { 100, table->rectForRow(rowPath(row)).midY() });
        harness.runUntilIdle();
    }
    std::string titleOf(const std::shared_ptr<platform::TableView>& table, int row)
    {
        auto cell = table->cellForRow(rowPath(row));
        return cell ? cell->textLabel()->text() : "<no cell>";
    }
    std::vector<std::string> stackTitles()
    {
        std::vector<std::string> titles;
        for (const auto& controller : tree()->navigationController()->viewControllers())
            titles.push_back(controller->title());
        return titles;
    }
};

TEST_F(TreeSessionTest, TapsSelectLeavesOpenBranchesAndBackNavigationCollapses)
{
    start(treeScript("{itemCount: 2, toolTip: 'Top'}", kSmallTree));
    auto table = rootLevel();
    ASSERT_EQ(table->numberOfRows(0), 2);
    EXPECT_EQ(titleOf(table, 0), "Leaf");
    EXPECT_EQ(std::dynamic_pointer_cast<GridTreeCell>(table->cellForRow(rowPath(1)))->accessoryType(),
        platform::TableViewCellAccessory::DisclosureIndicator);
    EXPECT_FALSE(tree()->navigationController()->isNavigationBarHidden()) << "the root level has a title";
    messages();

    // A leaf without "Selection" listened: the change rides with the next flush.
    tapRow(table, 0);
    EXPECT_EQ(messages(), std::vector { message("schedule", { R"(["set","w3",{"selection":["w4"],"focusItem":"w4"}])" }) });
    run("client.listen('w3', 'Selection', true); client.listen('w3', 'Expand', true); client.listen('w3', 'Collapse', true);");
    messages();
    tapRow(table, 0);
    EXPECT_EQ(messages(), std::vector { message("send", { R"(["set","w3",{"selection":["w4"],"focusItem":"w4"}])",
                                                         R"(["notify","w3","Selection",{"item":"w4"}])" }) });

    // A branch opens its level.
    tapRow(table, 1);
    harness.advance(1);
    EXPECT_EQ(messages(), (std::vector { message("schedule", { R"(["set","w5",{"expanded":true}])" }),
                              message("send", { R"(["notify","w3","Expand",{"item":"w5"}])" }) }));
    EXPECT_EQ(stackTitles(), (std::vector<std::string> { "Top", "Branch" }));
    EXPECT_EQ(titleOf(topLevel(), 0), "Child");
    tapRow(topLevel(), 1);
    harness.advance(1);
    EXPECT_EQ(tree()->controllers().size(), 3u);
    messages();

    // Back to the root at once: one "Collapse", for the level directly above the root.
    tree()->navigationController()->popToRootViewController(platform::Animated::No);
    harness.runUntilIdle();
    EXPECT_EQ(messages(), (std::vector { message("schedule", { R"(["set","w5",{"expanded":false}])" }),
                              message("send", { R"(["notify","w3","Collapse",{"item":"w5"}])" }) }));
    EXPECT_EQ(tree()->controllers().size(), 1u);
    EXPECT_FALSE(item("w5")->isExpandedFlag());
}

TEST_F(TreeSessionTest, PeerExpansionOpensAncestorsFirstAndCollapseClosesTheItemsOwnLevel)
{
    start(treeScript("{itemCount: 2}", kSmallTree));
    run("client.listen('w3', 'Expand', true); client.listen('w3', 'Collapse', true);");
    messages();
    run("client.set('w7', {expanded: true});");
    harness.runUntilIdle();
    EXPECT_EQ(stackTitles(), (std::vector<std::string> { "", "Branch", "Inner" }));
    EXPECT_EQ(messages(), (std::vector { message("schedule", { R"(["set","w5",{"expanded":true}])" }),
                              message("send", { R"(["notify","w3","Expand",{"item":"w5"}])" }),
                              message("schedule", { R"(["set","w7",{"expanded":true}])" }),
                              message("send", { R"(["notify","w3","Expand",{"item":"w7"}])" }) }));
    EXPECT_EQ(tree()->controllers().size(), 3u) << "the levels the peer opened are mirrored";

    // Collapsing w5 closes w5's own level (and the one above it); the did-show reports nothing more.
    run("client.set('w5', {expanded: false});");
    harness.runUntilIdle();
    EXPECT_EQ(stackTitles(), (std::vector<std::string> { "" }));
    EXPECT_FALSE(tree()->isExpanded(*item("w5")));
    EXPECT_EQ(messages(), (std::vector { message("schedule", { R"(["set","w5",{"expanded":false}])" }),
                              message("send", { R"(["notify","w3","Collapse",{"item":"w5"}])" }) }));

    // A user's back tap after the peer's expansion reports the right item.
    run("client.set('w5', {expanded: true});");
    harness.runUntilIdle();
    messages();
    tree()->navigationController()->popViewController(platform::Animated::No);
    harness.runUntilIdle();
    EXPECT_EQ(messages(), (std::vector { message("schedule", { R"(["set","w5",{"expanded":false}])" }),
                              message("send", { R"(["notify","w3","Collapse",{"item":"w5"}])" }) }));
}

TEST_F(TreeSessionTest, AccessoriesFollowAltSelectionAndAlwaysReport)
{
    start(treeScript("{itemCount: 2, data: {altSelection: 'branch'}}", kSmallTree));
    auto table = rootLevel();
    auto leaf = std::dynamic_pointer_cast<GridTreeCell>(table->cellForRow(rowPath(0)));
    auto branch = std::dynamic_pointer_cast<GridTreeCell>(table->cellForRow(rowPath(1)));
    EXPECT_EQ(leaf->accessoryType(), platform::TableViewCellAccessory::None);
    ASSERT_EQ(branch->accessoryType(), platform::TableViewCellAccessory::DetailDisclosureButton);
    messages();
    harness.touches().tapView(*branch->accessoryButton(), { 5, 5 });
    harness.runUntilIdle();
    EXPECT_EQ(messages(), std::vector { message("send", { R"(["set","w3",{"selection":["w5"],"focusItem":"w5"}])",
                                                         R"(["notify","w3","Selection",{"item":"w5","altKey":true}])" }) });
    EXPECT_EQ(stackTitles().size(), 1u) << "the accessory opens nothing";
}

TEST_F(TreeSessionTest, PropertiesReachTheLevels)
{
    start(treeScript("{itemCount: 2, itemHeight: 20}", kSmallTree));
    EXPECT_EQ(tree()->itemHeight(), 44);
    EXPECT_EQ(rootLevel()->rowHeight(), 44);
    run("client.set('w3', {itemHeight: 60});");
    EXPECT_EQ(rootLevel()->rowHeight(), 60);
    EXPECT_EQ(level(item("w5"))->rowHeight(), 60);
    EXPECT_FALSE(rootLevel()->isScrollEnabled()) << "no scroll bar, no scrolling";

    run("client.create('b1', 'zub.widgets.ScrollBar', {parent: 'w3', style: ['VERTICAL']});");
    EXPECT_TRUE(rootLevel()->isScrollEnabled());

    run("client.set('w3', {enabled: false});");
    EXPECT_FALSE(rootLevel()->allowsSelection());
    EXPECT_TRUE(level(item("w5"))->allowsSelection());

    run("client.set('w5', {cellBackgrounds: [[0, 0, 255], [255, 0, 0]], texts: ['Branch!']});");
    harness.runUntilIdle();
    auto cell = rootLevel()->cellForRow(rowPath(1));
    auto blue = platform::Color::fromRGBA(0, 0, 1);
    EXPECT_EQ(cell->backgroundColor(), blue);
    EXPECT_EQ(cell->textLabel()->backgroundColor(), blue);
    EXPECT_EQ(cell->detailTextLabel()->backgroundColor(), blue);
    EXPECT_EQ(cell->textLabel()->text(), "Branch!");

    run("client.set('w3', {appearance: 'list', toolTip: 'Shown'});");
    run("client.set('w3', {appearance: 'list'});");
    EXPECT_TRUE(tree()->navigationController()->isNavigationBarHidden());
    run("client.set('w5', {expanded: true});");
    harness.runUntilIdle();
    EXPECT_FALSE(tree()->navigationController()->isNavigationBarHidden()) << "a level with a title shows the bar";

    // ScrollUp brings every level to its first row.
    run("client.set('w3', {itemHeight: 300});");
    rootLevel()->setContentOffset({ 0, 200 });
    platform::NotificationCenter::defaultCenter()->post(Notifications::kScrollUp);
    harness.runUntilIdle();
    EXPECT_EQ(rootLevel()->contentOffset().y, 0);
}

TEST_F(TreeSessionTest, VirtualLevelsShowPlaceholdersAndReportTheirWindow)
{
    start(treeScript("{style: ['VIRTUAL'], itemCount: 100}", R"(
        client.create('r2', 'zub.widgets.GridItem', {parent: 'w3', index: 2, texts: ['Row 2'], itemCount: 30});
        client.listen('w3', 'SetData', true);)"));
    auto table = rootLevel();
    ASSERT_EQ(table->numberOfRows(0), 100);
    EXPECT_EQ(table->visibleCells().size(), 10u);
    auto placeholder = std::dynamic_pointer_cast<GridTreeCell>(table->cellForRow(rowPath(0)));
    EXPECT_EQ(placeholder->textLabel()->text(), "");
    EXPECT_EQ(placeholder->selectionStyle(), platform::TableViewCellSelectionStyle::None);
    EXPECT_EQ(placeholder->accessoryType(), platform::TableViewCellAccessory::None);
    EXPECT_EQ(titleOf(table, 2), "Row 2");
    messages();

    // Downwards one row at a time: 11 at the first row, then nothing until 19.
    std::vector<long> reported;
    auto collect = [&] {
        for (const auto& entry : messages()) {
            for (const auto& operation : entry[1]) {
                if (operation[0] == "set" && operation[2].contains("topItemIndex"))
                    reported.push_back(operation[2]["topItemIndex"].get<long>());
            }
        }
    };
    for (int row = 1; row <= 10; ++row) {
        table->setContentOffset({ 0, 44.0 * row });
        collect();
    }
    EXPECT_EQ(reported, (std::vector<long> { 11, 19 }));
    reported.clear();
    for (int row = 9; row >= 0; --row) {
        table->setContentOffset({ 0, 44.0 * row });
        collect();
    }
    for (long value : reported)
        EXPECT_GE(value, 0);
    EXPECT_FALSE(reported.empty());

    // A sub-level of r2 reports r2's number plus its first visible row.
    run("client.set('r2', {expanded: true});");
    harness.runUntilIdle();
    messages();
    auto sub = level(item("r2"));
    ASSERT_EQ(sub->numberOfRows(0), 30);
    sub->setContentOffset({ 0, 44.0 * 4 });
    collect();
    ASSERT_FALSE(reported.empty());
    sub->setContentOffset({ 0, 44.0 * 4 });
    auto controller = item("r2")->treeController();
    controller->scrollViewDidEndDecelerating(*sub);
    EXPECT_EQ(controller->lastSentTopIndex(), 2 + 4);

    // Counts: more appends, fewer drops the last rows whatever they hold, a destroyed row leaves
    // a placeholder at the end.
    run("client.set('w3', {itemCount: 110});");
    EXPECT_EQ(table->numberOfRows(0), 110);
    run("client.set('w3', {itemCount: 95});");
    EXPECT_EQ(table->numberOfRows(0), 95);
    run("client.destroy('r2');");
    EXPECT_EQ(table->numberOfRows(0), 95);
    EXPECT_EQ(tree()->root()->subItems().size(), 95u);
    EXPECT_EQ(tree()->root()->subItems().back(), nullptr);
    EXPECT_EQ(table->fallbackCount(), 0);
}

TEST_F(TreeSessionTest, BadIndexFailsBeforeTheItemJoins)
{
    start(treeScript("{itemCount: 2}", kSmallTree));
    run("client.create('x1', 'zub.widgets.GridItem', {parent: 'w3', index: 7, texts: ['Far']});"
        "client.create('x2', 'zub.widgets.GridItem', {parent: 'w3', index: -1});"
        "client.create('x3', 'zub.widgets.GridItem', {parent: 'w3', index: 1.5});");
    EXPECT_EQ(tree()->root()->subItems().size(), 2u);
    EXPECT_EQ(tree()->objects().size(), 3u) << "the root and the two items";
    EXPECT_EQ(rootLevel()->numberOfRows(0), 2);
}

TEST_F(TreeSessionTest, LongPressOpensTheMenuOnceAndSelectsTheRowsPassed)
{
    start(treeScript("{itemCount: 2}", std::string(kSmallTree) + "client.listen('w3', 'MenuDetect', true);"));
    auto table = rootLevel();
    auto& touches = harness.touches();
    messages();
    auto finger = touches.down(touches.windowPoint(*table, { 100, 22 }));
    touches.advance(0.6);
    touches.move(finger, touches.windowPoint(*table, { 100, 40 }));
    touches.move(finger, touches.windowPoint(*table, { 100, 66 }));
    touches.up(finger);
    harness.runUntilIdle();
    harness.advance(1);
    int menus = 0;
    Value lastSelection;
    for (const auto& entry : messages()) {
        for (const auto& operation : entry[1]) {
            if (operation[0] == "notify" && operation[2] == "MenuDetect")
                ++menus;
            if (operation[0] == "set" && operation[2].contains("selection"))
                lastSelection = operation[2]["selection"];
        }
    }
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(lastSelection, Value::parse(R"(["w5"])")) << "the last row passed";
    EXPECT_EQ(tree()->controllers().size(), 1u) << "the press opened no level";
}

TEST(TreeMappingTest, RemovalsMapToTheRowsBeforeTheBatch)
{
    TreeMapping mapping;
    EXPECT_EQ(mapping.removeAtIndex(3), rowPath(3));
    EXPECT_EQ(mapping.removeAtIndex(3), rowPath(4));
    EXPECT_EQ(mapping.removeAtIndex(1), rowPath(1));
    EXPECT_EQ(mapping.indexPathFor(3), rowPath(6));
    mapping.reset();
    EXPECT_EQ(mapping.indexPathFor(3), rowPath(3));
}

TEST_F(TreeSessionTest, ChangesOfOneMessageFormOneBatchClosedOnTheMainThread)
{
    start(treeScript("{style: ['VIRTUAL'], itemCount: 20}"));
    auto table = rootLevel();
    auto before = table->appliedBatches().size();
    run(R"(client.create('r1', 'zub.widgets.GridItem', {parent: 'w3', index: 1, texts: ['one']});
           client.create('r3', 'zub.widgets.GridItem', {parent: 'w3', index: 3, texts: ['three']});
           client.set('r1', {texts: ['one!']});)");
    // The message's own batch; each deferred row redraw after it is a batch of its own, since
    // the script binding is never in the middle of a message then.
    ASSERT_GT(table->appliedBatches().size(), before);
    const auto& batch = table->appliedBatches()[before];
    EXPECT_EQ(batch.reloads, (std::vector<IndexPath> { rowPath(1), rowPath(3) }));
    EXPECT_TRUE(batch.inserts.empty());
    EXPECT_EQ(titleOf(table, 1), "one!");

    // Within one batch a row is reloaded once; inserts and deletes always pass.
    auto controller = tree()->root()->treeController();
    controller->startUpdate();
    controller->reload({ rowPath(5) });
    controller->reload({ rowPath(5), rowPath(6) });
    controller->processingFinished();
    EXPECT_EQ(table->appliedBatches().back().reloads, (std::vector<IndexPath> { rowPath(5), rowPath(6) }));

    // "ProcessingFinished" from another thread closes the open batch on the main thread.
    controller->startUpdate();
    std::atomic<bool> posted = false;
    std::thread poster([&] {
        platform::NotificationCenter::defaultCenter()->post(std::string(BasicObject::kProcessingFinished));
        posted = true;
    });
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return posted.load(); }, std::chrono::seconds(10)));
    poster.join();
    EXPECT_FALSE(controller->isUpdating());
    EXPECT_EQ(table->endUpdatesThreads().back(), std::this_thread::get_id());

    // A batch the counts do not support falls back to one row per entry.
    controller->startUpdate();
    controller->insert({ rowPath(0) });
    controller->processingFinished();
    EXPECT_EQ(table->numberOfRows(0), 20);
    EXPECT_GE(table->fallbackCount(), 1);
}

TEST_F(TreeSessionTest, RowTemplatesPlaceBindAndReportTheirCells)
{
    platform::ImageContext canvas({ 20, 10 }, platform::Opaque::No, 1);
    canvas.context().setFillColor(platform::Color::fromRGBA(0.9f, 0.2f, 0.1f));
    canvas.context().fillRect({ 0, 0, 20, 10 });
    auto png = canvas.image()->pngData();
    folder.write("bar.png", std::string(png.begin(), png.end()));
    start(treeScript(R"({style: ['VIRTUAL'], itemCount: 3, rowTemplate: [
            {type: 'text', bindingIndex: 0, left: 10, top: 0, height: 20, width: -5, right: [50, 0]},
            {type: 'text', bindingIndex: 1, left: [50, 0], top: 0, height: 44, right: [25, 8]},
            {type: 'text', bindingIndex: 2, left: 0, top: 0, height: 44, right: 8, selectable: true},
            {type: 'image', bindingIndex: 0, left: 0, top: 0, right: 0, bottom: 0, scaleMode: 'FIT'},
            {type: 'image', bindingIndex: 1, left: 0, top: 0, right: 0, bottom: 0},
            {type: 'text', left: [], right: 'x', top: [1], bindingIndex: -3, text: 'static'},
            {type: 'button'}]})",
        R"(client.create('r0', 'zub.widgets.GridItem', {parent: 'w3', index: 0, texts: ['a\nb', 'one', 'tap'],
               images: [['bar.png', 20, 10], ['bar.png', 20, 10]]});
           client.listen('w3', 'Selection', true);)"));
    auto table = rootLevel();
    auto cell = std::dynamic_pointer_cast<RowTemplateCell>(table->cellForRow(rowPath(0)));
    ASSERT_TRUE(cell);
    ASSERT_EQ(tree()->rowCellTemplate()->cells().size(), 6u) << "the unknown type is skipped";
    EXPECT_EQ(cell->reuseIdentifier(), tree()->rowCellTemplate()->reuseIdentifier());
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] {
        auto views = cell->viewsBoundTo(1);
        auto image = views.size() == 2 ? std::dynamic_pointer_cast<platform::ImageView>(views[1]->viewWithTag(20002)) : nullptr;
        return image && image->image();
    }, std::chrono::seconds(10)));
    harness.runUntilIdle();
    auto first = cell->viewsBoundTo(0);
    auto second = cell->viewsBoundTo(1);
    auto third = cell->viewsBoundTo(2);
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(second.size(), 2u);
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(first[0]->frame(), (platform::Rect { 10, 0, 150, 20 })) << "left 10, right at half the row, no width";
    EXPECT_EQ(second[0]->frame(), (platform::Rect { 160, 0, 232 - 160, 44 })) << "right at three quarters less 8";
    EXPECT_EQ(third[0]->frame(), (platform::Rect { 0, 0, 312, 44 })) << "right 8 is an inset";
    // One newline without "wrap": two lines, clipped.
    auto label = std::dynamic_pointer_cast<platform::Label>(first[0]->viewWithTag(TextCell::kTag));
    EXPECT_EQ(label->numberOfLines(), 2);
    EXPECT_EQ(label->lineBreakMode(), platform::LineBreakMode::Clip);
    // "FIT" fills the container; no mode takes the image's own size, centred.
    EXPECT_EQ(first[1]->viewWithTag(20002)->frame(), first[1]->bounds());
    EXPECT_EQ(second[1]->viewWithTag(20002)->frame(), (platform::Rect { 150, 17, 20, 10 }));

    // A selectable cell without a name reports the item and the detail only.
    messages();
    harness.touches().tapView(*third[0], { 100, 20 });
    harness.runUntilIdle();
    EXPECT_EQ(messages(), std::vector { message("send", { R"(["set","w3",{"selection":["r0"],"focusItem":"r0"}])",
                                                         R"(["notify","w3","Selection",{"item":"r0","detail":"cell"}])" }) });

    // A new template never reuses a row built for the old one.
    run("client.set('w3', {rowTemplate: [{type: 'text', bindingIndex: 0, left: 0, top: 0, right: 0, bottom: 0}]});");
    table->reloadData();
    auto rebuilt = std::dynamic_pointer_cast<RowTemplateCell>(table->cellForRow(rowPath(0)));
    ASSERT_TRUE(rebuilt);
    EXPECT_NE(rebuilt, cell);
    EXPECT_EQ(rebuilt->viewsBoundTo(1).size(), 0u);
}

TEST_F(TreeSessionTest, PicturesOfDefaultTemplateAndVirtualLevels)
{
    platform::ImageContext canvas({ 16, 16 }, platform::Opaque::No, 1);
    canvas.context().setFillColor(platform::Color::fromRGBA(0.1f, 0.5f, 0.9f));
    canvas.context().addEllipse({ 0, 0, 16, 16 });
    canvas.context().fillPath();
    auto png = canvas.image()->pngData();
    folder.write("dot.png", std::string(png.begin(), png.end()));
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w3', 'zub.widgets.Grid', {parent: 'w1', bounds: [0, 0, 320, 180], itemCount: 3, linesVisible: true,
            data: {altSelection: 'branch'}});
        client.create('a', 'zub.widgets.GridItem', {parent: 'w3', index: 0, texts: ['Leaf', 'with a detail'], images: [['dot.png', 16, 16]]});
        client.create('b', 'zub.widgets.GridItem', {parent: 'w3', index: 1, texts: ['Branch', 'detail button'], itemCount: 1,
            images: [['dot.png', 16, 16]]});
        client.create('b1', 'zub.widgets.GridItem', {parent: 'b', index: 0, texts: ['Child']});
        client.create('c', 'zub.widgets.GridItem', {parent: 'w3', index: 2, texts: ['Plain'], cellBackgrounds: [[255, 240, 200]]});
        client.create('w4', 'zub.widgets.Grid', {parent: 'w1', bounds: [0, 190, 320, 180], style: ['VIRTUAL'], itemCount: 8,
            linesVisible: true, rowTemplate: [{type: 'text', bindingIndex: 0, left: 12, top: 0, bottom: 0, right: 12,
            verticalAlignment: 'CENTER'}, {type: 'image', bindingIndex: 0, right: 12, top: 0, bottom: 0, width: 20}]});
        client.create('v0', 'zub.widgets.GridItem', {parent: 'w4', index: 0, texts: ['Filled 0'], images: [['dot.png', 16, 16]]});
        client.create('v2', 'zub.widgets.GridItem', {parent: 'w4', index: 2, texts: ['Filled 2'], background: [230, 240, 255]});)");
    harness.advance(0.5);
    // A row's image view shows a placeholder first, which lays nothing out; only the loaded
    // image places the image view. A row reloaded meanwhile (its items' changes arrive on later
    // turns) starts a load of its own, so the picture waits until the loop is idle with no load
    // left.
    auto settled = [&] {
        auto cell = rootLevel()->cellForRow(rowPath(0));
        return cell && cell->imageView()->image() && ImageViewMorvix::loadsInFlight() == 0;
    };
    do {
        ASSERT_TRUE(platform::MainLoop::main().runUntil(settled, std::chrono::seconds(10)));
        harness.runUntilIdle();
    } while (!settled());
    auto cell = rootLevel()->cellForRow(rowPath(0));
    EXPECT_EQ(cell->imageView()->frame().width(), 16);
    EXPECT_GT(cell->textLabel()->frame().x(), cell->imageView()->frame().maxX());
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 1, .backdrop = platform::Color::white() });
    ASSERT_TRUE(picture);
    auto dot = picture->pixelAt(static_cast<int>(cell->imageView()->frame().midX()), 22);
    EXPECT_GT(dot.blue, 200) << "the row's image is drawn";
    auto plain = picture->pixelAt(300, 2 * 44 + 40);
    EXPECT_EQ(plain.red, 255);
    EXPECT_EQ(plain.blue, 200) << "the third row's background";
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(picture->writePNG((directory / "trees.png").string()));
}

TEST_F(TreeSessionTest, DeclaredCountsAreClampedAndRowsNotYetMadeCostNothing)
{
    start(treeScript("{style: ['VIRTUAL'], itemCount: 20}", R"(
        client.create('r2', 'zub.widgets.GridItem', {parent: 'w3', index: 2, texts: ['Row 2']});)"));
    std::mutex mutex;
    std::vector<std::string> warnings;
    client->setLogObserver([&](const LogEntry& entry) {
        std::lock_guard lock(mutex);
        warnings.push_back(entry.message());
    }, MorvixClient::LogDelivery::AnyThread);
    auto logged = [&](const std::string& text) {
        std::lock_guard lock(mutex);
        return std::any_of(warnings.begin(), warnings.end(), [&](const auto& entry) { return entry.find(text) != std::string::npos; });
    };
    constexpr auto kLimit = platform::WireNumber::kMaximumItemCount;
    auto table = rootLevel();

    // A count far past the limit is clamped and logged; the new rows reach the table as one run,
    // and only the row the peer filled holds an item.
    run("client.set('w3', {itemCount: 2147483647});");
    EXPECT_TRUE(logged("declares 2147483647 rows"));
    EXPECT_EQ(table->numberOfRows(0), kLimit);
    EXPECT_EQ(tree()->root()->subItems().size(), static_cast<std::size_t>(kLimit));
    EXPECT_EQ(tree()->root()->subItems().itemCount(), 1u);
    EXPECT_EQ(table->appliedBatches().back().insertedRanges,
        (std::vector<platform::IndexRange> { { 0, 20, static_cast<int>(kLimit) - 20 } }));
    EXPECT_EQ(table->fallbackCount(), 0);
    table->scrollToRow(rowPath(static_cast<int>(kLimit) - 1), platform::TableViewScrollPosition::Bottom, platform::Animated::No);
    EXPECT_EQ(table->visibleCells().size(), 10u);
    EXPECT_EQ(titleOf(table, static_cast<int>(kLimit) - 1), "");

    // A child pushed in above the others changes every row below it: only the shown rows are
    // named in the batch.
    table->setContentOffset({ 0, 0 });
    auto before = table->appliedBatches().size();
    run("client.create('n2', 'zub.widgets.GridItem', {parent: 'w3', index: 2, texts: ['New 2']});");
    ASSERT_GT(table->appliedBatches().size(), before);
    for (auto batch = table->appliedBatches().begin() + static_cast<long>(before); batch != table->appliedBatches().end(); ++batch)
        EXPECT_LE(batch->reloads.size(), 11u);
    EXPECT_EQ(titleOf(table, 2), "New 2");
    EXPECT_EQ(titleOf(table, 3), "Row 2");
    EXPECT_EQ(tree()->root()->subItems().size(), static_cast<std::size_t>(kLimit));

    // Booleans are numbers: an item counting true children is a branch, an index of true is row 1.
    run("client.set('n2', {itemCount: true, texts: ['New 2!']});"
        "client.create('n1', 'zub.widgets.GridItem', {parent: 'w3', index: true, texts: ['One']});");
    EXPECT_EQ(item("n2")->declaredCount(), 1);
    EXPECT_EQ(std::dynamic_pointer_cast<GridTreeCell>(table->cellForRow(rowPath(2)))->accessoryType(),
        platform::TableViewCellAccessory::DisclosureIndicator);
    EXPECT_EQ(titleOf(table, 1), "One");

    // Cutting the count drops the rows past it as one run, items and all.
    run("client.set('w3', {itemCount: 3});");
    EXPECT_EQ(table->numberOfRows(0), 3);
    EXPECT_EQ(tree()->root()->subItems().itemCount(), 2u) << "n1 and n2 stay, r2 went with row 3";
    EXPECT_EQ(table->appliedBatches().back().deletedRanges,
        (std::vector<platform::IndexRange> { { 0, 3, static_cast<int>(kLimit) - 3 } }));
    EXPECT_EQ(table->fallbackCount(), 0);

    // Row heights: a boolean is the smallest height, a huge one is clamped and logged.
    run("client.set('w3', {itemHeight: true});");
    EXPECT_EQ(table->rowHeight(), Tree::kMinimumItemHeight);
    run("client.set('w3', {itemHeight: 1e300});");
    EXPECT_EQ(table->rowHeight(), Tree::kMaximumItemHeight);
    EXPECT_TRUE(logged("item height"));
}

} // namespace
} // namespace morvix
