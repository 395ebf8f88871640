#include "platform/graphics/TextLayout.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

using Log = std::vector<std::string>;

// Logs its appearance and containment calls as "<name> <call>".
class LoggingController final : public ViewController {
public:
    static std::shared_ptr<LoggingController> create(std::string name, Log& log)
    {
        return std::shared_ptr<LoggingController>(new LoggingController(std::move(name), log));
    }
    void viewWillAppear(bool) override { m_log.push_back(m_name + " will appear"); }
    void viewDidAppear(bool) override { m_log.push_back(m_name + " did appear"); }
    void viewWillDisappear(bool) override { m_log.push_back(m_name + " will disappear"); }
    void viewDidDisappear(bool) override { m_log.push_back(m_name + " did disappear"); }
    void willMoveToParentViewController(const std::shared_ptr<ViewController>& parent) override
    {
        m_log.push_back(m_name + (parent ? " will move to parent" : " will leave parent"));
    }
    void didMoveToParentViewController(const std::shared_ptr<ViewController>& parent) override
    {
        m_log.push_back(m_name + (parent ? " did move to parent" : " did leave parent"));
    }

private:
    LoggingController(std::string name, Log& log) : m_name(std::move(name)), m_log(log) { }
    std::string m_name;
    Log& m_log;
};

class LoggingDelegate final : public NavigationControllerDelegate {
public:
    explicit LoggingDelegate(Log& log) : m_log(log) { }
    void willShowViewController(NavigationController&, ViewController&, bool) override { m_log.push_back("will show"); }
    void didShowViewController(NavigationController&, ViewController&, bool) override { m_log.push_back("did show"); }

private:
    Log& m_log;
};

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = LoggingController::create("root", log);
        navigation = NavigationController::create(root);
        navigation->setDelegate(delegate);
        harness.window()->setRootViewController(navigation);
        harness.runUntilIdle();
        log.clear();
    }

    UITestHarness harness { { 320, 568 }, 1 };
    Log log;
    std::shared_ptr<LoggingDelegate> delegate = std::make_shared<LoggingDelegate>(log);
    std::shared_ptr<LoggingController> root;
    std::shared_ptr<NavigationController> navigation;
};

} // namespace

TEST_F(ControllerTest, AnimatedPushRunsTheTransitionContractInOrderAndFinishesOnTheClock)
{
    auto page = LoggingController::create("page", log);
    navigation->pushViewController(page, Animated::Yes);
    EXPECT_EQ(navigation->topViewController(), page) << "the stack changes at once";
    EXPECT_TRUE(navigation->isTransitioning());
    EXPECT_EQ(log, (Log { "page will move to parent", "will show", "root will disappear", "page will appear" }));
    log.clear();
    harness.advance(ViewController::kTransitionDuration - 0.01);
    EXPECT_TRUE(log.empty());
    harness.advance(0.01);
    EXPECT_FALSE(navigation->isTransitioning());
    EXPECT_EQ(log, (Log { "root did disappear", "page did appear", "page did move to parent", "did show" }));
}

TEST_F(ControllerTest, PopWithoutAnimationFinishesAtOnceAndPoppingTheLastControllerDoesNothing)
{
    auto page = LoggingController::create("page", log);
    navigation->pushViewController(page, Animated::No);
    log.clear();
    EXPECT_EQ(navigation->popViewController(Animated::No), page);
    EXPECT_EQ(log, (Log { "page will leave parent", "will show", "page will disappear", "root will appear", "page did disappear",
                       "root did appear", "page did leave parent", "did show" }));
    log.clear();
    EXPECT_EQ(navigation->popViewController(Animated::No), nullptr);
    EXPECT_TRUE(log.empty()) << "nothing to pop, no callbacks";
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
}

