// A script session with the application frame on: the display shows in the root controller's
// placeholder page, which also keeps the focused text field.

#include "shell/ApplicationFrameRoot.h"
#include "shell/DisplayRootViewController.h"
#include "shell/PageViewController.h"
#include "shell/drawer/DWDrawerController.h"

#include "platform/ui/Window.h"
#include "platform/ui/controls/TextField.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/foundation/Display.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace morvix {
namespace {

class FrameSessionTest : public testing::ScriptSessionFixture { };

TEST_F(FrameSessionTest, TheDisplayShowsInThePlaceholderPageAndTheRootControllerKeepsTheFocus)
{
    startWithDisplay("", MorvixClient::ApplicationFrame::On);
    ASSERT_NE(client, nullptr);

    auto frame = std::dynamic_pointer_cast<ApplicationFrameRoot>(client->applicationFrameController());
    ASSERT_TRUE(frame);
    auto root = frame->displayRootViewController();
    EXPECT_EQ(harness.window()->rootViewController(), frame->drawerController());
    EXPECT_EQ(frame->drawerController()->centerViewController(), root);
    EXPECT_EQ(client->view(), root->view());
    auto display = std::dynamic_pointer_cast<Display>(object("w1"));
    ASSERT_TRUE(display);
    EXPECT_EQ(display->view(), frame->placeholder()->view());

    client->setMorvixUIActive(true);
    EXPECT_TRUE(root->morvixUIActive());

    // The display hands the focused field to the root controller, and its dismissal to it.
    auto field = platform::TextField::create({ 10, 10, 100, 30 });
    display->view()->addSubview(field);
    display->setActiveTextField(field);
    EXPECT_EQ(root->activeTextField(), field);
    ASSERT_TRUE(field->becomeFirstResponder());
    harness.runUntilIdle();
    sent();
    display->dismissFocus();
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(root->activeTextField());
    EXPECT_FALSE(display->activeTextField());
    harness.advance(0.3);
    harness.runUntilIdle();
    auto operations = sent();
    auto report = platform::Value::parse(R"(["set","w1",{"focusControl":"w1","activeControl":"w1"}])");
    EXPECT_NE(std::find(operations.begin(), operations.end(), report), operations.end());

    // A new load keeps the frame and returns it to the placeholder.
    root->pushViewController(PageViewController::create(), platform::Animated::No);
    client->load();
    harness.runUntilIdle();
    EXPECT_EQ(client->applicationFrameController(), frame);
    EXPECT_EQ(root->topViewController(), frame->placeholder());
}

} // namespace
} // namespace morvix
