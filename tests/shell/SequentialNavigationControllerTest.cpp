// Stack changes one at a time, on the manual clock.

#include "shell/SequentialNavigationController.h"

#include "core/session/ApplicationFrameClient.h"
#include "core/session/ClientProvider.h"
#include "platform/ui/Application.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

using platform::Animated;
using platform::ViewController;

// A session whose root controller is the controller under test.
class FakeSession final : public ApplicationFrameClient {
public:
    std::shared_ptr<platform::ViewController> rootController() const override { return root.lock(); }
    std::shared_ptr<RemoteObject> rootObject() const override { return nullptr; }
    bool statusBarHidden() const override { return false; }
    std::weak_ptr<platform::ViewController> root;
};

class FakeApplication final : public platform::ApplicationDelegate, public ClientProvider {
public:
    std::shared_ptr<ApplicationFrameClient> client() const override { return session; }
    std::shared_ptr<FakeSession> session = std::make_shared<FakeSession>();
};

// Pushes that never finish: no change starts, so no did-show comes.
class StuckNavigationController final : public SequentialNavigationController {
public:
    static std::shared_ptr<StuckNavigationController> create(const std::shared_ptr<ViewController>& root)
    {
        std::shared_ptr<StuckNavigationController> controller(new StuckNavigationController);
        controller->setUp(root);
        return controller;
    }
    int pushes = 0;

protected:
    void forwardPush(const std::shared_ptr<ViewController>&, Animated) override { ++pushes; }
};

class SequentialNavigationControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Application::shared().setDelegate(application);
    }
    void show(const std::shared_ptr<SequentialNavigationController>& controller)
    {
        application->session->root = controller;
        harness.window()->setRootViewController(controller);
        harness.runUntilIdle();
    }
    bool touchesOn(const std::shared_ptr<SequentialNavigationController>& controller) { return controller->view()->isUserInteractionEnabled(); }

    platform::UITestHarness harness;
    std::shared_ptr<FakeApplication> application = std::make_shared<FakeApplication>();
    std::shared_ptr<ViewController> root = ViewController::create();
    std::shared_ptr<ViewController> first = ViewController::create();
    std::shared_ptr<ViewController> second = ViewController::create();
};

TEST_F(SequentialNavigationControllerTest, PushesRunOneAfterTheOtherAndPopsBackToADeeperController)
{
    auto navigation = SequentialNavigationController::create(root);
    show(navigation);
    navigation->pushViewController(first, Animated::Yes);
    navigation->pushViewController(second, Animated::Yes);
    EXPECT_TRUE(navigation->isBusy());
    EXPECT_EQ(navigation->viewControllers().size(), 2u);
    EXPECT_EQ(navigation->queuedRequestCount(), 1u);

    // The second push begins at the first one's did-show, and keeps the controller busy while it runs.
    harness.advance(0.34);
    EXPECT_EQ(navigation->topViewController(), first);
    harness.advance(0.01);
    EXPECT_EQ(navigation->topViewController(), second);
    EXPECT_TRUE(navigation->isTransitioning());
    EXPECT_TRUE(navigation->isBusy());
    harness.advance(0.35);
    EXPECT_FALSE(navigation->isBusy());

    // Pushing the top changes nothing, busy or not.
    navigation->pushViewController(second, Animated::Yes);
    EXPECT_FALSE(navigation->isBusy());
    EXPECT_FALSE(navigation->isTransitioning());

    // Pushing a deeper one pops back to it, with touches off until its did-show.
    navigation->pushViewController(root, Animated::Yes);
    EXPECT_TRUE(navigation->isBusy());
    EXPECT_FALSE(touchesOn(navigation));
    // Pops while busy are queued and answer nothing.
    EXPECT_EQ(navigation->popViewController(Animated::No), nullptr);
    EXPECT_TRUE(navigation->popToViewController(root, Animated::No).empty());
    EXPECT_TRUE(navigation->popToRootViewController(Animated::No).empty());
    harness.advance(0.35);
    EXPECT_EQ(navigation->viewControllers(), (std::vector<std::shared_ptr<ViewController>> { root }));
    EXPECT_TRUE(touchesOn(navigation));
    EXPECT_FALSE(navigation->isBusy());
    EXPECT_EQ(navigation->queuedRequestCount(), 0u);
}

