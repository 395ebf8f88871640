#pragma once
// A Switch that forwards its layout hooks to its widget.

#include "platform/ui/controls/Switch.h"
#include "widgets/delegating/Delegating.h"

namespace morvix {

/// `platform::Switch` forwarding to its `delegate` as `Delegating` describes, never its touches or
/// baseline view: the platform control handles those alone; the view of switches.
/// Main thread only.
class DelegatingSwitch : public Delegating<platform::Switch, DelegatedTouches::No> {
public:
    static std::shared_ptr<DelegatingSwitch> create(const platform::Rect& frame = {});
    const char* className() const override { return "DelegatingSwitch"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> delegate() const { return delegateReference(); }
    void setDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

protected:
    explicit DelegatingSwitch(const platform::Rect& frame)
        : Delegating(frame)
    {
    }
};

} // namespace morvix
