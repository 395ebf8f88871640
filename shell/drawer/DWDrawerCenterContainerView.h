#pragma once
// The view of the side-drawer container that holds the centre controller's view.

#include "platform/ui/View.h"

#include <memory>

namespace morvix {

/// Holds the centre controller's view and moves with it while a drawer is revealed. While a
/// drawer is open it filters touches by `centerInteractionMode`: 0 takes none, 1 takes all, 2
/// takes only those on the first navigation bar of its subtree (a hidden bar counts as none).
/// A refused touch falls through to the views behind it and to the container's recognisers.
/// The container keeps both properties equal to its own. Main thread only.
class DWDrawerCenterContainerView final : public platform::View {
public:
    static std::shared_ptr<DWDrawerCenterContainerView> create(const platform::Rect& frame);
    const char* className() const override { return "DWDrawerCenterContainerView"; }

    int centerInteractionMode() const { return m_centerInteractionMode; }
    void setCenterInteractionMode(int mode) { m_centerInteractionMode = mode; }
    int openSide() const { return m_openSide; }
    void setOpenSide(int side) { m_openSide = side; }

    std::shared_ptr<platform::View> hitTest(platform::Point point, const platform::Event* event = nullptr) override;

    /// The first navigation bar of `view`'s subtree, depth first in subview order (each
    /// subview's own subviews before its next sibling); `view` itself is not looked at.
    static std::shared_ptr<platform::NavigationBar> navigationBarContainedWithinSubviewsOfView(const platform::View& view);

private:
    explicit DWDrawerCenterContainerView(const platform::Rect& frame) : View(frame) { }

    int m_centerInteractionMode = 0;
    int m_openSide = 0;
};

} // namespace morvix
