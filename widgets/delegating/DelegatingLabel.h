#pragma once
// A Label that forwards its layout hooks to its widget.

#include "platform/ui/controls/Label.h"
#include "widgets/delegating/Delegating.h"

namespace morvix {

/// `platform::Label` forwarding to its `delegate` as `Delegating` describes, its touches and
/// baseline view too; the view of text widgets.
/// Main thread only.
class DelegatingLabel : public Delegating<platform::Label, DelegatedTouches::Yes> {
public:
    static std::shared_ptr<DelegatingLabel> create(const platform::Rect& frame = {});
    const char* className() const override { return "DelegatingLabel"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> delegate() const { return delegateReference(); }
    void setDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

protected:
    explicit DelegatingLabel(const platform::Rect& frame)
        : Delegating(frame)
    {
    }
};

} // namespace morvix
