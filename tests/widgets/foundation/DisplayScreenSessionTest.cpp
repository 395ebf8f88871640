// Where top-level widgets go while the peer drives the application frame: over the page stack
// and its bars, not inside the page under them.

#include "widgets/foundation/Display.h"

#include "core/session/ApplicationFrame.h"
#include "platform/ui/ViewController.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/foundation/ShadeView.h"
#include "widgets/foundation/Shell.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

class DisplayScreenSessionTest : public testing::ScriptSessionFixture { };

TEST_F(DisplayScreenSessionTest, ModalShellCoversThePageStackWithItsBars)
{
    startWithDisplay(R"(
        client.create('d1', 'zub.widgets.Shell', {parent: 'w1', style: ['APPLICATION_MODAL'], bounds: [20, 30, 200, 100],
            visibility: true});)",
        MorvixClient::ApplicationFrame::On);
    ASSERT_TRUE(client->morvixUIActive()) << "the script peer drives the frame";
    auto display = std::dynamic_pointer_cast<Display>(object("w1"));
    auto shell = std::dynamic_pointer_cast<Shell>(object("d1"));
    ASSERT_TRUE(display && shell);
    auto root = client->applicationFrameController()->rootController();
    auto screen = root->view()->superview();
    ASSERT_TRUE(screen);
    EXPECT_EQ(display->screen(), screen);
    EXPECT_NE(display->view(), screen) << "the display still measures the page";
    EXPECT_EQ(shell->view()->superview(), screen);
    ASSERT_TRUE(shell->shade());
    EXPECT_EQ(shell->shade()->superview(), screen);
    EXPECT_EQ(shell->shade()->frame().size, screen->bounds().size) << "the shade covers the bars too";
    // The shell's bounds stay in the page's coordinates.
    auto offset = display->displayOffset();
    EXPECT_EQ(shell->view()->frame().origin, platform::Point(20 + offset.x, 30 + offset.y));

    // Without the frame active, top-level widgets sit on the display's own view.
    client->setMorvixUIActive(false);
    EXPECT_EQ(display->screen(), display->view());
}

} // namespace
} // namespace morvix
