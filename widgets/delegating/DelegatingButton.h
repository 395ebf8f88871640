#pragma once
// A Button that forwards its layout hooks to its widget.

#include "platform/ui/controls/Button.h"
#include "widgets/delegating/Delegating.h"

namespace morvix {

/// `platform::Button` forwarding to its `delegate` as `Delegating` describes, never its touches or
/// baseline view: the platform control handles those alone; the view of buttons and of the widgets
/// drawn as one.
/// Without the delegate's answer its natural size is the platform button's widened by the title
/// and image insets.
/// Main thread only.
class DelegatingButton : public Delegating<platform::Button, DelegatedTouches::No> {
public:
    static std::shared_ptr<DelegatingButton> create(platform::ButtonType type = platform::ButtonType::Custom, const platform::Rect& frame = {});
    const char* className() const override { return "DelegatingButton"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> delegate() const { return delegateReference(); }
    void setDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

    /// `size` widened by the image and title insets (left and right to the width, top and bottom to
    /// the height).
    platform::Size fullIntrinsicSize(platform::Size size) const override;

protected:
    DelegatingButton(platform::ButtonType type, const platform::Rect& frame)
        : Delegating(type, frame)
    {
    }
};

} // namespace morvix
