// Menus in a real session: the sheet they open, what a pick reports, cascades, an open menu
// that the peer changes, pads, and the context menu of a long press.

#include "widgets/containers/Menu.h"

#include "platform/graphics/Image.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/widgets/containers/ScrollMenuSessionFixture.h"
#include "widgets/foundation/Display.h"

#include <cstdlib>
#include <filesystem>

namespace morvix {
namespace {

using platform::Rect;
using Titles = std::vector<std::string>;

constexpr const char* kMenus = R"([["create","w1","zub.widgets.Display",{}],
    ["create","w2","zub.widgets.Composite",{"parent":"w1","bounds":[0,0,320,568],"menu":"m1"}],
    ["create","m1","zub.widgets.Menu",{"parent":"w1"}],
    ["create","i2","zub.widgets.MenuItem",{"parent":"m1","style":["PUSH"],"text":"Two","index":2}],
    ["create","i0","zub.widgets.MenuItem",{"parent":"m1","style":["PUSH"],"text":"&Open","index":0}],
    ["create","i1","zub.widgets.MenuItem",{"parent":"m1","style":["CASCADE"],"text":"More","index":1,"menu":"m2"}],
    ["create","ih","zub.widgets.MenuItem",{"parent":"m1","style":["PUSH"],"text":"Hidden","visible":false}],
    ["create","id","zub.widgets.MenuItem",{"parent":"m1","style":["PUSH"],"text":"Disabled","enabled":false}],
    ["create","is","zub.widgets.MenuItem",{"parent":"m1","style":["SEPARATOR"],"text":"Line"}],
    ["create","m2","zub.widgets.Menu",{"parent":"w1"}],
    ["create","j1","zub.widgets.MenuItem",{"parent":"m2","style":["PUSH"],"text":"Deep"}],
    ["listen","m1",{"Show":true,"Hide":true}],["listen","m2",{"Show":true}],
    ["listen","i2",{"Selection":true}],["listen","i1",{"Selection":true}]])";

class MenuSessionTest : public testing::ScrollMenuSessionFixture {
protected:
    std::shared_ptr<platform::ActionSheet> sheet(const std::string& menu)
    {
        auto object = this->object<Menu>(menu);
        return object ? object->actionSheet() : nullptr;
    }
    // Answers the next POST with `operations` and gives what that caused.
    std::string effects(const std::string& operations)
    {
        std::size_t before = posts().size();
        deliver(operations);
        return operationsSince(before + 1);
    }
    // Presses a button of the topmost sheet and gives what was sent.
    std::string press(const std::string& title)
    {
        std::size_t before = posts().size();
        EXPECT_TRUE(harness.pressAlertButton(title));
        EXPECT_TRUE(settle(before));
        harness.advance(0.3);
        EXPECT_TRUE(settle(before));
        return operationsSince(before);
    }
};

TEST_F(MenuSessionTest, OpensAtTheLastTouchWithItsEntriesAndReportsPicksBeforeItCloses)
{
    start(kMenus);
    harness.touches().tap({ 40, 300 });
    EXPECT_EQ(effects(R"([["call","m1","showMenu",{"x":0,"y":0}]])"), R"([["notify","m1","Show",{}]])");
    auto first = sheet("m1");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible()) << "shown once the message was processed";
    EXPECT_EQ(first->shownInView(), object<Display>("w1")->view());
    EXPECT_EQ(first->shownFromRect(), Rect(40, 300, 1, 1));
    EXPECT_EQ(first->buttonTitles(), (Titles { "Open", "More", "Two", "Cancel" }));
    EXPECT_EQ(first->cancelButtonIndex(), 3);
    EXPECT_EQ(first->style(), platform::ActionSheetStyle::BlackTranslucent);
    EXPECT_TRUE(first->wasShownAnimated());
    EXPECT_EQ(object<Menu>("m1")->getWithMethod("style"), std::nullopt) << "a menu keeps no style";
    // A picture of the open sheet for a person, in the look folder.
    auto folder = std::filesystem::path(std::getenv("MORVIX_RENDER_DIR") ? std::getenv("MORVIX_RENDER_DIR")
                                                                         : (std::filesystem::path(::testing::TempDir()) / "morvix-look").string());
    std::filesystem::create_directories(folder);
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->writePNG((folder / "menu-sheet.png").string()));

    EXPECT_EQ(press("Cancel"), R"([["notify","m1","Hide",{}]])");

    // The next sheet is not animated; a pick reports the item, then the menu's closing.
    effects(R"([["call","m1","showMenu",{"x":40,"y":300}]])");
    ASSERT_NE(sheet("m1"), first);
    EXPECT_FALSE(sheet("m1")->wasShownAnimated());
    std::size_t before = posts().size();
    ASSERT_TRUE(harness.pressAlertButton("Two"));
    harness.advance(0.3);
    ASSERT_TRUE(settle(before + 2));
    EXPECT_EQ(operationsSince(before), R"([["notify","i2","Selection",{}],["notify","m1","Hide",{}]])");

    // A cascade: its Selection, the sub-menu's Show and its sheet at the same place, then Hide.
    effects(R"([["call","m1","showMenu",{"x":40,"y":300}]])");
    before = posts().size();
    ASSERT_TRUE(harness.pressAlertButton("More"));
    harness.advance(0.3);
    ASSERT_TRUE(settle(before + 2));
    EXPECT_EQ(operationsSince(before),
        R"([["notify","i1","Selection",{}],["notify","m2","Show",{}],["notify","m1","Hide",{}]])");
    ASSERT_NE(sheet("m2"), nullptr);
    EXPECT_TRUE(sheet("m2")->isVisible());
    EXPECT_EQ(sheet("m2")->shownFromRect(), Rect(40, 300, 1, 1));
    EXPECT_EQ(sheet("m2")->buttonTitles(), (Titles { "Deep", "Cancel" }));
    EXPECT_EQ(press("Cancel"), "[]");
}

