// Lists in a real session against a scripted server on loopback: what taps, accessory taps and
// long presses send (each POST's operations exactly), the properties the peer sets and reads,
// the scroll lock and the context menu.

#include "widgets/lists/List.h"

#include "core/protocol/CommandOperator.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/tables/TableView.h"
#include "tests/widgets/containers/ScrollMenuSessionFixture.h"
#include "widgets/containers/Menu.h"
#include "widgets/lists/ListController.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace morvix {
namespace {

using platform::Point;
using platform::rowPath;

// A list w4 of 30 items with detail buttons, 440 points high, and a menu m1 with one entry.
std::string listSession(const std::string& extra = "")
{
    std::string items;
    for (int row = 0; row < 30; ++row)
        items += (row ? ",\"Item " : "\"Item ") + std::to_string(row) + "\"";
    return R"([["create","w1","zub.widgets.Display",{}],
        ["create","w2","zub.widgets.Composite",{"parent":"w1","bounds":[0,0,320,568]}],
        ["create","w4","zub.widgets.List",{"parent":"w2","bounds":[0,0,320,440],"data":{"altSelection":"all"},"items":[)"
        + items + R"(]}],
        ["create","m1","zub.widgets.Menu",{"parent":"w1"}],
        ["create","i0","zub.widgets.MenuItem",{"parent":"m1","style":["PUSH"],"text":"Open"}])"
        + extra + "]";
}

class ListSessionTest : public testing::ScrollMenuSessionFixture {
protected:
    std::shared_ptr<List> list() { return object<List>("w4"); }
    std::shared_ptr<platform::TableView> table() { return list()->listController()->tableView(); }
    // The window point of the middle of a row (left part, away from the detail button).
    Point rowPoint(int row)
    {
        auto table = this->table();
        return harness.touches().windowPoint(*table, { 100, table->rectForRow(rowPath(row)).midY() });
    }
    static std::string cursor(Point point)
    {
        return R"(["set","w1",{"cursorLocation":[)" + std::to_string(std::lround(point.x)) + ","
            + std::to_string(std::lround(point.y)) + "]}]";
    }
    std::optional<platform::Value> get(const std::string& property)
    {
        return client->commandOperator()->processOperation(platform::Value::array({ "get", "w4", property }));
    }
    // Taps the row and waits for the POST it causes; gives its operations.
    std::string tapSending(int row)
    {
        std::size_t before = posts().size();
        harness.touches().tap(rowPoint(row));
        EXPECT_TRUE(settle(before + 1));
        return operationsSince(before);
    }
};

TEST_F(ListSessionTest, TapsSendSelectionOrDefaultSelectionOrScheduleAndTheAccessoryNeedsSelection)
{
    start(listSession());
    ASSERT_EQ(table()->numberOfRows(0), 30);
    EXPECT_EQ(table()->cellForRow(rowPath(2))->textLabel()->text(), "Item 2");
    EXPECT_EQ(table()->cellForRow(rowPath(2))->accessoryType(), platform::TableViewCellAccessory::DetailDisclosureButton);
    const std::string set = R"(["set","w4",{"focusIndex":2,"topIndex":2,"selection":[2]}])";

    deliver(R"([["listen","w4",{"DefaultSelection":true}]])");
    EXPECT_EQ(tapSending(2), "[" + cursor(rowPoint(2)) + "," + set + R"(,["notify","w4","DefaultSelection",{}]])");
    deliver(R"([["listen","w4",{"Selection":true}]])");
    EXPECT_EQ(tapSending(2), "[" + cursor(rowPoint(2)) + "," + set + R"(,["notify","w4","Selection",{}]])");

    // Neither listened: the changes ride 0.3 s later, not before.
    deliver(R"([["listen","w4",{"Selection":false,"DefaultSelection":false}]])");
    std::size_t before = posts().size();
    harness.touches().tap(rowPoint(2));
    harness.advance(0.299);
    harness.runUntilIdle();
    EXPECT_FALSE(binding->isProcessing());
    EXPECT_EQ(posts().size(), before);
    harness.advance(0.001);
    ASSERT_TRUE(settle(before + 1));
    EXPECT_EQ(operationsSince(before), "[" + cursor(rowPoint(2)) + "," + set + "]");

    // The detail button without "Selection" selects the row on screen and sends nothing.
    auto button = table()->cellForRow(rowPath(5))->accessoryButton();
    ASSERT_TRUE(button);
    before = posts().size();
    harness.touches().tapView(*button, { 5, 5 });
    harness.advance(1);
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), before);
    EXPECT_EQ(table()->indexPathForSelectedRow(), rowPath(5));
    // With it: the changes and "Selection" {"altKey": true}, with the stored cursor.
    deliver(R"([["listen","w4",{"Selection":true}]])");
    before = posts().size();
    harness.touches().tapView(*table()->cellForRow(rowPath(6))->accessoryButton(), { 5, 5 });
    ASSERT_TRUE(settle(before + 1));
    auto sent = platform::Value::parse(operationsSince(before));
    ASSERT_EQ(sent.size(), 3u) << sent.dump();
    EXPECT_EQ(sent[1].dump(), R"(["set","w4",{"focusIndex":6,"topIndex":6,"selection":[6]}])");
    EXPECT_EQ(sent[2].dump(), R"(["notify","w4","Selection",{"altKey":true}])");
    EXPECT_EQ(table()->indexPathForSelectedRow(), rowPath(6));
}

