#include "shell/SequentialNavigationController.h"

#include "core/session/ApplicationFrameClient.h"
#include "core/session/ClientProvider.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/View.h"

#include <algorithm>
#include <chrono>

namespace morvix {

using platform::Animated;
using platform::ViewController;

namespace {

// The session's root controller's view, when the application says which session it runs.
std::shared_ptr<platform::View> rootControllerView()
{
    auto* provider = dynamic_cast<ClientProvider*>(platform::Application::shared().delegate().get());
    if (!provider)
        return nullptr;
    auto client = provider->client();
    auto root = client ? client->rootController() : nullptr;
    return root ? root->view() : nullptr;
}

} // namespace

std::shared_ptr<SequentialNavigationController> SequentialNavigationController::create(const std::shared_ptr<ViewController>& root)
{
    std::shared_ptr<SequentialNavigationController> controller(new SequentialNavigationController);
    controller->setUp(root);
    return controller;
}

void SequentialNavigationController::setUp(const std::shared_ptr<ViewController>& root)
{
    if (root)
        baseSetViewControllers({ root }, Animated::No);
    setDelegate(std::static_pointer_cast<SequentialNavigationController>(shared_from_this()));
}

// ---- Stack operations ----

void SequentialNavigationController::pushViewController(const std::shared_ptr<ViewController>& controller, Animated animated)
{
    platform::assertOnMainThread();
    if (m_busy) {
        enqueue([this, controller, animated] { pushViewController(controller, animated); });
        return;
    }
    if (!controller || controller == topViewController())
        return;
    const auto& stack = viewControllers();
    m_busy = true;
    if (std::find(stack.begin(), stack.end(), controller) == stack.end()) {
        forwardPush(controller, animated);
        return;
    }
    if (forwardPopTo(controller, animated).empty())
        release();
}

std::shared_ptr<ViewController> SequentialNavigationController::popViewController(Animated animated)
{
    platform::assertOnMainThread();
    if (m_busy) {
        enqueue([this, animated] { popViewController(animated); });
        return nullptr;
    }
    m_busy = true;
    auto popped = forwardPop(animated);
    if (!popped)
        release();
    return popped;
}

SequentialNavigationController::ViewControllerList SequentialNavigationController::popToViewController(
    const std::shared_ptr<ViewController>& controller, Animated animated)
{
    platform::assertOnMainThread();
    if (m_busy) {
        enqueue([this, controller, animated] { popToViewController(controller, animated); });
        return {};
    }
    const auto& stack = viewControllers();
    // Nothing to do for the top, and nothing to pop to for a controller not on the stack.
    if (controller == topViewController() || std::find(stack.begin(), stack.end(), controller) == stack.end())
        return {};
    m_busy = true;
    auto popped = forwardPopTo(controller, animated);
    if (popped.empty())
        release();
    return popped;
}

SequentialNavigationController::ViewControllerList SequentialNavigationController::popToRootViewController(Animated animated)
{
    platform::assertOnMainThread();
    if (m_busy) {
        enqueue([this, animated] { popToRootViewController(animated); });
        return {};
    }
    m_busy = true;
    auto popped = forwardPopToRoot(animated);
    if (popped.empty())
        release();
    return popped;
}

void SequentialNavigationController::setViewControllers(ViewControllerList controllers, Animated animated)
{
    platform::assertOnMainThread();
    if (m_busy) {
        enqueue([this, controllers, animated] { setViewControllers(controllers, animated); });
        return;
    }
    if (differsFromTop(controllers))
        m_busy = true;
    forwardSetViewControllers(std::move(controllers), animated);
}

void SequentialNavigationController::removeViewController(const std::shared_ptr<ViewController>& controller, Animated animated)
{
    platform::assertOnMainThread();
    if (m_busy) {
        enqueue([this, controller, animated] { removeViewController(controller, animated); });
        return;
    }
    ViewControllerList remaining;
    for (const auto& stacked : viewControllers()) {
        if (stacked != controller)
            remaining.push_back(stacked);
    }
    if (differsFromTop(remaining))
        m_busy = true;
    forwardSetViewControllers(std::move(remaining), animated);
}

bool SequentialNavigationController::differsFromTop(const ViewControllerList& controllers) const
{
    // An empty stack shows nothing new, so no did-show would end the change.
    return !controllers.empty() && controllers.back() != topViewController();
}

// ---- The queue ----

void SequentialNavigationController::enqueue(Request request)
{
    platform::assertOnMainThread();
    m_queue.push_back(std::move(request));
    executeNext();
}

void SequentialNavigationController::executeNext()
{
    platform::assertOnMainThread();
    if (!m_busy && !m_queue.empty()) {
        // Taken out first: the request may queue more.
        auto next = std::move(m_queue.front());
        m_queue.pop_front();
        next();
        executeNext();
        m_loopCounter = 0;
        return;
    }
    if (m_busy && !m_queue.empty()) {
        ++m_loopCounter;
        std::weak_ptr<SequentialNavigationController> weak = std::static_pointer_cast<SequentialNavigationController>(shared_from_this());
        auto delay = std::chrono::round<platform::Duration>(std::chrono::duration<double>(kRetryInterval));
        platform::MainLoop::main().postAfter(delay, [weak] {
            if (auto self = weak.lock())
                self->executeNext();
        });
        if (m_loopCounter >= 2) {
            m_busy = false;
            m_loopCounter = 0;
        }
        return;
    }
    // A request that has just started an animated change keeps the controller busy until its
    // did-show.
    if (!isTransitioning())
        m_busy = false;
    m_loopCounter = 0;
}

void SequentialNavigationController::release()
{
    m_busy = false;
    unblockUI();
    executeNext();
}

// ---- Delegate ----

void SequentialNavigationController::willShowViewController(platform::NavigationController&, ViewController&, bool)
{
    m_busy = true;
}

void SequentialNavigationController::didShowViewController(platform::NavigationController&, ViewController&, bool)
{
    m_busy = false;
    executeNext();
    unblockUI();
}

void SequentialNavigationController::popGestureStateHandler(platform::GestureState state)
{
    switch (state) {
    case platform::GestureState::Began:
        m_busy = true;
        break;
    case platform::GestureState::Ended:
    case platform::GestureState::Cancelled:
    case platform::GestureState::Failed:
        m_busy = false;
        break;
    default:
        break;
    }
}

// ---- Forwards ----

void SequentialNavigationController::forwardPush(const std::shared_ptr<ViewController>& controller, Animated animated)
{
    basePush(controller, animated);
}

std::shared_ptr<ViewController> SequentialNavigationController::forwardPop(Animated animated)
{
    blockUI();
    return basePop(animated);
}

SequentialNavigationController::ViewControllerList SequentialNavigationController::forwardPopTo(const std::shared_ptr<ViewController>& controller, Animated animated)
{
    blockUI();
    return basePopTo(controller, animated);
}

SequentialNavigationController::ViewControllerList SequentialNavigationController::forwardPopToRoot(Animated animated)
{
    blockUI();
    return basePopToRoot(animated);
}

void SequentialNavigationController::forwardSetViewControllers(ViewControllerList controllers, Animated animated)
{
    baseSetViewControllers(std::move(controllers), animated);
}

void SequentialNavigationController::blockUI()
{
    if (auto view = rootControllerView())
        view->setUserInteractionEnabled(false);
}

void SequentialNavigationController::unblockUI()
{
    if (auto view = rootControllerView())
        view->setUserInteractionEnabled(true);
}

} // namespace morvix