TEST_F(SequentialNavigationControllerTest, AForwardThatStartsNothingReleasesTheController)
{
    auto navigation = SequentialNavigationController::create(root);
    show(navigation);
    // A pop of the root and a pop to the root of a root-only stack start no change.
    EXPECT_EQ(navigation->popViewController(Animated::Yes), nullptr);
    EXPECT_FALSE(navigation->isBusy());
    EXPECT_TRUE(touchesOn(navigation));
    EXPECT_TRUE(navigation->popToRootViewController(Animated::Yes).empty());
    EXPECT_FALSE(navigation->isBusy());
    EXPECT_TRUE(touchesOn(navigation));
    // A pop to a controller not on the stack does nothing at all.
    EXPECT_TRUE(navigation->popToViewController(second, Animated::Yes).empty());
    EXPECT_FALSE(navigation->isBusy());
    // So the next push runs at once.
    navigation->pushViewController(first, Animated::No);
    EXPECT_EQ(navigation->topViewController(), first);
    EXPECT_FALSE(navigation->isBusy());

    // Removing a controller below the top replaces the stack without becoming busy.
    navigation->pushViewController(second, Animated::No);
    navigation->removeViewController(first, Animated::Yes);
    EXPECT_FALSE(navigation->isBusy());
    EXPECT_EQ(navigation->viewControllers(), (std::vector<std::shared_ptr<ViewController>> { root, second }));
    // Removing the top is a change that runs.
    navigation->removeViewController(second, Animated::Yes);
    EXPECT_TRUE(navigation->isBusy());
    harness.advance(0.35);
    EXPECT_FALSE(navigation->isBusy());
    EXPECT_EQ(navigation->topViewController(), root);

    // The pop gesture holds the controller busy from its start to its end.
    navigation->popGestureStateHandler(platform::GestureState::Began);
    EXPECT_TRUE(navigation->isBusy());
    navigation->popGestureStateHandler(platform::GestureState::Changed);
    EXPECT_TRUE(navigation->isBusy());
    navigation->popGestureStateHandler(platform::GestureState::Cancelled);
    EXPECT_FALSE(navigation->isBusy());
}

TEST_F(SequentialNavigationControllerTest, TheWatchdogReleasesAChangeThatNeverEnds)
{
    auto navigation = StuckNavigationController::create(root);
    show(navigation);
    navigation->pushViewController(first, Animated::Yes);
    EXPECT_TRUE(navigation->isBusy());
    navigation->pushViewController(second, Animated::Yes);
    EXPECT_EQ(navigation->pushes, 1);
    harness.advance(0.99);
    EXPECT_EQ(navigation->pushes, 1);
    EXPECT_EQ(navigation->queuedRequestCount(), 1u);
    harness.advance(0.01);
    EXPECT_EQ(navigation->pushes, 2);
    EXPECT_EQ(navigation->queuedRequestCount(), 0u);

    // Two requests queued in a row while busy count two blocked attempts: busy is cleared at
    // once, and the first of them runs on the next retry.
    navigation->pushViewController(first, Animated::Yes);
    EXPECT_EQ(navigation->pushes, 3);
    navigation->pushViewController(second, Animated::Yes);
    EXPECT_TRUE(navigation->isBusy());
    navigation->pushViewController(first, Animated::Yes);
    EXPECT_FALSE(navigation->isBusy());
    harness.advance(0.5);
    EXPECT_EQ(navigation->pushes, 4);
    harness.advance(0.5);
    EXPECT_EQ(navigation->pushes, 5);
    EXPECT_EQ(navigation->queuedRequestCount(), 0u);
}

TEST_F(SequentialNavigationControllerTest, TouchesAreLeftAloneWithoutASession)
{
    platform::Application::shared().setDelegate({});
    auto navigation = SequentialNavigationController::create(root);
    show(navigation);
    navigation->pushViewController(first, Animated::No);
    navigation->popViewController(Animated::Yes);
    EXPECT_TRUE(touchesOn(navigation));
    harness.advance(0.35);
    EXPECT_EQ(navigation->topViewController(), root);
}

} // namespace
} // namespace morvix
