#pragma once
// A CollectionView that forwards its layout hooks to its widget.

#include "platform/ui/tables/CollectionView.h"
#include "widgets/delegating/Delegating.h"

namespace morvix {

/// `platform::CollectionView` forwarding to its `layoutDelegate` as `Delegating` describes, never
/// its touches or baseline view (the collection view handles its own: highlight and selection of
/// items); the view of collection widgets. The layout delegate is separate from the collection
/// view's data source and delegate, which a widget normally is as well. A size change reaches the
/// layout delegate before the collection view lays out and places its cells, so a widget may
/// install a new layout for the new size there. Main thread only.
class DelegatingCollectionView : public Delegating<platform::CollectionView, DelegatedTouches::No> {
public:
    static std::shared_ptr<DelegatingCollectionView> create(const platform::Rect& frame = {});
    const char* className() const override { return "DelegatingCollectionView"; }

    /// Held weakly.
    std::shared_ptr<ViewDelegate> layoutDelegate() const { return delegateReference(); }
    void setLayoutDelegate(const std::shared_ptr<ViewDelegate>& delegate) { setDelegateReference(delegate); }

protected:
    explicit DelegatingCollectionView(const platform::Rect& frame)
        : Delegating(frame)
    {
    }
};

} // namespace morvix
