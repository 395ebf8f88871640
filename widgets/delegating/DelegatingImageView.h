#pragma once
// A ImageView that forwards its layout hooks to its widget.

#include "platform/ui/controls/ImageView.h"
#include "widgets/delegating/Delegating.h"

namespace morvix {

/// `platform::ImageView` forwarding to its `delegate` as `Delegating` describes, its touches and
/// baseline view too; the view of image widgets.
/// Main thread only.
class DelegatingImageView : public Delegating<platform::ImageView, DelegatedTouches::Yes> {
public:
    static std::shared_ptr<DelegatingImageView> create(const platform::Rect& frame = {});
    const char* className() const override { return "DelegatingImageView"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> delegate() const { return delegateReference(); }
    void setDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

protected:
    explicit DelegatingImageView(const platform::Rect& frame)
        : Delegating(frame)
    {
    }
};

} // namespace morvix
