#pragma once
// A ScrollView that forwards its layout hooks to its widget.

#include "platform/ui/ScrollView.h"
#include "widgets/delegating/Delegating.h"

namespace morvix {

/// `platform::ScrollView` forwarding to its `layoutDelegate` as `Delegating` describes, its touches
/// and baseline view too; the view of scrolled composites; the client layouts give a child of one
/// span constraints of its own.
/// Main thread only.
class DelegatingScrollView : public Delegating<platform::ScrollView, DelegatedTouches::Yes> {
public:
    static std::shared_ptr<DelegatingScrollView> create(const platform::Rect& frame = {});
    const char* className() const override { return "DelegatingScrollView"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> layoutDelegate() const { return delegateReference(); }
    void setLayoutDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

protected:
    explicit DelegatingScrollView(const platform::Rect& frame)
        : Delegating(frame)
    {
    }
};

} // namespace morvix