TEST_F(ControllerTest, AChangeThatKeepsTheTopOnlyMovesTheRemovedControllersOut)
{
    auto middle = LoggingController::create("middle", log);
    auto top = LoggingController::create("top", log);
    navigation->setViewControllers({ root, middle, top }, Animated::No);
    log.clear();
    navigation->setViewControllers({ root, top }, Animated::Yes);
    EXPECT_FALSE(navigation->isTransitioning());
    EXPECT_EQ(log, (Log { "middle will leave parent", "middle did leave parent" }));
}

TEST_F(ControllerTest, ARequestDuringATransitionFinishesThatOneFirst)
{
    auto first = LoggingController::create("first", log);
    auto second = LoggingController::create("second", log);
    navigation->pushViewController(first, Animated::Yes);
    log.clear();
    navigation->pushViewController(second, Animated::Yes);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ((Log { log[0], log[1], log[2], log[3] }), (Log { "root did disappear", "first did appear", "first did move to parent", "did show" }));
    harness.advance(ViewController::kTransitionDuration);
    EXPECT_EQ(navigation->viewControllers(), (std::vector<std::shared_ptr<ViewController>> { root, first, second }));
    EXPECT_EQ(log.back(), "did show");
}

TEST_F(ControllerTest, ContentLiesBetweenTheVisibleBars)
{
    navigation->setNavigationBarHidden(false);
    navigation->setToolbarHidden(false);
    harness.runUntilIdle();
    EXPECT_EQ(navigation->contentFrame(), Rect(0, 44, 320, 568 - 88));
    navigation->setNavigationBarHidden(true);
    navigation->setToolbarHidden(true);
    harness.runUntilIdle();
    EXPECT_EQ(navigation->contentFrame(), Rect(0, 0, 320, 568));
}

TEST_F(ControllerTest, PresentingWhileSomethingIsPresentedIsRefused)
{
    auto sheet = LoggingController::create("sheet", log);
    auto other = LoggingController::create("other", log);
    bool presented = false;
    navigation->presentViewController(sheet, Animated::Yes, [&] { presented = true; });
    harness.advance(ViewController::kTransitionDuration);
    EXPECT_TRUE(presented);
    EXPECT_EQ(navigation->presentedViewController(), sheet);
    bool refusedRan = false;
    navigation->presentViewController(other, Animated::No, [&] { refusedRan = true; });
    EXPECT_FALSE(refusedRan);
    EXPECT_EQ(navigation->presentedViewController(), sheet);
    bool dismissed = false;
    navigation->dismissViewController(Animated::No, [&] { dismissed = true; });
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(navigation->presentedViewController(), nullptr);
}

TEST_F(ControllerTest, DismissingDuringAnAnimatedPresentationBringsThePresenterBack)
{
    auto sheet = LoggingController::create("sheet", log);
    bool presented = false;
    navigation->presentViewController(sheet, Animated::Yes, [&] { presented = true; });
    harness.advance(0.1);
    navigation->dismissViewController(Animated::Yes);
    harness.advance(ViewController::kTransitionDuration - 0.1);
    EXPECT_TRUE(presented) << "the presentation's completion runs at its end";
    EXPECT_EQ(root->appearanceState(), AppearanceState::Appearing) << "until the dismissal ends";
    harness.advance(0.1);
    EXPECT_EQ(log, (Log { "sheet will appear", "root will disappear", "sheet will disappear", "root will appear", "sheet did disappear",
                       "root did appear" }));
    EXPECT_EQ(root->appearanceState(), AppearanceState::Appeared);
    EXPECT_EQ(sheet->appearanceState(), AppearanceState::Disappeared);
    EXPECT_EQ(sheet->view()->superview(), nullptr);

    // Dismissed at once: the presentation's own end, later, changes nothing.
    log.clear();
    navigation->presentViewController(sheet, Animated::Yes);
    navigation->dismissViewController(Animated::No);
    harness.advance(ViewController::kTransitionDuration);
    EXPECT_EQ(log, (Log { "sheet will appear", "root will disappear", "sheet will disappear", "root will appear", "sheet did disappear",
                       "root did appear" }));
    EXPECT_EQ(root->appearanceState(), AppearanceState::Appeared);
    EXPECT_FALSE(sheet->isBeingPresented());
}

