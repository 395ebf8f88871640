#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

class DismissRecorder final : public PopoverControllerDelegate {
public:
    int dismissed = 0;
    void popoverControllerDidDismissPopover(PopoverController&) override { ++dismissed; }
};

std::shared_ptr<Button> buttonCounting(const Rect& frame, int& taps)
{
    auto button = Button::create(ButtonType::Custom, frame);
    button->addAction([&taps](Control&, const Event*) { ++taps; }, ControlEventTouchUpInside);
    return button;
}

} // namespace

TEST(WindowLevelTest, TouchesGoToTheTopmostVisibleWindowByLevelThenLatestShown)
{
    UITestHarness harness;
    int below = 0;
    int above = 0;
    int later = 0;
    harness.window()->addSubview(buttonCounting({ 0, 0, 320, 568 }, below));
    auto alert = Window::create();
    alert->setLevel(Window::kLevelAlert);
    alert->addSubview(buttonCounting({ 0, 400, 320, 168 }, above));
    auto normal = Window::create({ 0, 300, 320, 268 });
    normal->addSubview(buttonCounting({ 0, 0, 320, 268 }, later));

    // Not yet shown: the driver's own window takes the tap.
    harness.touches().tap({ 10, 450 });
    EXPECT_EQ(below, 1);
    alert->makeVisible();
    normal->makeVisible();
    EXPECT_EQ(Application::shared().keyWindow(), harness.window()) << "showing is not making key";
    EXPECT_EQ(Application::shared().visibleWindowsInLevelOrder(), (std::vector<std::shared_ptr<Window>> { harness.window(), normal, alert }));
    harness.touches().tap({ 10, 450 });
    EXPECT_EQ(above, 1) << "the alert level is above the later normal window";
    harness.touches().tap({ 10, 350 });
    EXPECT_EQ(later, 0) << "the alert window covers the screen: it takes the touch, beside its button";
    alert->setHidden(true);
    harness.touches().tap({ 10, 450 });
    EXPECT_EQ(later, 1);
    EXPECT_EQ(below, 1);
}

TEST(WindowLevelTest, KeyWindowPictureDrawsEveryVisibleWindowInLevelOrder)
{
    UITestHarness harness { { 100, 100 }, 1 };
    harness.window()->setBackgroundColor(Color::fromRGBA(1, 0, 0));
    auto sheet = Window::create();
    sheet->setLevel(Window::kLevelAlert);
    auto bottom = View::create({ 0, 50, 100, 50 });
    bottom->setBackgroundColor(Color::fromRGBA(0, 0, 1));
    sheet->addSubview(bottom);
    sheet->makeKeyAndVisible();
    auto path = (std::filesystem::path(::testing::TempDir()) / "window-levels.png").string();
    ASSERT_TRUE(Renderer::renderKeyWindowPNG(path));
    auto image = Image::readFile(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelAt(10, 10), (Pixel { 255, 0, 0, 255 })) << "the application's window under the sheet's";
    EXPECT_EQ(image->pixelAt(10, 90), (Pixel { 0, 0, 255, 255 }));
}

TEST(WindowLevelTest, WillChangeOrientationIsPostedBeforeControllersHearOfTheRotation)
{
    UITestHarness harness;
    std::vector<std::string> log;
    class Root final : public ViewController {
    public:
        explicit Root(std::vector<std::string>& log) : m_log(log) { }
        void willRotateToInterfaceOrientation(int, double) override { m_log.push_back("will rotate"); }

    private:
        std::vector<std::string>& m_log;
    };
    harness.window()->setRootViewController(std::make_shared<Root>(log));
    auto token = NotificationCenter::defaultCenter()->addObserver(Application::kWillChangeStatusBarOrientationNotification, nullptr,
        [&](const Notification&) { log.push_back("will change"); });
    EXPECT_EQ(Application::shared().supportedInterfaceOrientations(harness.window().get()), InterfaceOrientationMask::All);
    harness.rotate(DeviceOrientation::LandscapeLeft);
    EXPECT_EQ(log, (std::vector<std::string> { "will change", "will rotate" }));
}

TEST(PopoverControllerTest, PresentsAtItsPreferredSizeNextToTheOriginAndOnlyAnOutsideTapTellsTheDelegate)
{
    UITestHarness harness { { 768, 1024 }, 1 };
    auto content = ViewController::create();
    content->setPreferredContentSize({ 320, 260 });
    int taps = 0;
    content->view()->addSubview(buttonCounting({ 0, 0, 320, 260 }, taps));
    auto popover = PopoverController::create(content);
    auto delegate = std::make_shared<DismissRecorder>();
    popover->setDelegate(delegate);

    auto loose = View::create({ 0, 0, 10, 10 });
    EXPECT_FALSE(popover->presentFromRect(loose->bounds(), loose, PopoverArrowDirection::Any, Animated::Yes)) << "a view in no window";
    auto item = BarButtonItem::create("Pick");
    EXPECT_FALSE(popover->presentFromBarButtonItem(item, PopoverArrowDirection::Any, Animated::Yes));
    EXPECT_FALSE(popover->isPopoverVisible());

    auto anchor = View::create({ 100, 100, 50, 20 });
    harness.window()->addSubview(anchor);
    ASSERT_TRUE(popover->presentFromRect(anchor->bounds(), anchor, PopoverArrowDirection::Any, Animated::Yes));
    EXPECT_TRUE(popover->isPopoverVisible());
    EXPECT_EQ(Application::shared().popovers(), (std::vector<std::shared_ptr<PopoverController>> { popover }));
    EXPECT_EQ(popover->window()->frame().size, (Size { 320, 260 }));
    EXPECT_EQ(content->view()->bounds(), Rect(0, 0, 320, 260));
    harness.touches().tap(harness.touches().windowPoint(*content->view(), { 160, 130 }));
    EXPECT_EQ(taps, 1) << "the popover's window takes touches over the application's";

    popover->dismiss(Animated::Yes);
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_TRUE(Application::shared().popovers().empty());
    EXPECT_EQ(delegate->dismissed, 0);
    EXPECT_EQ(Application::shared().windows().size(), 1u);

    std::weak_ptr<PopoverController> weak = popover;
    ASSERT_TRUE(popover->presentFromRect(anchor->bounds(), anchor, PopoverArrowDirection::Any, Animated::No));
    popover.reset();
    ASSERT_FALSE(weak.expired()) << "the application keeps a visible popover";
    weak.lock()->tapOutside();
    EXPECT_EQ(delegate->dismissed, 1);
    EXPECT_TRUE(weak.expired());
}
