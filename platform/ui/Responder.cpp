#include "platform/ui/Responder.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Window.h"

namespace morvix::platform {

void Responder::touchesBegan(const TouchSet& touches, const Event& event)
{
    if (auto next = nextResponder())
        next->touchesBegan(touches, event);
}

void Responder::touchesMoved(const TouchSet& touches, const Event& event)
{
    if (auto next = nextResponder())
        next->touchesMoved(touches, event);
}

void Responder::touchesEnded(const TouchSet& touches, const Event& event)
{
    if (auto next = nextResponder())
        next->touchesEnded(touches, event);
}

void Responder::touchesCancelled(const TouchSet& touches, const Event& event)
{
    if (auto next = nextResponder())
        next->touchesCancelled(touches, event);
}

bool Responder::becomeFirstResponder()
{
    assertOnMainThread();
    if (!canBecomeFirstResponder())
        return false;
    auto window = responderWindow();
    if (!window)
        return false;
    auto current = window->firstResponder();
    if (current.get() == this)
        return true;
    Keyboard::Hold hold; // the keyboard stays up when the focus moves between text inputs
    if (current && !current->resignFirstResponder())
        return false;
    window->setFirstResponder(shared_from_this());
    return true;
}

bool Responder::resignFirstResponder()
{
    assertOnMainThread();
    if (!canResignFirstResponder())
        return false;
    auto window = responderWindow();
    if (window && window->firstResponder().get() == this)
        window->setFirstResponder(nullptr);
    return true;
}

bool Responder::isFirstResponder() const
{
    auto window = responderWindow();
    return window && window->firstResponder().get() == this;
}

} // namespace morvix::platform
