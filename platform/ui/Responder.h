#pragma once
// The base of everything that takes part in the responder chain.

#include "platform/ui/Forward.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

using TouchSet = std::vector<std::shared_ptr<Touch>>;

/// An object that can receive touches and hold the first-responder status: views, windows and
/// view controllers. The default touch handlers pass the touches on to `nextResponder()`.
/// Always owned by a `shared_ptr`. Main thread only.
class Responder : public std::enable_shared_from_this<Responder> {
public:
    virtual ~Responder() = default;
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    /// The next object of the chain; null at its end.
    virtual std::shared_ptr<Responder> nextResponder() const { return nullptr; }

    virtual void touchesBegan(const TouchSet& touches, const Event& event);
    virtual void touchesMoved(const TouchSet& touches, const Event& event);
    virtual void touchesEnded(const TouchSet& touches, const Event& event);
    virtual void touchesCancelled(const TouchSet& touches, const Event& event);

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    /// Makes this object its window's first responder; false when it cannot be one, when it is
    /// in no window, or when the current first responder refuses to resign.
    virtual bool becomeFirstResponder();
    /// Gives up the first-responder status; false when this object refuses.
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    /// True for objects that take text input (the platform's key-input interface).
    virtual bool isKeyInput() const { return false; }
    /// Whether this responder can perform the action named `action` ("copy", "paste", ...) for
    /// `sender` (borrowed, compared only) now; the edit menu offers only the actions answered
    /// true. False by default.
    virtual bool canPerformAction(const std::string& action, const void* sender)
    {
        (void)action, (void)sender;
        return false;
    }
    /// Performs the action named `action` (an edit-menu item's); false, doing nothing, when this
    /// responder has no such action. Nothing by default.
    virtual bool performAction(const std::string& action)
    {
        (void)action;
        return false;
    }

protected:
    Responder() = default;
    /// The window whose first responder this object would be; null when there is none.
    virtual std::shared_ptr<Window> responderWindow() const { return nullptr; }
};

} // namespace morvix::platform