TEST_F(ListSessionTest, PropertiesSelectScrollSizeAndTitleTheTableAndAVerticalBarUnlocksScrolling)
{
    start(listSession());
    auto table = this->table();

    deliver(R"([["set","w4",{"selectionIndices":[3,5],"itemHeight":30}]])");
    EXPECT_EQ(table->indexPathForSelectedRow(), rowPath(3)) << "only the first number counts";
    EXPECT_EQ(table->rowHeight(), 44) << "never below 44";
    deliver(R"([["set","w4",{"selectionIndices":[-1]}],["set","w4",{"selectionIndices":[99]}]])");
    EXPECT_EQ(table->indexPathForSelectedRow(), rowPath(3)) << "rows that do not exist select nothing";
    EXPECT_EQ(get("selectionIndices"), platform::Value::parse("[3]"));
    deliver(R"([["set","w4",{"selectionIndices":[],"itemHeight":50}]])");
    EXPECT_EQ(get("selectionIndices"), platform::Value::array());
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_EQ(table->rowHeight(), 50);
    deliver(R"([["set","w4",{"itemHeight":1e300}]])");
    EXPECT_EQ(table->rowHeight(), List::kMaximumItemHeight) << "a few screens at most";
    deliver(R"([["set","w4",{"itemHeight":true}]])");
    EXPECT_EQ(table->rowHeight(), 44) << "a boolean is a number";

    // The bar shows for every title but the empty string.
    auto navigation = list()->navigationController();
    EXPECT_TRUE(navigation->isNavigationBarHidden());
    deliver(R"([["set","w4",{"toolTip":"Words"}]])");
    EXPECT_FALSE(navigation->isNavigationBarHidden());
    EXPECT_EQ(list()->listController()->title(), "Words");
    deliver(R"([["set","w4",{"toolTip":""}]])");
    EXPECT_TRUE(navigation->isNavigationBarHidden());
    deliver(R"([["set","w4",{"toolTip":null}]])");
    EXPECT_FALSE(navigation->isNavigationBarHidden());
    deliver(R"([["set","w4",{"toolTip":""}]])");

    // Locked until a vertical bar comes; a horizontal one changes nothing.
    EXPECT_FALSE(table->isScrollEnabled());
    EXPECT_FALSE(table->showsVerticalScrollIndicator());
    EXPECT_FALSE(table->bounces());
    harness.touches().drag({ 160, 400 }, { 160, 100 }, 0.3, 10);
    harness.advance(1);
    EXPECT_EQ(table->contentOffset().y, 0);
    deliver(R"([["create","b1","zub.widgets.ScrollBar",{"parent":"w4","style":["HORIZONTAL"]}]])");
    EXPECT_FALSE(table->isScrollEnabled());
    deliver(R"([["create","b2","zub.widgets.ScrollBar",{"parent":"w4","style":["VERTICAL"]}]])");
    EXPECT_TRUE(table->isScrollEnabled());
    EXPECT_TRUE(table->showsVerticalScrollIndicator());
    EXPECT_TRUE(table->alwaysBounceVertical());
    harness.touches().drag({ 160, 400 }, { 160, 100 }, 0.3, 10);
    harness.advance(2);
    EXPECT_GT(table->contentOffset().y, 0);

    // "topIndex" puts the row at the top, and both indices read the first visible row.
    deliver(R"([["set","w4",{"topIndex":12}],["set","w4",{"topIndex":-3}],["set","w4",{"focusIndex":40}]])");
    harness.advance(1);
    harness.runUntilIdle();
    EXPECT_EQ(table->contentOffset().y, 12 * 44);
    EXPECT_EQ(get("topIndex"), platform::Value(12));
    EXPECT_EQ(get("focusIndex"), platform::Value(12));

    // ScrollUp goes back to the first row.
    platform::NotificationCenter::defaultCenter()->post(Notifications::kScrollUp);
    harness.advance(1);
    harness.runUntilIdle();
    EXPECT_EQ(table->contentOffset().y, 0);

    // Rows that are not strings show empty; the enabled flag only switches selection.
    deliver(R"([["set","w4",{"items":["a",5,null,"d"],"enabled":false}]])");
    ASSERT_EQ(table->numberOfRows(0), 4);
    EXPECT_EQ(table->cellForRow(rowPath(1))->textLabel()->text(), "");
    EXPECT_EQ(table->cellForRow(rowPath(3))->textLabel()->text(), "d");
    EXPECT_FALSE(table->allowsSelection());
    EXPECT_TRUE(list()->view()->isUserInteractionEnabled());
}

