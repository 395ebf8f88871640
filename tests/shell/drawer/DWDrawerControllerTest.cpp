// The side-drawer container: opening and closing, replacement, gestures and centre transitions,
// all on the manual clock.

#include "shell/drawer/DWDrawerController.h"

#include "platform/foundation/DeviceInfo.h"
#include "platform/ui/Animator.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Control.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/RestorationCoder.h"
#include "platform/ui/TimeInterval.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "shell/drawer/DWDrawerCenterContainerView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvix {
namespace {

using namespace platform;

// Logs the appearance and containment calls it hears, as "name call".
class Recorder final : public ViewController {
public:
    static std::shared_ptr<Recorder> create(std::string name, std::vector<std::string>& log)
    {
        return std::shared_ptr<Recorder>(new Recorder(std::move(name), log));
    }
    void viewWillAppear(bool) override { m_log.push_back(m_name + " willAppear"); }
    void viewDidAppear(bool) override { m_log.push_back(m_name + " didAppear"); }
    void viewWillDisappear(bool) override { m_log.push_back(m_name + " willDisappear"); }
    void viewDidDisappear(bool) override { m_log.push_back(m_name + " didDisappear"); }
    void willMoveToParentViewController(const std::shared_ptr<ViewController>& parent) override
    {
        m_log.push_back(m_name + (parent ? " willMove" : " willMove nil"));
    }
    void didMoveToParentViewController(const std::shared_ptr<ViewController>& parent) override
    {
        m_log.push_back(m_name + (parent ? " didMove" : " didMove nil"));
    }
    void willRotateToInterfaceOrientation(int, double) override { ++rotations; }
    int rotations = 0;

private:
    Recorder(std::string name, std::vector<std::string>& log) : m_name(std::move(name)), m_log(log) { }
    std::string m_name;
    std::vector<std::string>& m_log;
};

class DWDrawerControllerTest : public ::testing::Test {
protected:
    std::shared_ptr<DWDrawerController> install(std::shared_ptr<ViewController> center, std::shared_ptr<ViewController> left,
        std::shared_ptr<ViewController> right = nullptr)
    {
        auto drawer = DWDrawerController::create(std::move(center), std::move(left), std::move(right));
        harness.window()->setRootViewController(drawer);
        harness.runUntilIdle();
        log.clear();
        return drawer;
    }
    double centerX(const DWDrawerController& drawer) const { return drawer.centerContainerView()->frame().x(); }
    // The running animation of the centre container's position.
    std::optional<ViewAnimationInfo> centerAnimation(const DWDrawerController& drawer) const
    {
        for (const auto& info : Animator::shared().activeAnimations()) {
            if (info.view.lock() == drawer.centerContainerView() && info.property == AnimatableProperty::Center)
                return info;
        }
        return std::nullopt;
    }

