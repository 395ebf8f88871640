#include "shell/ApplicationFrameRoot.h"

#include "core/session/MorvixClient.h"
#include "shell/DeveloperConsole.h"
#include "shell/DisplayRootViewController.h"
#include "shell/Drawer.h"
#include "shell/DrawerViewController.h"
#include "shell/PageViewController.h"
#include "shell/TopLevelViewController.h"
#include "shell/drawer/DWDrawerController.h"
#include "widgets/text/FontHelper.h"

namespace morvix {

std::shared_ptr<ApplicationFrameRoot> ApplicationFrameRoot::create(std::weak_ptr<ApplicationFrameClient> client)
{
    std::shared_ptr<ApplicationFrameRoot> frame(new ApplicationFrameRoot);
    frame->m_client = client;
    frame->m_placeholder = PageViewController::create();
    frame->m_root = DisplayRootViewController::create(client, frame->m_placeholder);
    frame->m_topLevel = TopLevelViewController::create(client);
    // The session has no bindings yet, so none supplies its own drawer: the menu goes on the
    // left until the session's delegate is set.
    frame->m_container = DWDrawerController::create(frame->m_root, frame->m_topLevel, nullptr);
    frame->m_container->setShouldStretchDrawer(false);
    frame->m_container->setStatusBarViewBackgroundColor(FontHelper::backgroundColor());
    frame->m_container->setOpenDrawerGestureModeMask(DWOpenGestureNone);
    frame->m_container->setCloseDrawerGestureModeMask(kCloseGestures);
    return frame;
}

void ApplicationFrameRoot::install()
{
    ApplicationFrameController::setFactory([](std::weak_ptr<ApplicationFrameClient> client) -> std::shared_ptr<ApplicationFrameController> {
        return create(std::move(client));
    });
}

std::shared_ptr<platform::ViewController> ApplicationFrameRoot::rootController() const
{
    return m_root;
}

std::shared_ptr<platform::View> ApplicationFrameRoot::topView() const
{
    auto top = m_root->topViewController();
    return top ? top->view() : nullptr;
}

void ApplicationFrameRoot::setMorvixUIActive(bool active)
{
    m_root->setMorvixUIActive(active);
}

void ApplicationFrameRoot::reset()
{
    m_root->reset();
    m_topLevel->reset();
    if (m_console)
        m_console->clear();
}

std::shared_ptr<platform::View> ApplicationFrameRoot::activeTextField() const
{
    return m_root->activeTextField();
}

void ApplicationFrameRoot::setActiveTextField(std::shared_ptr<platform::View> field)
{
    m_root->setActiveTextField(std::move(field));
}

void ApplicationFrameRoot::dismissFocus()
{
    m_root->dismissFocus();
}

std::shared_ptr<TopLevelMenu> ApplicationFrameRoot::topLevelMenu() const
{
    return m_topLevel;
}

bool ApplicationFrameRoot::topLevelMenuHasChoices() const
{
    return m_topLevel->hasChoices();
}

// MARK: The drawer container

std::shared_ptr<platform::ViewController> ApplicationFrameRoot::windowRootController() const
{
    return m_container;
}

void ApplicationFrameRoot::setLeftDrawer(const std::shared_ptr<RemoteObject>& drawer, bool customDrawer)
{
    if (auto object = std::dynamic_pointer_cast<Drawer>(drawer)) {
        m_container->setLeftDrawerViewController(object->viewController());
        return;
    }
    m_container->setLeftDrawerViewController(customDrawer ? nullptr : m_topLevel);
}

void ApplicationFrameRoot::setOpenDrawerGestureEnabled(bool enabled)
{
    m_container->setOpenDrawerGestureModeMask(enabled ? DWOpenGestureBezelPan : DWOpenGestureNone);
}

bool ApplicationFrameRoot::isOpenDrawerGestureEnabled() const
{
    return m_container->openDrawerGestureModeMask() != DWOpenGestureNone;
}

void ApplicationFrameRoot::toggleDrawer(FrameDrawerSide side)
{
    switch (side) {
    case FrameDrawerSide::Left:
        m_container->toggleDrawerSide(DWSideLeft, true);
        return;
    case FrameDrawerSide::Right:
        m_container->toggleDrawerSide(DWSideRight, true);
        return;
    }
}

void ApplicationFrameRoot::openLeftDrawer()
{
    m_container->openDrawerSide(DWSideLeft, true);
}

void ApplicationFrameRoot::closeDrawer()
{
    m_container->closeDrawerAnimated(true);
}

void ApplicationFrameRoot::setShowsStatusBarBackground(bool shows)
{
    m_container->setShowsStatusBarBackgroundView(shows);
}

void ApplicationFrameRoot::setStatusBarBackgroundColor(const std::optional<platform::Color>& color)
{
    m_container->setStatusBarViewBackgroundColor(color.value_or(FontHelper::backgroundColor()));
}

// MARK: The developer console

void ApplicationFrameRoot::setDeveloperConsoleEnabled(bool enabled)
{
    m_console = enabled ? DeveloperConsole::create(std::dynamic_pointer_cast<MorvixClient>(m_client.lock())) : nullptr;
    m_container->setRightDrawerViewController(m_console);
}

std::shared_ptr<platform::ViewController> ApplicationFrameRoot::developerConsole() const
{
    return m_console;
}

void ApplicationFrameRoot::logToConsole(const LogEntry& entry)
{
    if (m_console)
        m_console->log(entry);
}

} // namespace morvix
