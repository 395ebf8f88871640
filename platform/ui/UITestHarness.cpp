#include "platform/ui/UITestHarness.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TreeDump.h"
#include "platform/ui/Window.h"

namespace morvix::platform {

namespace {

std::shared_ptr<Window> prepare(const std::shared_ptr<ManualClock>& clock, Size screen, double scale)
{
    Clock::install(clock);
    MainLoop::main().resetForTesting();
    Animator::shared().resetForTesting();
    Application::shared().resetForTesting();
    Screen::main().setBounds(Rect(0, 0, screen.width, screen.height));
    Screen::main().setScale(scale);
    Application::shared().setStatusBarFrame(Rect(0, 0, screen.width, 20));
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
    Screen::main().resetForTesting();
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

void UITestHarness::rotate()
{
    Rect screen = Screen::main().bounds();
    Rect turned(0, 0, screen.height(), screen.width());
    Screen::main().setBounds(turned);
    m_window->setFrame(turned);
    auto& application = Application::shared();
    bool portrait = turned.height() >= turned.width();
    application.setStatusBarOrientation(portrait ? InterfaceOrientation::Portrait : InterfaceOrientation::LandscapeRight);
    application.setStatusBarFrame(Rect(0, 0, turned.width(), 20));
    m_window->layoutIfNeeded();
    NotificationCenter::defaultCenter()->post(kOrientationNotification);
}

} // namespace morvix::platform