TEST_F(ControllerTest, AlertsAreAnsweredByButtonTitleOnTheTopmostThatHasIt)
{
    class Answers final : public AlertViewDelegate {
    public:
        explicit Answers(Log& log) : m_log(log) { }
        void clickedButtonAtIndex(AlertView& alert, int index) override { m_log.push_back(alert.title() + " clicked " + std::to_string(index)); }
        void didDismissWithButtonIndex(AlertView& alert, int index) override { m_log.push_back(alert.title() + " gone " + std::to_string(index)); }

    private:
        Log& m_log;
    };
    auto answers = std::make_shared<Answers>(log);
    auto lower = AlertView::create("lower", "", answers, "Cancel", { "OK" });
    auto upper = AlertView::create("upper", "", answers, "Cancel");
    lower->show();
    upper->show();
    EXPECT_EQ(Application::shared().alerts().size(), 2u);
    EXPECT_TRUE(harness.pressAlertButton("OK")) << "only the lower one has it";
    EXPECT_TRUE(harness.pressAlertButton("Cancel"));
    EXPECT_FALSE(harness.pressAlertButton("Retry"));
    EXPECT_EQ(log, (Log { "lower clicked 1", "lower gone 1", "upper clicked 0", "upper gone 0" }));
    EXPECT_TRUE(Application::shared().alerts().empty());
    log.clear();
    lower->show();
    lower->dismissWithClickedButtonIndex(0, false);
    EXPECT_EQ(log, (Log { "lower gone 0" })) << "dismissed from code: no click";
}

TEST_F(ControllerTest, BarButtonItemActionsFollowTheirTargetsLifeAndTheEnabledFlag)
{
    auto item = BarButtonItem::create("Edit");
    auto owner = std::make_shared<int>(0);
    int taps = 0;
    item->setTarget(owner, [&](BarButtonItem&) { ++taps; });
    EXPECT_TRUE(item->tap());
    item->setEnabled(false);
    EXPECT_FALSE(item->tap());
    item->setEnabled(true);
    owner.reset();
    item->tap();
    EXPECT_EQ(taps, 1);
    item->setTitleColor(Color::white(), ControlState::Highlighted);
    EXPECT_EQ(item->titleColor(ControlState::Highlighted), Color::white());
}

TEST_F(ControllerTest, ATitledBarButtonItemIsAsWideAsItsTitleAndMargins)
{
    auto titleWidth = [](const std::string& title, FontTraits traits = {}) {
        return std::ceil(TextLayout(AttributedString(title, { .font = Font::system(17, traits) }), {}).size().width);
    };
    auto preferences = BarButtonItem::create("Preferences");
    EXPECT_EQ(preferences->layoutWidth(), titleWidth("Preferences") + 2 * BarButtonItem::kTitleMargin);
    EXPECT_GT(preferences->layoutWidth(), BarButtonItem::kDefaultWidth);
    auto done = BarButtonItem::create("OK", BarButtonStyle::Done);
    EXPECT_EQ(done->layoutWidth(), titleWidth("OK", { .bold = true }) + 2 * BarButtonItem::kTitleMargin) << "bold";
    EXPECT_EQ(BarButtonItem::createWithImage(nullptr)->layoutWidth(), BarButtonItem::kDefaultWidth);
    // A system item takes the width of its word, and never less than the default.
    EXPECT_EQ(BarButtonItem::createSystem(BarButtonSystemItem::Refresh)->layoutWidth(),
        titleWidth("Refresh") + 2 * BarButtonItem::kTitleMargin);
    EXPECT_EQ(BarButtonItem::createSystem(BarButtonSystemItem::Add)->layoutWidth(), BarButtonItem::kDefaultWidth);
    preferences->setWidth(30);
    EXPECT_EQ(preferences->layoutWidth(), 30) << "an explicit width wins";
}
