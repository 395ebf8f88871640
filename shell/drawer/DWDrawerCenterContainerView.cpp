#include "shell/drawer/DWDrawerCenterContainerView.h"

#include "platform/ui/NavigationBar.h"

namespace morvix {

using namespace platform;

std::shared_ptr<DWDrawerCenterContainerView> DWDrawerCenterContainerView::create(const Rect& frame)
{
    return std::shared_ptr<DWDrawerCenterContainerView>(new DWDrawerCenterContainerView(frame));
}

std::shared_ptr<NavigationBar> DWDrawerCenterContainerView::navigationBarContainedWithinSubviewsOfView(const View& view)
{
    for (const auto& subview : view.subviews()) {
        if (auto bar = std::dynamic_pointer_cast<NavigationBar>(subview))
            return bar;
        if (auto bar = navigationBarContainedWithinSubviewsOfView(*subview))
            return bar;
    }
    return nullptr;
}

std::shared_ptr<View> DWDrawerCenterContainerView::hitTest(Point point, const Event* event)
{
    auto result = View::hitTest(point, event);
    if (!result || m_openSide == 0)
        return result;
    if (m_centerInteractionMode == 0)
        return nullptr;
    if (m_centerInteractionMode != 2)
        return result;
    auto bar = navigationBarContainedWithinSubviewsOfView(*this);
    // A hidden bar keeps its bounds; it counts as no bar, so nothing of the centre is taken.
    Rect barRect = bar && !bar->isHidden() ? convertRectFrom(bar->bounds(), bar.get()) : Rect();
    return barRect.contains(point) ? result : nullptr;
}

} // namespace morvix
