#include "platform/ui/rendering/UITestHarness.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/TreeDump.h"

namespace morvix::platform {

namespace {

std::shared_ptr<Window> prepare(const std::shared_ptr<ManualClock>& clock, Size screen, double scale)
{
    Clock::install(clock);
    MainLoop::main().resetForTesting();
    Animator::shared().resetForTesting();
    Application::shared().resetForTesting();
    Keyboard::shared().resetForTesting();
    Screen::main().setBounds(Rect(0, 0, screen.width, screen.height));
    Screen::main().setScale(scale);
    Application::shared().setStatusBarFrame(Rect(0, 0, screen.width, 20));
    DeviceInfo device = DeviceInfo::current();
    device.screenWidth = screen.width;
    device.screenHeight = screen.height;
    device.screenScale = scale;
    device.orientation = DeviceOrientation::Portrait;
    DeviceInfo::setCurrent(device);
    auto window = Window::create(Screen::main().bounds());
    window->makeKeyAndVisible();
    return window;
}

} // namespace

UITestHarness::UITestHarness(Size screen, double scale)
    : m_clock(std::make_shared<ManualClock>())
    , m_window(prepare(m_clock, screen, scale))
    , m_touches(m_window)
{
}

UITestHarness::~UITestHarness()
{
    MainLoop::main().resetForTesting();
    Animator::shared().resetForTesting();
    Application::shared().resetForTesting();
    Keyboard::shared().resetForTesting();
    Screen::main().resetForTesting();
    DeviceInfo::resetForTesting();
    m_window.reset();
    Clock::install(nullptr);
}

void UITestHarness::advance(double seconds)
{
    TouchDriver::advance(seconds);
}

void UITestHarness::runUntilIdle()
{
    MainLoop::main().runUntilIdle();
}

std::shared_ptr<View> UITestHarness::find(const std::string& name) const
{
    return findView(*m_window, name);
}

std::string UITestHarness::dump() const
{
    return dumpTree(*m_window);
}

bool UITestHarness::pressAlertButton(const std::string& title)
{
    return Application::shared().pressAlertButton(title);
}

namespace {

InterfaceOrientation interfaceOrientationFor(DeviceOrientation orientation)
{
    // The interface turns the other way round from the device.
    switch (orientation) {
    case DeviceOrientation::Portrait:
        return InterfaceOrientation::Portrait;
    case DeviceOrientation::PortraitUpsideDown:
        return InterfaceOrientation::PortraitUpsideDown;
    case DeviceOrientation::LandscapeLeft:
        return InterfaceOrientation::LandscapeRight;
    case DeviceOrientation::LandscapeRight:
        return InterfaceOrientation::LandscapeLeft;
    case DeviceOrientation::Unknown:
    case DeviceOrientation::FaceUp:
    case DeviceOrientation::FaceDown:
        return InterfaceOrientation::Unknown;
    }
    return InterfaceOrientation::Unknown;
}

bool isLandscape(InterfaceOrientation orientation)
{
    return orientation == InterfaceOrientation::LandscapeLeft || orientation == InterfaceOrientation::LandscapeRight;
}

} // namespace

void UITestHarness::rotate(DeviceOrientation orientation)
{
    auto& application = Application::shared();
    Rect screen = Screen::main().bounds();
    bool wasLandscape = screen.width() > screen.height();
    if (orientation == DeviceOrientation::Unknown)
        orientation = wasLandscape ? DeviceOrientation::Portrait : DeviceOrientation::LandscapeLeft;
    DeviceInfo device = DeviceInfo::current();
    device.orientation = orientation;
    InterfaceOrientation interface = interfaceOrientationFor(orientation);
    if (interface == InterfaceOrientation::Unknown) {
        DeviceInfo::setCurrent(device);
        NotificationCenter::defaultCenter()->post(kOrientationNotification);
        return;
    }
    NotificationCenter::defaultCenter()->post(Application::kWillChangeStatusBarOrientationNotification);
    InterfaceOrientation old = application.statusBarOrientation();
    // Each window's root controller hears the calls and passes them on to its children, unless
    // it forwards them itself.
    auto roots = [&application] {
        std::vector<std::shared_ptr<ViewController>> controllers;
        for (const auto& window : application.windows()) {
            if (auto root = window->rootViewController())
                controllers.push_back(root);
        }
        return controllers;
    };
    for (const auto& root : roots())
        root->deliverWillRotate(static_cast<int>(interface), 0);
    Rect turned = isLandscape(interface) == wasLandscape ? screen : Rect(0, 0, screen.height(), screen.width());
    Screen::main().setBounds(turned);
    m_window->setFrame(turned);
    application.setStatusBarOrientation(interface);
    application.setStatusBarFrame(Rect(0, 0, turned.width(), 20));
    device.screenWidth = turned.width();
    device.screenHeight = turned.height();
    DeviceInfo::setCurrent(device);
    for (const auto& root : roots())
        root->deliverWillAnimateRotation(static_cast<int>(interface), 0);
    m_window->layoutIfNeeded();
    for (const auto& root : roots())
        root->deliverDidRotate(static_cast<int>(old));
    NotificationCenter::defaultCenter()->post(Application::kDidChangeStatusBarOrientationNotification);
    NotificationCenter::defaultCenter()->post(kOrientationNotification);
}

} // namespace morvix::platform
