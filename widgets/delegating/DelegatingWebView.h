#pragma once
// A WebView that forwards its layout hooks to its widget.

#include "platform/ui/screens/WebView.h"
#include "widgets/delegating/Delegating.h"

namespace morvix {

/// `platform::WebView` forwarding to its `layoutDelegate` as `Delegating` describes, never its
/// touches or baseline view; the view of browsers.
/// Main thread only.
class DelegatingWebView : public Delegating<platform::WebView, DelegatedTouches::No> {
public:
    static std::shared_ptr<DelegatingWebView> create(const platform::Rect& frame = {});
    const char* className() const override { return "DelegatingWebView"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> layoutDelegate() const { return delegateReference(); }
    void setLayoutDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

protected:
    explicit DelegatingWebView(const platform::Rect& frame)
        : Delegating(frame)
    {
    }
};

} // namespace morvix
