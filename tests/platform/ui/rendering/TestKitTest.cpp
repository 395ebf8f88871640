#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

// Records the rotation callbacks and the root view's size when it hears them.
class RotationRecorder final : public ViewController {
public:
    static std::shared_ptr<RotationRecorder> create(std::vector<std::string>& log)
    {
        return std::shared_ptr<RotationRecorder>(new RotationRecorder(log));
    }
    void willRotateToInterfaceOrientation(int orientation, double) override
    {
        m_log.push_back("will " + std::to_string(orientation) + " at width " + std::to_string(static_cast<int>(view()->bounds().width())));
    }
    void didRotateFromInterfaceOrientation(int orientation) override
    {
        m_log.push_back("did from " + std::to_string(orientation) + " at width " + std::to_string(static_cast<int>(view()->bounds().width())));
    }

private:
    explicit RotationRecorder(std::vector<std::string>& log) : m_log(log) { }
    std::vector<std::string>& m_log;
};

} // namespace

TEST(TestKitTest, RotationTurnsScreenWindowStatusBarAndDeviceAndTellsControllersInOrder)
{
    UITestHarness harness { { 320, 568 }, 2 };
    std::vector<std::string> log;
    auto root = RotationRecorder::create(log);
    harness.window()->setRootViewController(root);
    auto child = RotationRecorder::create(log);
    root->addChildViewController(child);
    child->view()->setFrame(root->view()->bounds());
    child->view()->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    root->view()->addSubview(child->view());
    auto token = NotificationCenter::defaultCenter()->addObserver(UITestHarness::kOrientationNotification, nullptr,
        [&](const Notification&) { log.push_back("notified"); });

    harness.rotate();
    EXPECT_EQ(Screen::main().bounds(), Rect(0, 0, 568, 320));
    EXPECT_EQ(harness.window()->frame(), Rect(0, 0, 568, 320));
    EXPECT_EQ(root->view()->frame(), Rect(0, 0, 568, 320)) << "the root view follows the window";
    EXPECT_EQ(Application::shared().statusBarFrame(), Rect(0, 0, 568, 20));
    EXPECT_EQ(Application::shared().statusBarOrientation(), InterfaceOrientation::LandscapeRight);
    EXPECT_EQ(DeviceInfo::current().orientation, DeviceOrientation::LandscapeLeft);
    EXPECT_EQ(DeviceInfo::current().screenWidth, 568);
    EXPECT_EQ(log, (std::vector<std::string> { "will 3 at width 320", "will 3 at width 320", "did from 1 at width 568",
                       "did from 1 at width 568", "notified" }));

    log.clear();
    harness.rotate(DeviceOrientation::LandscapeRight);
    EXPECT_EQ(Screen::main().bounds(), Rect(0, 0, 568, 320)) << "landscape to landscape keeps the size";
    EXPECT_EQ(Application::shared().statusBarOrientation(), InterfaceOrientation::LandscapeLeft);
    harness.rotate(DeviceOrientation::FaceUp);
    EXPECT_EQ(DeviceInfo::current().orientation, DeviceOrientation::FaceUp);
    EXPECT_EQ(Application::shared().statusBarOrientation(), InterfaceOrientation::LandscapeLeft) << "face up turns no interface";
    EXPECT_EQ(log.back(), "notified");
    harness.rotate();
    EXPECT_EQ(Screen::main().bounds(), Rect(0, 0, 320, 568)) << "back to portrait";
    token.reset();
}

TEST(TestKitTest, ViewsAreFoundByWidgetIdAndTappedThere)
{
    UITestHarness harness { { 320, 568 }, 1 };
    auto container = View::create({ 20, 30, 200, 200 });
    container->setBounds({ 0, 50, 200, 200 }); // scrolled by 50
    auto button = Button::create(ButtonType::Custom, { 10, 60, 80, 40 });
    button->setDebugName("w7");
    container->addSubview(button);
    harness.window()->addSubview(container);
    int taps = 0;
    button->addAction([&](Control&, const Event*) { ++taps; }, ControlEventTouchUpInside);
    auto found = harness.find("w7");
    ASSERT_EQ(found, button);
    EXPECT_EQ(harness.touches().windowPoint(*found, { 5, 5 }), Point(35, 45));
    harness.touches().tapView(*found, { 5, 5 });
    EXPECT_EQ(taps, 1);
    EXPECT_NE(harness.dump().find("Button \"w7\" frame=(10, 60, 80, 40)"), std::string::npos) << harness.dump();
}

TEST(TestKitTest, TheKeyboardIsAnnouncedWhenTextInputTakesAndLeavesTheFocus)
{
    UITestHarness harness { { 320, 568 }, 1 };
    auto first = TextField::create({ 10, 10, 200, 30 });
    auto second = TextField::create({ 10, 60, 200, 30 });
    harness.window()->addSubview(first);
    harness.window()->addSubview(second);
    std::vector<std::string> log;
    Value shownFrame;
    auto center = NotificationCenter::defaultCenter();
    std::vector<ObserverToken> tokens;
    for (const char* name : { Keyboard::kWillShowNotification, Keyboard::kDidShowNotification, Keyboard::kWillHideNotification,
             Keyboard::kDidHideNotification }) {
        tokens.push_back(center->addObserver(name, nullptr, [&, name = std::string(name)](const Notification& notification) {
            log.push_back(name);
            shownFrame = notification.userInfo[Keyboard::kFrameEndKey];
        }));
    }
    first->becomeFirstResponder();
    EXPECT_EQ(log, (std::vector<std::string> { "UIKeyboardWillShowNotification", "UIKeyboardDidShowNotification" }));
    EXPECT_EQ(shownFrame, Value::array({ 0.0, 352.0, 320.0, 216.0 }));
    EXPECT_TRUE(Keyboard::shared().isVisible());
    log.clear();
    second->becomeFirstResponder();
    EXPECT_TRUE(log.empty()) << "from one text input to another the keyboard stays";
    harness.window()->endEditing(true);
    EXPECT_EQ(log, (std::vector<std::string> { "UIKeyboardWillHideNotification", "UIKeyboardDidHideNotification" }));
    EXPECT_EQ(shownFrame, Value::array({ 0.0, 568.0, 320.0, 216.0 })) << "it leaves downwards";
    EXPECT_FALSE(Keyboard::shared().isVisible());
}
