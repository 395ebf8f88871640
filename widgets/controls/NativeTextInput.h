#pragma once
// What the native text field and text view of the text widgets have in common.

#include "widgets/controls/DropDownActionHook.h"
#include "widgets/delegating/Delegating.h"

#include <memory>
#include <string>

namespace morvix {

class RemoteObject;

/// A platform text input (`Input`: the one-line field or the multi-line view) with a weak back
/// reference to its widget (`parent`) and the layout hooks forwarded to a weakly held
/// `layoutDelegate` as `Delegating` describes (the size change once per new size, before the
/// platform's layout). Before the platform answers `canPerformAction`, the drop-down's hook
/// (`DropDownActionHook`) may claim the action with the widget; the drop-down's actions are
/// performed through its perform hook. The layout hooks run on the main
/// thread only, so `oldSize` needs no lock. Main thread only.
template<typename Input>
class NativeTextInput : public Delegating<Input, DelegatedTouches::No> {
public:
    /// The owning widget; null once it is gone.
    std::shared_ptr<RemoteObject> parent() const { return m_parent.lock(); }
    void setParent(std::weak_ptr<RemoteObject> parent) { m_parent = std::move(parent); }
    /// Held weakly.
    std::shared_ptr<ViewDelegate> layoutDelegate() const { return this->delegateReference(); }
    void setLayoutDelegate(const std::shared_ptr<ViewDelegate>& delegate) { this->setDelegateReference(delegate); }

    bool canPerformAction(const std::string& action, const void* sender) override
    {
        if (auto answer = DropDownActionHook::ask(action, parent()))
            return *answer;
        return Input::canPerformAction(action, sender);
    }
    bool performAction(const std::string& action) override
    {
        return DropDownActionHook::perform(action, *this) || Input::performAction(action);
    }

protected:
    explicit NativeTextInput(const platform::Rect& frame)
        : Delegating<Input, DelegatedTouches::No>(frame)
    {
    }

private:
    std::weak_ptr<RemoteObject> m_parent;
};

} // namespace morvix
