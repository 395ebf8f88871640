#pragma once
// A WKView that forwards its layout hooks to its widget.

#include "platform/ui/WKView.h"
#include "widgets/foundation/Delegating.h"

namespace morvix {

/// `platform::WKView` forwarding to its `layoutDelegate` as `Delegating` describes, never its
/// touches or baseline view; the view of browsers on the newer engine.
/// Main thread only.
class DelegatingWKView : public Delegating<platform::WKView, DelegatedTouches::No> {
public:
    static std::shared_ptr<DelegatingWKView> create(const platform::Rect& frame = {});
    const char* className() const override { return "DelegatingWKView"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> layoutDelegate() const { return delegateReference(); }
    void setLayoutDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

protected:
    explicit DelegatingWKView(const platform::Rect& frame)
        : Delegating(frame)
    {
    }
};

} // namespace morvix
