#include "shell/PageViewController.h"

#include "core/session/ApplicationFrameClient.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "shell/DisplayRootViewController.h"
#include "shell/FramePage.h"
#include "widgets/text/FontHelper.h"

#include <algorithm>

namespace morvix {

std::shared_ptr<PageViewController> PageViewController::create()
{
    return std::shared_ptr<PageViewController>(new PageViewController);
}

std::shared_ptr<PageViewController> PageViewController::create(std::weak_ptr<FramePage> page)
{
    auto controller = create();
    controller->m_page = std::move(page);
    controller->setHidesBottomBarWhenPushed(false);
    controller->setEdgesForExtendedLayout(0);
    controller->setAutomaticallyAdjustsScrollViewInsets(false);
    return controller;
}

std::shared_ptr<platform::ScrollView> PageViewController::scrollView()
{
    return std::static_pointer_cast<platform::ScrollView>(view());
}

std::shared_ptr<DisplayRootViewController> PageViewController::displayRootViewController() const
{
    return std::dynamic_pointer_cast<DisplayRootViewController>(navigationController());
}

bool PageViewController::wasNavigatedBackByUser() const
{
    auto page = this->page();
    if (page && page->isTopLevel())
        return false;
    auto navigation = navigationController();
    if (!navigation)
        return true;
    const auto& stack = navigation->viewControllers();
    return std::none_of(stack.begin(), stack.end(), [this](const auto& controller) { return controller.get() == this; });
}

std::shared_ptr<platform::ScrollView> PageViewController::makeScrollView()
{
    auto scroll = platform::ScrollView::create(platform::Screen::main().bounds());
    scroll->setAlpha(1.0);
    scroll->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
    scroll->setBounces(false);
    scroll->setCanCancelContentTouches(true);
    scroll->setClipsToBounds(true);
    scroll->setDelaysContentTouches(false);
    scroll->setMultipleTouchEnabled(true);
    scroll->setBackgroundColor(FontHelper::backgroundColor());
    return scroll;
}

void PageViewController::loadView()
{
    setView(makeScrollView());
}

void PageViewController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    if (auto page = this->page())
        page->controllerWillAppear(*this);
}

void PageViewController::viewDidAppear(bool animated)
{
    m_wasRemoved = false;
    observeKeyboard();
    ViewController::viewDidAppear(animated);
    becomeFirstResponder();
    auto page = this->page();
    if (page) {
        auto style = page->style();
        if (std::find(style.begin(), style.end(), kFullscreenStyle.word) != style.end()) {
            if (auto root = displayRootViewController())
                root->setFullscreen(true);
        }
    }
    if (page)
        page->controllerDidAppear(*this);
}

void PageViewController::viewWillDisappear(bool animated)
{
    if (wasNavigatedBackByUser()) {
        m_wasRemoved = true;
        if (auto page = this->page())
            page->controllerWillDisappear(*this);
    }
    ViewController::viewWillDisappear(animated);
}

void PageViewController::viewDidDisappear(bool animated)
{
    ViewController::viewDidDisappear(animated);
    m_keyboard.stop();
    if (auto page = this->page(); page && m_wasRemoved)
        page->controllerDidDisappear(*this);
}

void PageViewController::didMoveToParentViewController(const std::shared_ptr<platform::ViewController>& parent)
{
    ViewController::didMoveToParentViewController(parent);
    if (auto page = this->page(); page && !parent)
        page->controllerWasRemoved(*this);
}

bool PageViewController::prefersStatusBarHidden() const
{
    auto root = displayRootViewController();
    auto client = root ? root->client() : nullptr;
    return client && client->statusBarHidden();
}

void PageViewController::observeKeyboard()
{
    std::weak_ptr<PageViewController> weak = std::static_pointer_cast<PageViewController>(shared_from_this());
    m_keyboard.start([weak](const platform::Notification& notification, KeyboardChange change) {
        if (auto self = weak.lock())
            self->keyboardWillChange(notification, change);
    });
}

void PageViewController::keyboardWillChange(const platform::Notification& notification, KeyboardChange change)
{
    if (auto root = displayRootViewController())
        KeyboardRelay::handOver(*root, notification, change, *scrollView());
}

} // namespace morvix
