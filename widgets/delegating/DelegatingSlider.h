#pragma once
// A Slider that forwards its layout hooks to its widget.

#include "platform/ui/controls/Slider.h"
#include "widgets/delegating/Delegating.h"

namespace morvix {

/// `platform::Slider` forwarding to its `layoutDelegate` as `Delegating` describes, never its
/// touches or baseline view: the platform control handles those alone; the view of scales.
/// Without the delegate's answer its natural size is the size that fits the platform class's.
/// Main thread only.
class DelegatingSlider : public Delegating<platform::Slider, DelegatedTouches::No> {
public:
    static std::shared_ptr<DelegatingSlider> create(const platform::Rect& frame = {});
    const char* className() const override { return "DelegatingSlider"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> layoutDelegate() const { return delegateReference(); }
    void setLayoutDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

    /// `sizeThatFits(size)`.
    platform::Size fullIntrinsicSize(platform::Size size) const override;

protected:
    explicit DelegatingSlider(const platform::Rect& frame)
        : Delegating(frame)
    {
    }
};

} // namespace morvix
