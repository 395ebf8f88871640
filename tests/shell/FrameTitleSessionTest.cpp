// The page's title in the frame's navigation bar, as a person sees it: whole where it fits
// between the bar's items, shortened with "…" where it does not, and never cut through a letter.

#include "core/protocol/CommandOperator.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "shell/DisplayRootViewController.h"
#include "shell/MorvixUI.h"
#include "tests/shell/KeptPicture.h"
#include "tests/support/ScriptSessionFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace morvix {
namespace {

using platform::Rect;

// A frame with a drawer (so the page shows the menu button at the left) and an action in the
// navigation bar at the right, as the gallery has.
constexpr const char* kFrame = R"(
    client.create('w1', 'zub.widgets.Display', {});
    client.create('sh', 'zub.widgets.Shell', {parent: 'w1', bounds: [0, 0, 320, 568], visibility: true});
    client.create('c1', 'zub.widgets.Composite', {parent: 'sh', bounds: [0, 0, 320, 568]});
    client.create('c2', 'zub.widgets.Composite', {parent: 'sh', bounds: [0, 0, 320, 568]});
    client.create('ui', 'morvix.UI', {shell: 'sh'});
    client.create('p1', 'morvix.Page', {title: 'Widget foundation', topLevel: true, control: 'c1', parent: 'ui'});
    client.create('p2', 'morvix.Page', {title: 'Containers, menus, drawing and media', topLevel: true, control: 'c2', parent: 'ui'});
    client.create('a1', 'morvix.Action', {title: 'Add', placementPriority: 'HIGH', parent: 'ui'});
    client.create('d1', 'morvix.Drawer', {});
    client.set('ui', {activePage: 'p1'});
)";

// The columns and rows of the title's ink (the title is black; the bar's items are tinted).
struct Ink {
    int left = -1;
    int right = -1;
    int top = -1;
    int bottom = -1;
    bool empty() const { return left < 0; }
};

bool isTitleInk(platform::Pixel pixel)
{
    return pixel.alpha == 255 && pixel.red < 100 && pixel.green < 100 && pixel.blue < 100;
}

Ink inkIn(const platform::Image& picture, const Rect& area)
{
    double scale = picture.scale();
    Ink ink;
    for (int y = int(area.minY() * scale); y < int(area.maxY() * scale); ++y) {
        for (int x = std::max(0, int(area.minX() * scale)); x < std::min(picture.pixelWidth(), int(area.maxX() * scale)); ++x) {
            if (!isTitleInk(picture.pixelAt(x, y)))
                continue;
            ink.left = ink.left < 0 ? x : std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = ink.top < 0 ? y : ink.top;
            ink.bottom = y;
        }
    }
    return ink;
}

class FrameTitleSessionTest : public testing::ScriptSessionFixture {
protected:
    void SetUp() override
    {
        ScriptSessionFixture::SetUp();
        writeApplication(kFrame);
        ASSERT_NO_FATAL_FAILURE(createClient(MorvixClient::ApplicationFrame::On));
        loadSession();
        harness.advance(1);
        harness.runUntilIdle();
        auto root = MorvixUI::rootControllerFor(client);
        ASSERT_TRUE(root);
        bar = root->navigationBar();
        ASSERT_TRUE(bar);
    }
    void showPage(const std::string& id)
    {
        run("client.set('ui', {activePage: '" + id + "'});");
        harness.advance(1);
        harness.runUntilIdle();
    }
    std::shared_ptr<platform::Image> picture()
    {
        harness.window()->layoutIfNeeded();
        return platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
    }
    Rect barInWindow() const { return bar->convertRectTo(bar->bounds(), harness.window().get()); }
    // The room between the bar's left and right items, in window points.
    std::pair<double, double> roomBetweenItems() const
    {
        auto top = bar->topItem();
        double left = 0;
        double right = bar->bounds().width();
        for (const auto& item : top->leftBarButtonItems())
            left = std::max(left, item->view()->frame().maxX());
        for (const auto& item : top->rightBarButtonItems())
            right = std::min(right, item->view()->frame().minX());
        double origin = barInWindow().minX();
        return { origin + left, origin + right };
    }

    std::shared_ptr<platform::NavigationBar> bar;
};

TEST_F(FrameTitleSessionTest, ATitleShowsWholeWhereItFitsAndEndsInAnEllipsisWhereItDoesNot)
{
    auto top = bar->topItem();
    ASSERT_TRUE(top && top->leftBarButtonItem() && top->rightBarButtonItem()) << "the menu button and the action";
    EXPECT_EQ(top->title(), "Widget foundation");

    // A title that fits between the items shows whole: its ink is as wide as the title.
    auto shown = picture();
    testing::keepPicture(*shown, "frame-title-fits");
    Rect band = barInWindow();
    auto [roomLeft, roomRight] = roomBetweenItems();
    Ink ink = inkIn(*shown, band);
    ASSERT_FALSE(ink.empty());
    double whole = platform::TextLayout(platform::AttributedString(top->title(), { .font = platform::NavigationBar::titleFont() }), {})
                       .size()
                       .width;
    EXPECT_GT((ink.right - ink.left + 1) / 2.0, whole - 3) << "the whole title";
    EXPECT_GE(ink.left / 2.0, roomLeft);
    EXPECT_LE((ink.right + 1) / 2.0, roomRight);
    EXPECT_NEAR((ink.left + ink.right + 1) / 4.0, band.midX(), 2) << "centred on the bar";

    // One too long for the room keeps within it and ends in "…": the ink of its last columns is
    // dots on the baseline, not the stem of a letter cut through.
    auto checkShortened = [&](const char* what, const char* name) {
        SCOPED_TRACE(what);
        auto shortened = picture();
        testing::keepPicture(*shortened, std::string("frame-title-") + name);
        auto [left, right] = roomBetweenItems();
        Ink title = inkIn(*shortened, band);
        ASSERT_FALSE(title.empty());
        EXPECT_GE(title.left / 2.0, left);
        EXPECT_LT((title.right + 1) / 2.0, right);
        Rect frame = bar->titleFrame();
        EXPECT_GT(frame.width(), 0);
        EXPECT_LE((title.right + 1) / 2.0, band.minX() + frame.maxX());
        Ink end = inkIn(*shortened, { title.right / 2.0 - 2, band.minY(), 2.5, band.height() });
        ASSERT_FALSE(end.empty());
        double height = title.bottom - title.top + 1;
        EXPECT_GT(end.top - title.top, height / 2) << "only dots at the end, low on the line";
    };
    showPage("p2");
    ASSERT_EQ(bar->topItem()->title(), "Containers, menus, drawing and media");
    checkShortened("a page with a long title", "long");

    // A title the peer changes shows as it is now, laid out or not.
    showPage("p1");
    client->commandOperator()->processOperation(platform::Value::parse(
        R"(["set","p1",{"title":"A title the peer made far too long for any bar"}])"));
    ASSERT_EQ(bar->topItem()->title(), "A title the peer made far too long for any bar");
    checkShortened("a title set later", "later");
}

} // namespace
} // namespace morvix