    UITestHarness harness;
    std::vector<std::string> log;
    std::shared_ptr<Recorder> center = Recorder::create("center", log);
    std::shared_ptr<Recorder> left = Recorder::create("left", log);
    std::shared_ptr<Recorder> right = Recorder::create("right", log);
};

TEST_F(DWDrawerControllerTest, OpenLastsDistanceOverVelocityButAtLeastTheWidenedMinimum)
{
    auto drawer = install(center, left);
    std::vector<bool> results;
    drawer->openDrawerSide(DWSideLeft, true, [&](bool finished) { results.push_back(finished); });
    ASSERT_TRUE(centerAnimation(*drawer));
    EXPECT_DOUBLE_EQ(centerAnimation(*drawer)->duration, 280.0 / 840);
    EXPECT_TRUE(drawer->isAnimatingDrawer());
    EXPECT_FALSE(drawer->view()->isUserInteractionEnabled());
    // A second request while the first runs is refused without restarting it.
    drawer->openDrawerSide(DWSideLeft, true, [&](bool finished) { results.push_back(finished); });
    EXPECT_EQ(results, std::vector<bool>({ false }));
    harness.advance(0.333);
    EXPECT_EQ(drawer->openSide(), DWSideNone);
    harness.advance(0.001);
    EXPECT_EQ(results, std::vector<bool>({ false, true }));
    EXPECT_EQ(drawer->openSide(), DWSideLeft);
    EXPECT_EQ(centerX(*drawer), 280);
    EXPECT_TRUE(drawer->view()->isUserInteractionEnabled());
    EXPECT_EQ(log, std::vector<std::string>({ "left willAppear", "left didAppear" }));

    drawer->closeDrawerAnimated(false);
    EXPECT_EQ(drawer->openSide(), DWSideLeft) << "not animated still completes on the next turn";
    harness.runUntilIdle();
    EXPECT_EQ(drawer->openSide(), DWSideNone);
    EXPECT_TRUE(drawer->leftDrawerViewController()->view()->isHidden());

    // From x = 270 the 10 points would take 12 ms; the minimum is the single-precision 0.15.
    drawer->centerContainerView()->setFrame(drawer->centerContainerView()->frame().offsetBy(270, 0));
    drawer->openDrawerSide(DWSideLeft, true);
    EXPECT_EQ(centerAnimation(*drawer)->duration, 0.15000000596046448);
    harness.advance(0.15);
    EXPECT_EQ(drawer->openSide(), DWSideNone);
    harness.advance(0.000001);
    EXPECT_EQ(drawer->openSide(), DWSideLeft);
}

TEST_F(DWDrawerControllerTest, RefusedRequestsAndMissingDrawersLeaveTheContainerUsable)
{
    auto drawer = install(center, left, right);
    drawer->openDrawerSide(DWSideRight, false);
    harness.runUntilIdle();
    std::vector<bool> results;
    drawer->toggleDrawerSide(DWSideLeft, true, [&](bool finished) { results.push_back(finished); });
    EXPECT_EQ(results, std::vector<bool>({ false }));
    EXPECT_EQ(drawer->openSide(), DWSideRight);
    EXPECT_EQ(centerX(*drawer), -280);
    drawer->toggleDrawerSide(DWSideRight, false);
    harness.runUntilIdle();
    EXPECT_EQ(drawer->openSide(), DWSideNone);

    // Opening a side without a drawer must not leave the container refusing everything.
    drawer->setRightDrawerViewController(nullptr);
    drawer->openDrawerSide(DWSideRight, true, [&](bool finished) { results.push_back(finished); });
    EXPECT_EQ(results, std::vector<bool>({ false, false }));
    EXPECT_FALSE(drawer->isAnimatingDrawer());
    EXPECT_TRUE(drawer->view()->isUserInteractionEnabled());
    EXPECT_EQ(centerX(*drawer), 0);

    // A velocity of 0 is the default one, not an endless animation.
    drawer->setAnimationVelocity(0);
    drawer->openDrawerSide(DWSideLeft, true);
    EXPECT_DOUBLE_EQ(centerAnimation(*drawer)->duration, 280.0 / 840);
    harness.advance(1);
    EXPECT_EQ(drawer->openSide(), DWSideLeft);
    drawer->closeDrawerAnimated(true, -420, 0, {});
    EXPECT_DOUBLE_EQ(centerAnimation(*drawer)->duration, 280.0 / 420);
    harness.advance(1);

    // A drawer removed while open reads width 0: closing divides by nothing and still ends.
    drawer->openDrawerSide(DWSideLeft, false);
    harness.runUntilIdle();
    drawer->setLeftDrawerViewController(nullptr);
    EXPECT_EQ(drawer->maximumLeftDrawerWidth(), 0);
    drawer->closeDrawerAnimated(true);
    harness.advance(1);
    EXPECT_EQ(drawer->openSide(), DWSideNone);
    EXPECT_EQ(centerX(*drawer), 0);
    drawer->setLeftDrawerViewController(left);
    EXPECT_EQ(drawer->maximumLeftDrawerWidth(), 280) << "the stored width survives";
}

TEST_F(DWDrawerControllerTest, ReplacingControllers)
{
    auto drawer = install(center, left);
    drawer->openDrawerSide(DWSideLeft, false);
    harness.runUntilIdle();
    log.clear();

    // The same controllers again change nothing; a side other than left or right stores nothing.
    drawer->setCenterViewController(center);
    drawer->setLeftDrawerViewController(left);
    auto stray = Recorder::create("stray", log);
    drawer->setDrawerViewController(stray, 3);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(stray->parentViewController(), nullptr);

    // A drawer replaced while open shows at once below the centre; the centre stays.
    auto other = Recorder::create("other", log);
    drawer->setLeftDrawerViewController(other);
    EXPECT_EQ(log, std::vector<std::string>({ "left willDisappear", "left didDisappear", "left willMove nil", "left didMove nil",
                       "other willMove", "other willAppear", "other didAppear", "other didMove" }));
    auto& subviews = drawer->childControllerContainerView()->subviews();
    ASSERT_GE(subviews.size(), 2u);
    EXPECT_EQ(subviews[subviews.size() - 2], other->view());
    EXPECT_FALSE(other->view()->isHidden());
    EXPECT_EQ(other->view()->frame(), Rect(0, 0, 280, 568));
    EXPECT_EQ(centerX(*drawer), 280);

    // A centre replaced while open is shown at the displaced position.
    log.clear();
    auto next = Recorder::create("next", log);
    drawer->setCenterViewController(next);
    EXPECT_EQ(log, std::vector<std::string>({ "center willMove nil", "center willDisappear", "center didDisappear", "center didMove nil",
                       "next willMove", "next willAppear", "next didAppear", "next didMove" }));
    EXPECT_EQ(centerX(*drawer), 280);
    EXPECT_EQ(next->view()->superview(), drawer->centerContainerView());
    EXPECT_EQ(next->view()->frame(), Rect(0, 0, 320, 568));
    EXPECT_EQ(drawer->openSide(), DWSideLeft);
}

TEST_F(DWDrawerControllerTest, VisibleDrawerFrameAndStatusBarView)
{
    auto drawer = install(center, nullptr, right);
    EXPECT_EQ(drawer->maximumLeftDrawerWidth(), 0);
    EXPECT_EQ(mm_visibleDrawerFrame(*right), Rect(40, 0, 280, 568));
    EXPECT_EQ(mm_visibleDrawerFrame(*center), std::nullopt);
    EXPECT_EQ(mm_drawerController(*right), drawer);

    drawer->setShowsStatusBarBackgroundView(true);
    EXPECT_EQ(mm_visibleDrawerFrame(*right), Rect(40, 0, 280, 548));
    EXPECT_EQ(drawer->childControllerContainerView()->frame(), Rect(0, 20, 320, 548));
    EXPECT_FALSE(drawer->dummyStatusBarView()->isHidden());
    EXPECT_EQ(drawer->view()->subviews().back(), drawer->dummyStatusBarView());
    drawer->setStatusBarViewBackgroundColor(Color::white());
    EXPECT_EQ(drawer->dummyStatusBarView()->backgroundColor(), Color::white());

    // A navigation controller holding the drawer stands for it.
    auto navigation = NavigationController::create(left);
    drawer->setLeftDrawerViewController(navigation);
    EXPECT_EQ(mm_visibleDrawerFrame(*left), Rect(0, 0, 280, 548));

    auto device = DeviceInfo::current();
    device.systemVersion = "6.1";
    DeviceInfo::setCurrent(device);
    auto old = install(Recorder::create("c", log), nullptr);
    old->setShowsStatusBarBackgroundView(true);
    EXPECT_FALSE(old->showsStatusBarBackgroundView());
    EXPECT_EQ(old->childControllerContainerView()->frame(), Rect(0, 0, 320, 568));
}

TEST_F(DWDrawerControllerTest, ShadowPathIsReplacedOnlyWhenTheBoundsChange)
{
    auto drawer = install(center, left);
    Layer& layer = drawer->centerContainerView()->layer();
    EXPECT_EQ(layer.shadowPath(), Rect(0, 0, 320, 568));
    EXPECT_EQ(layer.shadowRadius(), 10);
    EXPECT_EQ(layer.shadowOpacity(), 0.8);
    drawer->setShowsShadow(false);
    EXPECT_EQ(layer.shadowPath(), std::nullopt);
    EXPECT_TRUE(layer.masksToBounds());
    drawer->setShowsShadow(true);
    EXPECT_FALSE(layer.masksToBounds());

    // Rotation animates the path from the old bounds under "transition", and the children hear
    // it once each, from the container.
    harness.rotate();
    ASSERT_NE(layer.animation("transition"), nullptr);
    EXPECT_EQ(layer.animation("transition")->keyPath, "shadowPath");
    EXPECT_EQ(std::get<Rect>(layer.animation("transition")->from), Rect(0, 0, 320, 568));
    EXPECT_EQ(layer.shadowPath(), Rect(0, 0, 568, 320));
    EXPECT_EQ(center->rotations, 1);
    EXPECT_EQ(left->rotations, 1);
}

TEST_F(DWDrawerControllerTest, HitTestWhileOpenTakesOnlyTheNavigationBar)
{
    auto root = ViewController::create();
    auto navigation = NavigationController::create(root);
    int barTaps = 0;
    int contentTaps = 0;
    auto item = BarButtonItem::create("Menu");
    item->setAction([&](BarButtonItem&) { ++barTaps; });
    root->navigationItem()->setLeftBarButtonItem(item);
    auto control = Control::create(Rect(0, 200, 40, 40));
    control->addAction([&](Control&, const Event*) { ++contentTaps; }, ControlEventTouchUpInside);
    root->view()->addSubview(control);
    auto drawer = install(navigation, left);
    drawer->openDrawerSide(DWSideLeft, false);
    harness.runUntilIdle();
    ASSERT_EQ(drawer->centerHiddenInteractionMode(), 2);

    harness.touches().tapView(*item->view(), { 10, 10 });
    EXPECT_EQ(barTaps, 1);
    harness.touches().tapView(*control, { 20, 20 });
    EXPECT_EQ(contentTaps, 0);
    EXPECT_EQ(drawer->openSide(), DWSideLeft) << "both masks are 0";

    // A hidden bar counts as none: nothing of the centre takes touches.
    navigation->navigationBar()->setHidden(true);
    auto inBar = drawer->centerContainerView()->convertPointFrom(harness.touches().windowPoint(*item->view(), { 10, 10 }), nullptr);
    EXPECT_EQ(drawer->centerContainerView()->hitTest(inBar), nullptr);
}

class DWDrawerGestureTest : public DWDrawerControllerTest {
protected:
    void SetUp() override
    {
        navigation = NavigationController::create(ViewController::create());
        drawer = install(navigation, left);
        navigation->view()->layoutIfNeeded();
        barY = navigation->navigationBar()->frame().midY();
    }
    void drag(Point from, Point to)
    {
        harness.touches().drag(from, to, 0.2);
        harness.advance(1);
    }
    void drive(GestureState state, double translation, double velocity)
    {
        drawer->panGestureRecognizer()->driveValues({ translation, 0 }, { velocity, 0 });
        drawer->panGestureRecognizer()->driveState(state);
    }