TEST_F(ListSessionTest, LongPressSchedulesTheRowOpensTheMenuAndNamesTheRowUnderTheFingerAfterReuse)
{
    start(listSession(R"(,["create","b2","zub.widgets.ScrollBar",{"parent":"w4","style":["VERTICAL"]}],
        ["set","w4",{"menu":"m1"}],["listen","w4",{"MenuDetect":true}])"));
    auto pressed = rowPoint(4);
    std::size_t before = posts().size();
    harness.touches().longPress(pressed, 1.0);
    harness.advance(0.3);
    ASSERT_TRUE(settle(before + 1));
    harness.runUntilIdle();
    auto sheet = object<Menu>("m1")->actionSheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->shownFromRect(), platform::Rect(pressed.x, pressed.y, 1, 1));
    auto sent = operationsSince(before);
    EXPECT_NE(sent.find(R"(["set","w4",{"focusIndex":4,"topIndex":4,"selection":[4]}])"), std::string::npos) << sent;
    EXPECT_NE(sent.find(R"(["notify","w4","MenuDetect",{"x":)" + std::to_string(std::lround(pressed.x))), std::string::npos) << sent;
    harness.pressAlertButton("Cancel");
    harness.advance(1);
    harness.runUntilIdle();

    // Ten rows further down the cells made for the first rows show others; the press names the
    // row it lands on.
    deliver(R"([["set","w4",{"topIndex":10}]])");
    harness.advance(1);
    harness.runUntilIdle();
    ASSERT_EQ(table()->contentOffset().y, 440);
    before = posts().size();
    harness.touches().longPress(rowPoint(11), 1.0);
    harness.advance(0.3);
    ASSERT_TRUE(settle(before + 1));
    sent = operationsSince(before);
    EXPECT_NE(sent.find(R"(["set","w4",{"focusIndex":11,"topIndex":11,"selection":[11]}])"), std::string::npos) << sent;
    EXPECT_EQ(sent.find(R"("focusIndex":1,)"), std::string::npos) << sent;
}

TEST_F(ListSessionTest, PictureOfAListWithATitleBarAndDetailButtons)
{
    start(listSession(R"(,["set","w4",{"toolTip":"Fruit","background":[250,250,255],"foreground":[20,60,160]}])"));
    harness.runUntilIdle();
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 1, .backdrop = platform::Color::white() });
    ASSERT_TRUE(picture);
    EXPECT_EQ(table()->cellForRow(rowPath(0))->textLabel()->textColor(), platform::Color::fromRGBA(20 / 255.f, 60 / 255.f, 160 / 255.f));
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(picture->writePNG((directory / "list.png").string()));
}

} // namespace
} // namespace morvix
