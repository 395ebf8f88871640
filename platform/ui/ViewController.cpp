#include "platform/ui/ViewController.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace morvix::platform {

std::shared_ptr<ViewController> ViewController::create()
{
    return std::shared_ptr<ViewController>(new ViewController);
}

ViewController::~ViewController() = default;

std::shared_ptr<View> ViewController::view()
{
    assertOnMainThread();
    if (!m_view) {
        loadView();
        if (!m_view)
            setView(View::create(Screen::main().bounds()));
        viewDidLoad();
    }
    return m_view;
}

void ViewController::setView(std::shared_ptr<View> view)
{
    if (m_view)
        m_view->setViewController(nullptr);
    m_view = std::move(view);
    if (m_view)
        m_view->setViewController(self());
}

void ViewController::loadView()
{
    setView(View::create(Screen::main().bounds()));
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated)
{
    assertOnMainThread();
    if (appearing) {
        if (m_appearance == AppearanceState::Appeared || m_appearance == AppearanceState::Appearing)
            return;
        m_appearance = AppearanceState::Appearing;
        m_appearanceAnimated = animated;
        viewWillAppear(animated);
    } else {
        if (m_appearance == AppearanceState::Disappeared || m_appearance == AppearanceState::Disappearing)
            return;
        m_appearance = AppearanceState::Disappearing;
        m_appearanceAnimated = animated;
        viewWillDisappear(animated);
    }
    if (!shouldAutomaticallyForwardAppearanceMethods())
        return;
    for (const auto& child : appearanceChildren())
        child->beginAppearanceTransition(appearing, animated);
}

void ViewController::endAppearanceTransition()
{
    assertOnMainThread();
    if (m_appearance == AppearanceState::Appearing) {
        m_appearance = AppearanceState::Appeared;
        viewDidAppear(m_appearanceAnimated);
    } else if (m_appearance == AppearanceState::Disappearing) {
        m_appearance = AppearanceState::Disappeared;
        viewDidDisappear(m_appearanceAnimated);
    } else {
        return;
    }
    if (!shouldAutomaticallyForwardAppearanceMethods())
        return;
    for (const auto& child : appearanceChildren())
        child->endAppearanceTransition();
}

void ViewController::setTitle(std::string title)
{
    m_title = std::move(title);
    if (m_navigationItem)
        m_navigationItem->setTitle(m_title);
}

std::shared_ptr<NavigationItem> ViewController::navigationItem()
{
    if (!m_navigationItem) {
        m_navigationItem = NavigationItem::create(m_title);
    }
    return m_navigationItem;
}

std::shared_ptr<TabBarItem> ViewController::tabBarItem()
{
    if (!m_tabBarItem)
        m_tabBarItem = TabBarItem::create(m_title);
    return m_tabBarItem;
}

void ViewController::setToolbarItems(std::vector<std::shared_ptr<BarButtonItem>> items, Animated)
{
    m_toolbarItems = std::move(items);
    if (auto navigation = navigationController())
        navigation->toolbarItemsChanged(*this);
}

void ViewController::addChildViewController(const std::shared_ptr<ViewController>& child)
{
    assertOnMainThread();
    if (!child || child.get() == this || child->parentViewController().get() == this)
        return;
    child->removeFromParentViewController();
    child->willMoveToParentViewController(self());
    m_children.push_back(child);
    child->m_parent = self();
}

void ViewController::removeFromParentViewController()
{
    assertOnMainThread();
    auto parent = m_parent.lock();
    if (!parent)
        return;
    auto keep = self();
    std::erase(parent->m_children, keep);
    m_parent.reset();
    didMoveToParentViewController(nullptr);
}

std::shared_ptr<NavigationController> ViewController::navigationController() const
{
    for (auto parent = parentViewController(); parent; parent = parent->parentViewController()) {
        if (auto navigation = std::dynamic_pointer_cast<NavigationController>(parent))
            return navigation;
    }
    return nullptr;
}

