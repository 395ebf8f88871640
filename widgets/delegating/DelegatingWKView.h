#pragma once
// A WKView that forwards its layout hooks to its widget.

#include "platform/ui/screens/WKView.h"
#include "widgets/delegating/Delegating.h"

namespace morvix {

/// `platform::WKView` forwarding to its `layoutDelegate` as `Delegating` describes, never its
/// touches or baseline view; the view of browsers on the newer engine. Scripts run in the page
/// the view shows. Main thread only.
class DelegatingWKView : public Delegating<platform::WKView, DelegatedTouches::No> {
public:
    static std::shared_ptr<DelegatingWKView> create(const platform::Rect& frame = {},
        platform::WKViewConfiguration configuration = {});
    const char* className() const override { return "DelegatingWKView"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> layoutDelegate() const { return delegateReference(); }
    void setLayoutDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

protected:
    DelegatingWKView(const platform::Rect& frame, platform::WKViewConfiguration configuration)
        : Delegating(frame, configuration)
    {
    }
};

} // namespace morvix
