#include "shell/DrawerViewController.h"

#include "core/session/ApplicationFrameClient.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "shell/DisplayRootViewController.h"
#include "widgets/text/FontHelper.h"

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
    auto scroll = platform::ScrollView::create(platform::Screen::main().bounds());
    scroll->setTranslatesAutoresizingMaskIntoConstraints(true);
    scroll->setAlpha(1.0);
    scroll->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
    scroll->setBounces(false);
    scroll->setCanCancelContentTouches(true);
    scroll->setClipsToBounds(true);
    scroll->setDelaysContentTouches(false);
    scroll->setMultipleTouchEnabled(true);
    scroll->setBackgroundColor(FontHelper::backgroundColor());
    setView(scroll);
}

void DrawerViewController::viewDidAppear(bool animated)
{
    // Once per appearance, however often the platform reports it.
    if (!m_keyboardShows.isActive()) {
        auto center = platform::NotificationCenter::defaultCenter();
        std::weak_ptr<DrawerViewController> weak = std::static_pointer_cast<DrawerViewController>(shared_from_this());
        m_keyboardShows = center->addObserver(platform::Keyboard::kWillShowNotification, nullptr, [weak](const platform::Notification& notification) {
            if (auto self = weak.lock())
                self->keyboardWillChange(notification, true);
        });
        m_keyboardHides = center->addObserver(platform::Keyboard::kWillHideNotification, nullptr, [weak](const platform::Notification& notification) {
            if (auto self = weak.lock())
                self->keyboardWillChange(notification, false);
        });
    }
    ViewController::viewDidAppear(animated);
}

void DrawerViewController::viewDidDisappear(bool animated)
{
    ViewController::viewDidDisappear(animated);
    m_keyboardShows.reset();
    m_keyboardHides.reset();
}

bool DrawerViewController::prefersStatusBarHidden() const
{
    auto client = m_client.lock();
    return client && client->statusBarHidden();
}

void DrawerViewController::keyboardWillChange(const platform::Notification& notification, bool shows)
{
    auto client = m_client.lock();
    auto root = client ? std::dynamic_pointer_cast<DisplayRootViewController>(client->rootController()) : nullptr;
    if (!root)
        return;
    if (shows)
        root->keyboardWillBeShown(notification, *scrollView());
    else
        root->keyboardWillBeHidden(notification, *scrollView());
}

} // namespace morvix