    std::shared_ptr<NavigationController> navigation;
    std::shared_ptr<DWDrawerController> drawer;
    double barY = 0;
};

TEST_F(DWDrawerGestureTest, BezelPanOpensOnlyFromTheEdgeOfASideWithADrawer)
{
    drawer->setOpenDrawerGestureModeMask(DWOpenGestureBezelPan);
    drawer->setShouldStretchDrawer(false);
    drag({ 30, 300 }, { 200, 300 });
    EXPECT_EQ(centerX(*drawer), 0);
    drag({ 10, barY }, { 200, barY });
    EXPECT_EQ(centerX(*drawer), 0) << "on the navigation bar";
    drag({ 315, 300 }, { 100, 300 });
    EXPECT_EQ(centerX(*drawer), 0) << "no right drawer";
    drag({ 10, 300 }, { 250, 300 });
    EXPECT_EQ(drawer->openSide(), DWSideLeft);
    EXPECT_EQ(centerX(*drawer), 280);

    // A hidden bar is no bar: its strip takes bezel pans too.
    drawer->closeDrawerAnimated(false);
    harness.runUntilIdle();
    navigation->setNavigationBarHidden(true);
    drag({ 10, barY }, { 250, barY });
    EXPECT_EQ(drawer->openSide(), DWSideLeft);
}

TEST_F(DWDrawerGestureTest, CloseMaskTakesTapsOnCentreAndBarButNotPansThere)
{
    drawer->setCloseDrawerGestureModeMask(DWCloseGestureCenterPan | DWCloseGestureNavigationBarTap | DWCloseGestureCenterTap);
    int completions = 0;
    drawer->setGestureCompletionBlock([&](DWDrawerController&, GestureRecognizer&) { ++completions; });
    auto open = [&] {
        drawer->openDrawerSide(DWSideLeft, false);
        harness.runUntilIdle();
    };
    open();
    drag({ 300, barY }, { 100, barY });
    EXPECT_EQ(drawer->openSide(), DWSideLeft) << "a pan on the bar";
    drag({ 100, 300 }, { 10, 300 });
    EXPECT_EQ(drawer->openSide(), DWSideLeft) << "a pan on the drawer";
    harness.touches().tap({ 300, 300 });
    harness.advance(1);
    EXPECT_EQ(drawer->openSide(), DWSideNone);
    EXPECT_EQ(completions, 1);
    open();
    harness.touches().tap({ 300, barY });
    harness.advance(1);
    EXPECT_EQ(drawer->openSide(), DWSideNone);
}

TEST_F(DWDrawerGestureTest, ReleaseSettlesByFlickSpeedOrPosition)
{
    drawer->setShouldStretchDrawer(false);
    drive(GestureState::Began, 0, 0);
    drive(GestureState::Changed, 100, 150);
    EXPECT_EQ(drawer->openSide(), DWSideLeft);
    EXPECT_EQ(drawer->startingPanRect(), Rect(0, 0, 320, 568));
    drive(GestureState::Ended, 100, 150);
    EXPECT_EQ(drawer->startingPanRect(), std::nullopt);
    EXPECT_EQ(centerX(*drawer), 0) << "below half, too slow for a flick: closes";
    harness.advance(1);
    EXPECT_EQ(drawer->openSide(), DWSideNone);

    drive(GestureState::Began, 0, 0);
    drive(GestureState::Changed, 100, 250);
    drive(GestureState::Ended, 100, 250);
    ASSERT_TRUE(centerAnimation(*drawer));
    EXPECT_EQ(centerAnimation(*drawer)->options, AnimationOption::CurveEaseOut);
    EXPECT_DOUBLE_EQ(centerAnimation(*drawer)->duration, 180.0 / 400);
    harness.advance(1);
    EXPECT_EQ(drawer->openSide(), DWSideLeft);

    drive(GestureState::Began, 0, 0);
    drive(GestureState::Changed, -80, -50);
    drive(GestureState::Ended, -80, -50);
    EXPECT_EQ(centerAnimation(*drawer)->options, 0u);
    harness.advance(1);
    EXPECT_EQ(drawer->openSide(), DWSideLeft) << "200 of 280 is past half";

    // Dragging past the width: held there without stretching, rubber-banded with it.
    std::vector<double> fractions;
    drawer->setDrawerVisualStateBlock([&](DWDrawerController&, DWSide, double p) { fractions.push_back(p); });
    drive(GestureState::Began, 0, 0);
    drive(GestureState::Changed, 120, 0);
    EXPECT_EQ(centerX(*drawer), 280);
    EXPECT_EQ(fractions.back(), 1.0);
    drive(GestureState::Cancelled, 120, 0);
    harness.advance(1);
    drawer->setDrawerVisualStateBlock({});
    drawer->setShouldStretchDrawer(true);
    drive(GestureState::Began, 0, 0);
    drive(GestureState::Changed, 120, 0);
    EXPECT_EQ(centerX(*drawer), 285);
    auto stretched = left->view()->transform3D();
    EXPECT_NEAR(stretched.m11, 285.0 / 280, 1e-12);
    drive(GestureState::Ended, 120, 0);
    harness.advance(1);
    EXPECT_TRUE(left->view()->transform3D().isIdentity());
}

TEST_F(DWDrawerGestureTest, PanAcrossTheMiddleSwitchesSidesAndPansDuringAnAnimationAreCancelled)
{
    drawer->setRightDrawerViewController(right);
    log.clear();
    drive(GestureState::Began, 0, 0);
    drive(GestureState::Changed, 50, 0);
    EXPECT_EQ(drawer->openSide(), DWSideLeft);
    drive(GestureState::Changed, -50, 0);
    EXPECT_EQ(drawer->openSide(), DWSideRight);
    EXPECT_EQ(log, std::vector<std::string>({ "left willAppear", "left didAppear", "left willDisappear", "left didDisappear",
                       "right willAppear", "right didAppear" }));
    EXPECT_TRUE(left->view()->isHidden());
    drive(GestureState::Ended, -50, 0);
    harness.advance(1);

    drawer->closeDrawerAnimated(true);
    drive(GestureState::Began, 0, 0);
    EXPECT_TRUE(drawer->panGestureRecognizer()->isEnabled());
    EXPECT_EQ(drawer->panGestureRecognizer()->state(), GestureState::Possible);
    harness.advance(1);
    EXPECT_EQ(drawer->openSide(), DWSideNone);
    drive(GestureState::Began, 0, 0);
    drive(GestureState::Changed, 60, 0);
    EXPECT_EQ(centerX(*drawer), 60) << "the next pan works";

    // Rotation cancels a pan still moving the centre.
    harness.rotate();
    EXPECT_EQ(drawer->panGestureRecognizer()->state(), GestureState::Possible);
    EXPECT_TRUE(drawer->panGestureRecognizer()->isEnabled());
}

TEST_F(DWDrawerControllerTest, CentreReplacementsThatClose)
{
    auto drawer = install(center, left);
    auto next = Recorder::create("next", log);
    bool done = false;
    drawer->setCenterViewControllerWithCloseAnimation(next, true, [&](bool finished) { done = finished; });
    EXPECT_TRUE(done) << "nothing open: swapped at once";
    EXPECT_EQ(drawer->centerViewController(), next);

    drawer->openDrawerSide(DWSideLeft, false);
    harness.runUntilIdle();
    drawer->setCenterViewControllerWithCloseAnimation(center, false);
    EXPECT_EQ(drawer->openSide(), DWSideLeft);
    drawer->setCenterViewControllerWithFullCloseAnimation(next, false);
    harness.runUntilIdle();
    EXPECT_EQ(drawer->openSide(), DWSideNone);
    EXPECT_EQ(drawer->centerViewController(), next);

    // The animated plain close tells the old centre that it went.
    drawer->openDrawerSide(DWSideLeft, false);
    harness.runUntilIdle();
    log.clear();
    drawer->setCenterViewControllerWithCloseAnimation(center, true);
    harness.advance(1);
    EXPECT_EQ(log, std::vector<std::string>({ "next willMove nil", "next willDisappear", "next didDisappear", "next didMove nil",
                       "center willMove", "center willAppear", "left willDisappear", "left didDisappear", "center didAppear",
                       "center didMove" }));

    // The full close to the same centre runs both stages without centre appearance calls.
    drawer->openDrawerSide(DWSideLeft, false);
    harness.runUntilIdle();
    log.clear();
    done = false;
    drawer->setCenterViewControllerWithFullCloseAnimation(center, true, [&](bool finished) { done = finished; });
    EXPECT_TRUE(drawer->isAnimatingDrawer());
    harness.advance(0.15);
    EXPECT_EQ(centerX(*drawer), 320) << "off screen";
    EXPECT_EQ(left->view()->frame(), Rect(0, 0, 320, 568));
    harness.advance(0.001);
    auto slideIn = centerAnimation(*drawer);
    ASSERT_TRUE(slideIn);
    EXPECT_EQ(slideIn->delay, double(0.1f));
    EXPECT_DOUBLE_EQ(slideIn->duration, 320.0 / 840);
    harness.advance(0.1 + 320.0 / 840 + 0.01);
    EXPECT_TRUE(done);
    EXPECT_EQ(drawer->openSide(), DWSideNone);
    EXPECT_FALSE(drawer->isAnimatingDrawer());
    EXPECT_EQ(left->view()->frame(), Rect(0, 0, 280, 568));
    EXPECT_EQ(log, std::vector<std::string>({ "left willDisappear", "left didDisappear" }));
}

TEST_F(DWDrawerControllerTest, BounceMovesOnlyThePresentationAndRestorationReopens)
{
    auto drawer = install(center, left, right);
    bool done = false;
    auto start = harness.clock().now();
    drawer->bouncePreviewForDrawerSide(DWSideLeft, [&](bool finished) { done = finished; });
    auto& container = *drawer->centerContainerView();
    const LayerAnimation* bounce = container.layer().animation("bouncing");
    ASSERT_NE(bounce, nullptr);
    EXPECT_EQ(bounce->values.size(), 32u);
    auto at = [&](double seconds) { return container.presentationCenter(start + durationFromSeconds(seconds)).x; };
    EXPECT_NEAR(at(0.8 * 7 / 31), 160 + 50, 1e-6);
    EXPECT_NEAR(at(0.8 * 20 / 31), 160 + 25, 1e-6);
    EXPECT_EQ(container.center().x, 160);
    EXPECT_EQ(drawer->openSide(), DWSideNone);
    EXPECT_FALSE(drawer->isAnimatingDrawer());
    harness.advance(0.8);
    EXPECT_TRUE(done);
    EXPECT_EQ(at(0.8), 160);
    EXPECT_EQ(left->appearanceState(), AppearanceState::Disappeared);

    std::vector<bool> results;
    drawer->openDrawerSide(DWSideRight, false);
    harness.runUntilIdle();
    drawer->bouncePreviewForDrawerSide(DWSideLeft, [&](bool finished) { results.push_back(finished); });
    EXPECT_EQ(results, std::vector<bool>({ false }));

    RestorationCoder coder;
    drawer->encodeRestorableState(coder);
    EXPECT_EQ(coder.keys(), std::vector<std::string>({ "DWDrawerLeftDrawer", "DWDrawerRightDrawer", "DWDrawerCenter", "DWDrawerOpenSide" }));
    drawer->closeDrawerAnimated(false);
    harness.runUntilIdle();
    auto restored = install(Recorder::create("placeholder", log), nullptr);
    restored->decodeRestorableState(coder);
    EXPECT_EQ(restored->centerViewController(), center);
    EXPECT_EQ(restored->rightDrawerViewController(), right);
    EXPECT_FALSE(restored->isAnimatingDrawer());
    harness.runUntilIdle();
    EXPECT_EQ(restored->openSide(), DWSideRight);
}

} // namespace
} // namespace morvix
