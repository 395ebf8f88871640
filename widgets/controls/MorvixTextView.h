#pragma once
// The native multi-line text view of the text widgets.

#include "platform/ui/TextView.h"
#include "widgets/foundation/Delegating.h"

#include <memory>

namespace morvix {

class RemoteObject;

/// The platform's multi-line text view with a weak back reference to its widget (`parent`) and the layout
/// hooks forwarded to a weakly held `layoutDelegate` as `Delegating` describes (the size change
/// once per new size, before the platform's layout). Before the platform answers
/// `canPerformAction`, the drop-down's hook (`DropDownActionHook`) may claim the action with
/// the widget. The layout hooks run on the main thread only, so `oldSize` needs no lock.
/// Main thread only.
class MorvixTextView : public Delegating<platform::TextView, DelegatedTouches::No> {
public:
    static std::shared_ptr<MorvixTextView> create(const platform::Rect& frame = {});
    const char* className() const override { return "MorvixTextView"; }

    /// The owning widget; null once it is gone.
    std::shared_ptr<RemoteObject> parent() const { return m_parent.lock(); }
    void setParent(std::weak_ptr<RemoteObject> parent) { m_parent = std::move(parent); }
    /// Held weakly.
    std::shared_ptr<ViewDelegate> layoutDelegate() const { return delegateReference(); }
    void setLayoutDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

    bool canPerformAction(const std::string& action, const void* sender) override;

protected:
    explicit MorvixTextView(const platform::Rect& frame);

private:
    std::weak_ptr<RemoteObject> m_parent;
};

} // namespace morvix