void ViewController::presentViewController(const std::shared_ptr<ViewController>& controller, Animated animated, Completion completion)
{
    assertOnMainThread();
    auto presenter = self();
    while (auto parent = presenter->parentViewController())
        presenter = parent;
    if (!controller)
        return;
    if (presenter->m_presented) {
        std::fprintf(stderr, "view: cannot present %s: %s already presents %s\n", controller->className(), presenter->className(),
            presenter->m_presented->className());
        return;
    }
    if (controller->presentingViewController() || controller->parentViewController()) {
        std::fprintf(stderr, "view: cannot present %s: it is already presented or contained\n", controller->className());
        return;
    }
    presenter->m_presented = controller;
    controller->m_presenting = presenter;
    controller->m_beingPresented = true;
    bool isAnimated = animated == Animated::Yes;
    bool fullScreen = controller->modalPresentationStyle() == ModalPresentationStyle::FullScreen;
    auto window = presenter->isViewLoaded() ? presenter->view()->window() : nullptr;
    if (!window)
        window = Application::shared().keyWindow();
    auto view = controller->view();
    controller->beginAppearanceTransition(true, isAnimated);
    if (fullScreen && presenter->appearanceState() == AppearanceState::Appeared)
        presenter->beginAppearanceTransition(false, isAnimated);
    if (window) {
        view->setFrame(window->bounds());
        view->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        window->addSubview(view);
    }
    finishPresentation(presenter, controller, isAnimated, true, std::move(completion));
}

void ViewController::dismissViewController(Animated animated, Completion completion)
{
    assertOnMainThread();
    auto presenter = m_presented ? self() : presentingViewController();
    if (!presenter || !presenter->m_presented)
        return;
    auto presented = presenter->m_presented;
    if (presented->m_beingDismissed)
        return;
    presented->m_beingDismissed = true;
    presented->m_beingPresented = false;
    bool isAnimated = animated == Animated::Yes;
    bool fullScreen = presented->modalPresentationStyle() == ModalPresentationStyle::FullScreen;
    presented->beginAppearanceTransition(false, isAnimated);
    // A presenter still disappearing under an animated presentation comes back as well.
    auto presenterState = presenter->appearanceState();
    if (fullScreen && (presenterState == AppearanceState::Disappeared || presenterState == AppearanceState::Disappearing))
        presenter->beginAppearanceTransition(true, isAnimated);
    finishPresentation(presenter, presented, isAnimated, false, std::move(completion));
}

void ViewController::finishPresentation(std::shared_ptr<ViewController> presenter, std::shared_ptr<ViewController> presented, bool animated,
    bool presenting, Completion completion)
{
    auto transition = ++presented->m_presentationTransitions;
    auto finish = [presenter, presented, presenting, transition, completion = std::move(completion)] {
        // A presentation overtaken by a dismissal leaves the appearance calls to the dismissal.
        if (presenting && presented->m_presentationTransitions != transition) {
            if (completion)
                completion();
            return;
        }
        if (!presenting) {
            if (presented->isViewLoaded())
                presented->view()->removeFromSuperview();
        }
        presented->endAppearanceTransition();
        presenter->endAppearanceTransition();
        if (presenting) {
            presented->m_beingPresented = false;
        } else {
            presented->m_beingDismissed = false;
            presented->m_presenting.reset();
            if (presenter->m_presented == presented)
                presenter->m_presented.reset();
        }
        if (completion)
            completion();
    };
    if (!animated) {
        finish();
        return;
    }
    auto delay = std::chrono::round<Duration>(std::chrono::duration<double>(kTransitionDuration));
    MainLoop::main().postAfter(delay, std::move(finish));
}

void ViewController::deliverWillRotate(int orientation, double duration)
{
    auto keep = self();
    willRotateToInterfaceOrientation(orientation, duration);
    if (shouldAutomaticallyForwardRotationMethods()) {
        for (const auto& child : std::vector(m_children))
            child->deliverWillRotate(orientation, duration);
    }
    if (auto presented = m_presented)
        presented->deliverWillRotate(orientation, duration);
}

void ViewController::deliverWillAnimateRotation(int orientation, double duration)
{
    auto keep = self();
    willAnimateRotationToInterfaceOrientation(orientation, duration);
    if (shouldAutomaticallyForwardRotationMethods()) {
        for (const auto& child : std::vector(m_children))
            child->deliverWillAnimateRotation(orientation, duration);
    }
    if (auto presented = m_presented)
        presented->deliverWillAnimateRotation(orientation, duration);
}

void ViewController::deliverDidRotate(int orientation)
{
    auto keep = self();
    didRotateFromInterfaceOrientation(orientation);
    if (shouldAutomaticallyForwardRotationMethods()) {
        for (const auto& child : std::vector(m_children))
            child->deliverDidRotate(orientation);
    }
    if (auto presented = m_presented)
        presented->deliverDidRotate(orientation);
}

std::shared_ptr<Responder> ViewController::nextResponder() const
{
    if (m_view) {
        if (auto superview = m_view->superview())
            return superview;
    }
    return parentViewController();
}

std::shared_ptr<Window> ViewController::responderWindow() const
{
    return m_view ? m_view->window() : nullptr;
}

} // namespace morvix::platform
