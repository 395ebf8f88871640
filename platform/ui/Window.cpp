#include "platform/ui/Window.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Event.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/MenuController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Touch.h"
#include "platform/ui/ViewController.h"

#include <algorithm>

namespace morvix::platform {

std::shared_ptr<Window> Window::create(const Rect& frame)
{
    Rect actual = frame.isEmpty() ? Screen::main().bounds() : frame;
    auto window = std::shared_ptr<Window>(new Window(actual));
    Application::shared().addWindow(window);
    return window;
}

Window::Window(const Rect& frame)
    : View(frame)
{
}

Window::~Window() = default;

void Window::setRootViewController(const std::shared_ptr<ViewController>& controller)
{
    assertOnMainThread();
    if (controller == m_rootViewController)
        return;
    auto old = m_rootViewController;
    if (old && m_visible)
        old->beginAppearanceTransition(false, false);
    if (old && old->isViewLoaded())
        old->view()->removeFromSuperview();
    if (old && m_visible)
        old->endAppearanceTransition();
    m_rootViewController = controller;
    if (!controller)
        return;
    auto view = controller->view();
    view->setFrame(bounds());
    view->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    if (m_visible)
        controller->beginAppearanceTransition(true, false);
    addSubview(view);
    if (m_visible)
        controller->endAppearanceTransition();
}

namespace {
std::uint64_t s_showCount = 0;
}

void Window::makeVisible()
{
    setHidden(false);
    if (m_visible)
        return;
    m_visible = true;
    m_showOrder = ++s_showCount;
    if (m_rootViewController) {
        m_rootViewController->beginAppearanceTransition(true, false);
        m_rootViewController->endAppearanceTransition();
    }
}

void Window::makeKeyAndVisible()
{
    makeKey();
    makeVisible();
}

void Window::makeKey()
{
    Application::shared().setKeyWindow(std::static_pointer_cast<Window>(shared_from_this()));
}

bool Window::isKeyWindow() const
{
    return Application::shared().keyWindow().get() == this;
}

void Window::setFirstResponder(const std::shared_ptr<Responder>& responder)
{
    auto previous = m_firstResponder.lock();
    m_firstResponder = responder;
    if (isKeyWindow())
        Keyboard::shared().firstResponderChanged(previous.get(), responder.get());
}

void Window::forgetRecognizer(const GestureRecognizer& recognizer)
{
    std::erase_if(m_activeRecognizers, [&](const auto& active) { return active.get() == &recognizer; });
}

void Window::collectRecognizers(Touch& touch)
{
    std::vector<std::weak_ptr<GestureRecognizer>> list;
    for (auto view = touch.view(); view; view = view->superview()) {
        for (const auto& recognizer : view->gestureRecognizers()) {
            if (!recognizer->isEnabled())
                continue;
            if (auto delegate = recognizer->delegate(); delegate && !delegate->shouldReceiveTouch(*recognizer, touch))
                continue;
            list.push_back(recognizer);
            if (std::find(m_activeRecognizers.begin(), m_activeRecognizers.end(), recognizer) == m_activeRecognizers.end())
                m_activeRecognizers.push_back(recognizer);
        }
    }
    touch.setGestureRecognizers(std::move(list));
}

// A finger coming down anywhere puts the edit menu away before the touch goes anywhere.
void Window::hideEditMenuOnTouch(const Event& event)
{
    auto& menu = MenuController::shared();
    if (!menu.isMenuVisible())
        return;
    bool began = std::any_of(event.allTouches().begin(), event.allTouches().end(),
        [](const auto& touch) { return touch->phase() == TouchPhase::Began; });
    if (began)
        menu.setMenuVisible(false, Animated::Yes);
}

void Window::sendEvent(const Event& event)
{
    assertOnMainThread();
    auto keep = std::static_pointer_cast<Window>(shared_from_this());
    hideEditMenuOnTouch(event);
    m_delivering = true;
    bool newSequence = m_touchesDown.empty();
    std::vector<std::shared_ptr<GestureRecognizer>> previous = newSequence ? m_activeRecognizers : std::vector<std::shared_ptr<GestureRecognizer>> {};
    for (const auto& touch : event.allTouches()) {
        if (touch->phase() != TouchPhase::Began)
            continue;
        if (!touch->view())
            touch->setView(hitTest(touch->windowLocation(), &event));
        collectRecognizers(*touch);
        m_touchesDown.push_back(touch);
    }
    // Recognisers still waiting from an earlier sequence (a tap waiting for its second tap) go
    // on only when the new touches reach them too.
    for (const auto& recognizer : previous) {
        bool reached = std::any_of(event.allTouches().begin(), event.allTouches().end(), [&](const auto& touch) {
            auto list = touch->gestureRecognizers();
            return std::find(list.begin(), list.end(), recognizer) != list.end();
        });
        if (!reached && recognizer->state() == GestureState::Possible) {
            recognizer->setState(GestureState::Failed);
            forgetRecognizer(*recognizer);
            recognizer->reset();
        }
    }
    deliverToRecognizers(event);
    deliverToViews(event);
    for (const auto& touch : event.allTouches()) {
        if (touch->phase() == TouchPhase::Ended || touch->phase() == TouchPhase::Cancelled)
            std::erase(m_touchesDown, touch);
    }
    m_delivering = false;
    finishSequenceIfIdle();
}

void Window::deliverToRecognizers(const Event& event)
{
    auto recognizers = m_activeRecognizers;
    for (const auto& recognizer : recognizers) {
        TouchSet phases[5];
        for (const auto& touch : event.touchesFor(*recognizer))
            phases[static_cast<int>(touch->phase())].push_back(touch);
        auto deliver = [&](TouchPhase phase, auto handler) {
            const TouchSet& touches = phases[static_cast<int>(phase)];
            if (touches.empty() || !recognizer->isEnabled())
                return;
            if (recognizer->state() == GestureState::Failed || recognizer->state() == GestureState::Cancelled)
                return;
            (recognizer.get()->*handler)(touches, event);
        };
        deliver(TouchPhase::Began, &GestureRecognizer::touchesBegan);
        deliver(TouchPhase::Moved, &GestureRecognizer::touchesMoved);
        deliver(TouchPhase::Ended, &GestureRecognizer::touchesEnded);
        deliver(TouchPhase::Cancelled, &GestureRecognizer::touchesCancelled);
        // A recogniser in a final state no longer tracks the touches that just lifted.
        for (const auto& touch : event.touchesFor(*recognizer)) {
            if (touch->phase() == TouchPhase::Ended || touch->phase() == TouchPhase::Cancelled)
                recognizer->forgetTouches({ touch });
        }
    }
}

void Window::cancelViewTouches(const GestureRecognizer& recognizer)
{
    Event event(m_touchesDown, Clock::seconds(Clock::current()->now()));
    // The views may reset the recogniser or hand it touches, which changes its list.
    TouchSet tracked = recognizer.trackedTouches();
    for (const auto& touch : tracked) {
        auto view = touch->view();
        if (!view || touch->isCancelledForView() || (touch->phase() == TouchPhase::Began && m_delivering))
            continue;
        touch->setCancelledForView();
        view->touchesCancelled({ touch }, event);
    }
}

void Window::deliverToViews(const Event& event)
{
    // Group the touches by view and phase, keeping the event's order.
    std::vector<std::shared_ptr<View>> views;
    for (const auto& touch : event.allTouches()) {
        auto view = touch->view();
        if (view && std::find(views.begin(), views.end(), view) == views.end())
            views.push_back(view);
    }
    for (const auto& view : views) {
        TouchSet phases[5];
        TouchSet cancelled;
        for (const auto& touch : event.touchesFor(*view)) {
            if (touch->isCancelledForView())
                continue;
            auto recognizers = touch->gestureRecognizers();
            bool taken = std::any_of(recognizers.begin(), recognizers.end(), [](const auto& recognizer) {
                auto state = recognizer->state();
                bool recognized = state == GestureState::Began || state == GestureState::Changed || state == GestureState::Ended;
                return recognized && recognizer->cancelsTouchesInView();
            });
            if (taken && touch->phase() != TouchPhase::Began) {
                touch->setCancelledForView();
                cancelled.push_back(touch);
                continue;
            }
            if (taken) {
                // Recognised at touch-down: the view never hears of this touch.
                touch->setCancelledForView();
                continue;
            }
            phases[static_cast<int>(touch->phase())].push_back(touch);
        }
        if (!cancelled.empty())
            view->touchesCancelled(cancelled, event);
        if (!phases[0].empty())
            view->touchesBegan(phases[0], event);
        if (!phases[1].empty())
            view->touchesMoved(phases[1], event);
        if (!phases[3].empty())
            view->touchesEnded(phases[3], event);
        if (!phases[4].empty())
            view->touchesCancelled(phases[4], event);
    }
}

void Window::finishSequenceIfIdle()
{
    if (!m_touchesDown.empty())
        return;
    auto recognizers = m_activeRecognizers;
    for (const auto& recognizer : recognizers) {
        if (recognizer->isFinal()) {
            forgetRecognizer(*recognizer);
            recognizer->reset();
        }
    }
}

} // namespace morvix::platform
