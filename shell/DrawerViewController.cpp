#include "shell/DrawerViewController.h"

#include "core/session/ApplicationFrameClient.h"
#include "platform/ui/ScrollView.h"
#include "shell/DisplayRootViewController.h"
#include "shell/PageViewController.h"

namespace morvix {

std::shared_ptr<DrawerViewController> DrawerViewController::create(std::weak_ptr<ApplicationFrameClient> client)
{
    std::shared_ptr<DrawerViewController> controller(new DrawerViewController);
    controller->m_client = std::move(client);
    controller->setHidesBottomBarWhenPushed(false);
    controller->setEdgesForExtendedLayout(0);
    controller->setAutomaticallyAdjustsScrollViewInsets(false);
    return controller;
}

std::shared_ptr<platform::ScrollView> DrawerViewController::scrollView()
{
    return std::static_pointer_cast<platform::ScrollView>(view());
}

void DrawerViewController::loadView()
{
    auto scroll = PageViewController::makeScrollView();
    scroll->setTranslatesAutoresizingMaskIntoConstraints(true);
    setView(scroll);
}

void DrawerViewController::viewDidAppear(bool animated)
{
    std::weak_ptr<DrawerViewController> weak = std::static_pointer_cast<DrawerViewController>(shared_from_this());
    m_keyboard.start([weak](const platform::Notification& notification, KeyboardChange change) {
        if (auto self = weak.lock())
            self->keyboardWillChange(notification, change);
    });
    ViewController::viewDidAppear(animated);
}

void DrawerViewController::viewDidDisappear(bool animated)
{
    ViewController::viewDidDisappear(animated);
    m_keyboard.stop();
}

bool DrawerViewController::prefersStatusBarHidden() const
{
    auto client = m_client.lock();
    return client && client->statusBarHidden();
}

void DrawerViewController::keyboardWillChange(const platform::Notification& notification, KeyboardChange change)
{
    auto client = m_client.lock();
    auto root = client ? std::dynamic_pointer_cast<DisplayRootViewController>(client->rootController()) : nullptr;
    if (root)
        KeyboardRelay::handOver(*root, notification, change, *scrollView());
}

} // namespace morvix