TEST_F(MenuSessionTest, AnOpenMenuFollowsItsItemsAndAClosedOneStaysClosed)
{
    start(kMenus);
    effects(R"([["call","m1","showMenu",{"x":10,"y":20}]])");
    auto first = sheet("m1");
    ASSERT_TRUE(first && first->isVisible());

    // An item added while it is open: closed without animation, reopened with it.
    EXPECT_EQ(effects(R"([["create","i4","zub.widgets.MenuItem",{"parent":"m1","style":["PUSH"],"text":"Four","index":4}]])"),
        R"([["notify","m1","Hide",{}]])");
    EXPECT_FALSE(first->isVisible());
    EXPECT_FALSE(first->wasDismissedAnimated());
    auto second = sheet("m1");
    ASSERT_NE(second, first);
    EXPECT_TRUE(second->isVisible());
    EXPECT_FALSE(second->wasShownAnimated());
    EXPECT_EQ(second->buttonTitles(), (Titles { "Open", "More", "Two", "Four", "Cancel" }));
    EXPECT_EQ(second->shownFromRect(), Rect(10, 20, 1, 1));

    // A change of a shown entry refreshes it too.
    effects(R"([["set","i2",{"text":"Second"}]])");
    EXPECT_EQ(sheet("m1")->buttonTitles(), (Titles { "Open", "More", "Second", "Four", "Cancel" }));

    // Closed by the user, it stays closed when an item changes.
    press("Cancel");
    auto closed = sheet("m1");
    EXPECT_EQ(effects(R"([["set","i2",{"text":"Later"}],["set","i0",{"visible":false}]])"), "[]");
    EXPECT_EQ(sheet("m1"), closed);
    EXPECT_FALSE(closed->isVisible());
    EXPECT_TRUE(platform::Application::shared().alerts().empty());

    // Destroying an open menu closes its sheet, animated.
    effects(R"([["call","m1","showMenu",{"x":10,"y":20}]])");
    auto open = sheet("m1");
    ASSERT_TRUE(open->isVisible());
    EXPECT_EQ(effects(R"([["destroy","m1"]])"), R"([["notify","m1","Hide",{}]])");
    EXPECT_FALSE(open->isVisible());
    EXPECT_TRUE(open->wasDismissedAnimated());
}

TEST_F(MenuSessionTest, PadsHaveNoCancelAndALongPressOpensTheContextMenu)
{
    auto device = platform::DeviceInfo::current();
    device.setIdiom(platform::DeviceIdiom::Pad);
    platform::DeviceInfo::setCurrent(device);
    start(kMenus);
    effects(R"([["call","m1","showMenu",{"x":5,"y":6}]])");
    EXPECT_EQ(sheet("m1")->buttonTitles(), (Titles { "Open", "More", "Two" }));
    EXPECT_EQ(sheet("m1")->cancelButtonIndex(), -1);
    press("Open");

    // A menu without entries shows nothing, but has said "Show".
    EXPECT_EQ(effects(R"([["create","m3","zub.widgets.Menu",{"parent":"w1"}],["listen","m3",{"Show":true}],
        ["call","m3","showMenu",{"x":5,"y":6}]])"),
        R"([["notify","m3","Show",{}]])");
    EXPECT_TRUE(platform::Application::shared().alerts().empty());

    // The composite's "menu" opens on a long press, at the press point.
    std::size_t before = posts().size();
    harness.touches().longPress({ 100, 200 }, 1.0);
    ASSERT_TRUE(settle(before + 1));
    ASSERT_TRUE(sheet("m1")->isVisible());
    EXPECT_EQ(sheet("m1")->shownFromRect(), Rect(100, 200, 1, 1));
    EXPECT_EQ(sheet("m1")->shownInView(), object<Display>("w1")->view());
}

} // namespace
} // namespace morvix
