#pragma once
// A NavigationBar that forwards its layout hooks to its widget.

#include "platform/ui/NavigationBar.h"
#include "widgets/delegating/Delegating.h"

namespace morvix {

/// `platform::NavigationBar` forwarding to its `layoutDelegate` as `Delegating` describes, never
/// its touches or baseline view; the view of tool bars.
/// Without the delegate's answer its natural size is the size that fits the platform class's.
/// Main thread only.
class DelegatingNavigationBar : public Delegating<platform::NavigationBar, DelegatedTouches::No> {
public:
    static std::shared_ptr<DelegatingNavigationBar> create(const platform::Rect& frame = {});
    const char* className() const override { return "DelegatingNavigationBar"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> layoutDelegate() const { return delegateReference(); }
    void setLayoutDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

    /// `sizeThatFits(size)`.
    platform::Size fullIntrinsicSize(platform::Size size) const override;

protected:
    explicit DelegatingNavigationBar(const platform::Rect& frame)
        : Delegating(frame)
    {
    }
};

} // namespace morvix
