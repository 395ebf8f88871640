#include "platform/ui/NavigationController.h"

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace morvix::platform {

namespace {

// The navigation controller's own view: it lays out the bars and the top controller's view.
class NavigationContainerView final : public View {
public:
    static std::shared_ptr<NavigationContainerView> create(const Rect& frame, std::weak_ptr<NavigationController> owner)
    {
        std::shared_ptr<NavigationContainerView> view(new NavigationContainerView(frame));
        view->m_owner = std::move(owner);
        return view;
    }
    const char* className() const override { return "NavigationView"; }
    void layoutSubviews() override
    {
        if (auto owner = m_owner.lock())
            owner->layoutContent();
    }
    // A navigation controller that no container, presenter or window holds as a controller (a
    // widget's own, whose view is placed as a plain view) appears when its view enters a window
    // and disappears when it leaves one, so that its stacked controllers hear their appearance.
    void didMoveToWindow() override
    {
        auto owner = m_owner.lock();
        if (!owner || owner->parentViewController() || owner->presentingViewController())
            return;
        auto window = this->window();
        if (window && window->rootViewController() == owner)
            return;
        bool appearing = window != nullptr;
        bool appeared = owner->appearanceState() == AppearanceState::Appeared || owner->appearanceState() == AppearanceState::Appearing;
        if (appearing == appeared)
            return;
        owner->beginAppearanceTransition(appearing, false);
        owner->endAppearanceTransition();
    }

private:
    explicit NavigationContainerView(const Rect& frame) : View(frame) { }
    std::weak_ptr<NavigationController> m_owner;
};

bool contains(const std::vector<std::shared_ptr<ViewController>>& list, const std::shared_ptr<ViewController>& controller)
{
    return std::find(list.begin(), list.end(), controller) != list.end();
}

} // namespace

std::shared_ptr<NavigationController> NavigationController::create(const std::shared_ptr<ViewController>& root)
{
    std::shared_ptr<NavigationController> controller(new NavigationController);
    if (root)
        controller->baseSetViewControllers({ root }, Animated::No);
    return controller;
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const
{
    auto top = topViewController();
    if (top && top->presentedViewController())
        return top->presentedViewController();
    return top;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::appearanceChildren() const
{
    if (auto top = topViewController())
        return { top };
    return {};
}

// ---- Public stack operations ----

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& controller, Animated animated)
{
    basePush(controller, animated);
}

std::shared_ptr<ViewController> NavigationController::popViewController(Animated animated)
{
    return basePop(animated);
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToViewController(const std::shared_ptr<ViewController>& controller, Animated animated)
{
    return basePopTo(controller, animated);
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewController(Animated animated)
{
    return basePopToRoot(animated);
}

void NavigationController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, Animated animated)
{
    baseSetViewControllers(std::move(controllers), animated);
}

// ---- Base operations ----

void NavigationController::basePush(const std::shared_ptr<ViewController>& controller, Animated animated, Completion completion)
{
    assertOnMainThread();
    if (!controller || contains(m_stack, controller)) {
        std::fprintf(stderr, "navigation: refusing to push a controller that is already on the stack\n");
        return;
    }
    auto stack = m_stack;
    stack.push_back(controller);
    transition(std::move(stack), animated == Animated::Yes, std::move(completion));
}

std::shared_ptr<ViewController> NavigationController::basePop(Animated animated, Completion completion)
{
    assertOnMainThread();
    if (m_stack.size() < 2)
        return nullptr;
    auto popped = m_stack.back();
    auto stack = m_stack;
    stack.pop_back();
    transition(std::move(stack), animated == Animated::Yes, std::move(completion));
    return popped;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::basePopTo(const std::shared_ptr<ViewController>& controller, Animated animated, Completion completion)
{
    assertOnMainThread();
    auto found = std::find(m_stack.begin(), m_stack.end(), controller);
    if (found == m_stack.end() || controller == m_stack.back())
        return {};
    std::vector<std::shared_ptr<ViewController>> popped(found + 1, m_stack.end());
    std::vector<std::shared_ptr<ViewController>> stack(m_stack.begin(), found + 1);
    transition(std::move(stack), animated == Animated::Yes, std::move(completion));
    return popped;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::basePopToRoot(Animated animated, Completion completion)
{
    if (m_stack.size() < 2)
        return {};
    return basePopTo(m_stack.front(), animated, std::move(completion));
}

void NavigationController::baseSetViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, Animated animated, Completion completion)
{
    assertOnMainThread();
    std::vector<std::shared_ptr<ViewController>> unique;
    for (const auto& controller : controllers) {
        if (controller && !contains(unique, controller))
            unique.push_back(controller);
    }
    transition(std::move(unique), animated == Animated::Yes, std::move(completion));
}

// ---- The transition ----

void NavigationController::transition(std::vector<std::shared_ptr<ViewController>> stack, bool animated, Completion completion)
{
    if (m_transition)
        finishTransition();
    auto keep = std::static_pointer_cast<NavigationController>(shared_from_this());
    auto old = m_stack;
    auto oldTop = topViewController();
    m_stack = std::move(stack);
    std::vector<std::shared_ptr<ViewController>> removed, added;
    for (const auto& controller : old) {
        if (!contains(m_stack, controller))
            removed.push_back(controller);
    }
    for (const auto& controller : m_stack) {
        if (!contains(old, controller))
            added.push_back(controller);
    }
    for (const auto& controller : removed)
        controller->willMoveToParentViewController(nullptr);
    for (const auto& controller : added)
        addChildViewController(controller);
    auto newTop = topViewController();
    if (newTop == oldTop) {
        for (const auto& controller : removed)
            controller->removeFromParentViewController();
        for (const auto& controller : added)
            controller->didMoveToParentViewController(keep);
        updateBars();
        if (completion)
            completion();
        return;
    }
    if (auto delegate = this->delegate(); delegate && newTop)
        delegate->willShowViewController(*this, *newTop, animated);
    Transition running;
    running.oldTop = oldTop;
    running.newTop = newTop;
    running.removed = std::move(removed);
    running.added = std::move(added);
    running.appearance = appearanceState() == AppearanceState::Appeared;
    running.animated = animated;
    running.completion = std::move(completion);
    if (running.appearance) {
        if (oldTop)
            oldTop->beginAppearanceTransition(false, animated);
        if (newTop)
            newTop->beginAppearanceTransition(true, animated);
    }
    if (isViewLoaded() && newTop) {
        auto view = newTop->view();
        view->setFrame(contentFrame());
        this->view()->insertSubview(view, 0);
    }
    m_transition = std::move(running);
    updateBars();
    if (!animated) {
        finishTransition();
        return;
    }
    auto delay = std::chrono::round<Duration>(std::chrono::duration<double>(kTransitionDuration));
    std::weak_ptr<NavigationController> weak = keep;
    m_transition->timer = MainLoop::main().postAfter(delay, [weak] {
        if (auto self = weak.lock(); self && self->m_transition)
            self->finishTransition();
    });
}

void NavigationController::finishTransition()
{
    Transition done = std::move(*m_transition);
    m_transition.reset();
    MainLoop::main().cancel(done.timer);
    auto keep = std::static_pointer_cast<NavigationController>(shared_from_this());
    if (done.oldTop && done.oldTop->isViewLoaded() && done.oldTop != topViewController()) {
        auto view = done.oldTop->view();
        if (isViewLoaded() && view->superview() == this->view())
            view->removeFromSuperview();
    }
    if (done.appearance) {
        if (done.oldTop)
            done.oldTop->endAppearanceTransition();
        if (done.newTop)
            done.newTop->endAppearanceTransition();
    }
    for (const auto& controller : done.removed)
        controller->removeFromParentViewController();
    for (const auto& controller : done.added)
        controller->didMoveToParentViewController(keep);
    if (auto delegate = this->delegate(); delegate && done.newTop)
        delegate->didShowViewController(*this, *done.newTop, done.animated);
    if (done.completion)
        done.completion();
    if (onTransitionComplete)
        onTransitionComplete();
}

// ---- Bars and layout ----

std::shared_ptr<NavigationBar> NavigationController::navigationBar()
{
    if (!m_navigationBar) {
        m_navigationBar = NavigationBar::create(Rect(0, 0, Screen::main().bounds().width(), NavigationBar::kHeight));
        std::weak_ptr<NavigationController> weak = std::static_pointer_cast<NavigationController>(shared_from_this());
        m_navigationBar->onBack = [weak] {
            if (auto self = weak.lock())
                self->popViewController(Animated::Yes);
        };
    }
    return m_navigationBar;
}

std::shared_ptr<Toolbar> NavigationController::toolbar()
{
    if (!m_toolbar)
        m_toolbar = Toolbar::create(Rect(0, 0, Screen::main().bounds().width(), Toolbar::kHeight));
    return m_toolbar;
}

void NavigationController::setNavigationBarHidden(bool hidden, Animated)
{
    if (hidden == m_navigationBarHidden)
        return;
    m_navigationBarHidden = hidden;
    navigationBar()->setHidden(hidden);
    if (isViewLoaded())
        view()->setNeedsLayout();
}

void NavigationController::setToolbarHidden(bool hidden, Animated)
{
    if (hidden == m_toolbarHidden)
        return;
    m_toolbarHidden = hidden;
    toolbar()->setHidden(hidden);
    if (isViewLoaded())
        view()->setNeedsLayout();
}

Rect NavigationController::contentFrame()
{
    Rect bounds = view()->bounds();
    double top = m_navigationBarHidden ? 0 : NavigationBar::kHeight;
    double bottom = m_toolbarHidden ? 0 : Toolbar::kHeight;
    return Rect(0, top, bounds.width(), std::max(0.0, bounds.height() - top - bottom));
}

void NavigationController::toolbarItemsChanged(const ViewController& controller)
{
    if (topViewController().get() == &controller)
        updateBars();
}

void NavigationController::updateBars()
{
    std::vector<std::shared_ptr<NavigationItem>> items;
    for (const auto& controller : m_stack)
        items.push_back(controller->navigationItem());
    navigationBar()->setItems(std::move(items));
    auto top = topViewController();
    toolbar()->setItems(top ? top->toolbarItems() : std::vector<std::shared_ptr<BarButtonItem>> {});
}

void NavigationController::loadView()
{
    auto self = std::static_pointer_cast<NavigationController>(shared_from_this());
    auto container = NavigationContainerView::create(Screen::main().bounds(), self);
    setView(container);
    navigationBar()->setHidden(m_navigationBarHidden);
    toolbar()->setHidden(m_toolbarHidden);
    container->addSubview(navigationBar());
    container->addSubview(toolbar());
    if (auto top = topViewController()) {
        top->view()->setFrame(contentFrame());
        container->insertSubview(top->view(), 0);
    }
    updateBars();
}

void NavigationController::layoutContent()
{
    Rect bounds = view()->bounds();
    navigationBar()->setFrame(Rect(0, 0, bounds.width(), NavigationBar::kHeight));
    toolbar()->setFrame(Rect(0, bounds.height() - Toolbar::kHeight, bounds.width(), Toolbar::kHeight));
    Rect content = contentFrame();
    if (auto top = topViewController(); top && top->isViewLoaded())
        top->view()->setFrame(content);
    if (m_transition && m_transition->oldTop && m_transition->oldTop->isViewLoaded())
        m_transition->oldTop->view()->setFrame(content);
}

} // namespace morvix::platform
