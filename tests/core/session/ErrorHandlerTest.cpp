// The built-in error presenter on its own: showing, replacing and closing its alert.

#include "core/session/ErrorHandler.h"
#include "core/session/MorvixClient.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

class ErrorHandlerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::MainLoop::main().resetForTesting();
        platform::NotificationCenter::resetDefaultForTesting();
        platform::Application::shared().resetForTesting();
    }
    void TearDown() override { platform::Application::shared().resetForTesting(); }

    std::shared_ptr<ErrorHandler> handler = ErrorHandler::create();
    platform::Error error { "com.zerivoquastel.morvix", 417, "Unauthorized Access", "You are not allowed to connect to the server." };
};

TEST_F(ErrorHandlerTest, AlertShowsTitleReasonAndBothChoicesOnALaterTurn)
{
    handler->errorOccured(error, nullptr);
    auto alert = handler->errorDialog();
    ASSERT_TRUE(alert);
    EXPECT_FALSE(alert->isVisible());
    platform::MainLoop::main().runOnce();
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->title(), "Unauthorized Access");
    EXPECT_EQ(alert->message(), "You are not allowed to connect to the server.");
    EXPECT_EQ(alert->buttonTitle(0), "Restart");
    EXPECT_EQ(alert->buttonTitle(1), "Retry");
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
}

TEST_F(ErrorHandlerTest, AlertClosedBeforeItsTurnNeverAppears)
{
    handler->errorOccured(error, nullptr);
    auto alert = handler->errorDialog();
    handler->close();
    platform::MainLoop::main().runUntilIdle();
    EXPECT_FALSE(alert->isVisible());
    EXPECT_FALSE(handler->errorDialog());
}

TEST_F(ErrorHandlerTest, SecondErrorClosesTheFirstAlert)
{
    handler->errorOccured(error, nullptr);
    platform::MainLoop::main().runUntilIdle();
    auto first = handler->errorDialog();
    handler->errorOccured(platform::Error("vek", 500, "Invalid State", "A request with this RequestCounter was already sent."), nullptr);
    platform::MainLoop::main().runUntilIdle();
    EXPECT_FALSE(first->isVisible());
    ASSERT_TRUE(handler->errorDialog());
    EXPECT_TRUE(handler->errorDialog()->isVisible());
    EXPECT_EQ(handler->errorDialog()->title(), "Invalid State");
    // The first alert no longer answers.
    EXPECT_FALSE(first->press("Retry"));
}

TEST_F(ErrorHandlerTest, GoingToTheBackgroundClosesTheAlert)
{
    handler->errorOccured(error, nullptr);
    platform::MainLoop::main().runUntilIdle();
    auto alert = handler->errorDialog();
    platform::NotificationCenter::defaultCenter()->post(MorvixClient::kDidEnterBackgroundNotification);
    EXPECT_FALSE(alert->isVisible());
    EXPECT_FALSE(handler->errorDialog());
}

TEST_F(ErrorHandlerTest, DestroyingTheHandlerTakesTheAlertAway)
{
    handler->errorOccured(error, nullptr);
    platform::MainLoop::main().runUntilIdle();
    auto alert = handler->errorDialog();
    handler.reset();
    EXPECT_FALSE(alert->isVisible());
}

TEST_F(ErrorHandlerTest, PressingAButtonWithTheSessionGoneOnlyCloses)
{
    handler->errorOccured(error, nullptr);
    platform::MainLoop::main().runUntilIdle();
    auto alert = handler->errorDialog();
    EXPECT_TRUE(alert->press("Retry"));
    EXPECT_FALSE(alert->isVisible());
    EXPECT_FALSE(handler->errorDialog());
}

} // namespace
} // namespace morvix
