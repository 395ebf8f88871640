#pragma once
// A View that forwards its layout hooks to its widget.

#include "platform/ui/View.h"
#include "widgets/delegating/Delegating.h"

namespace morvix {

/// `platform::View` forwarding to its `delegate` as `Delegating` describes, its touches and
/// baseline view too; the view of composites and other plain widgets.
/// Main thread only.
class DelegatingView : public Delegating<platform::View, DelegatedTouches::Yes> {
public:
    static std::shared_ptr<DelegatingView> create(const platform::Rect& frame = {});
    const char* className() const override { return "DelegatingView"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> delegate() const { return delegateReference(); }
    void setDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

protected:
    explicit DelegatingView(const platform::Rect& frame)
        : Delegating(frame)
    {
    }
};

} // namespace morvix
