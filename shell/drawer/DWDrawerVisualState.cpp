#include "shell/drawer/DWDrawerVisualState.h"

#include "platform/graphics/Transform3D.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"

#include <algorithm>
#include <numbers>

namespace morvix {

using namespace platform;

namespace {

double maximumWidth(const DWDrawerController& controller, DWSide side)
{
    return side == DWSideLeft ? controller.maximumLeftDrawerWidth() : controller.maximumRightDrawerWidth();
}

double distanceFor(const DWDrawerController& controller, DWSide side)
{
    double visible = side == DWSideLeft ? controller.visibleLeftDrawerWidth() : controller.visibleRightDrawerWidth();
    return std::max(maximumWidth(controller, side), visible);
}

std::shared_ptr<View> drawerViewFor(const DWDrawerController& controller, DWSide side)
{
    if (side != DWSideLeft && side != DWSideRight)
        return nullptr;
    auto drawer = controller.sideDrawerViewControllerForSide(side);
    return drawer ? drawer->view() : nullptr;
}

// The stretch past the full width: scaled across and shifted back by half the excess.
Transform3D stretch(double p, double shift)
{
    return Transform3D::makeScale(p, 1, 1).translated(shift, 0, 0);
}

} // namespace

DWDrawerVisualState::Block DWDrawerVisualState::slideAndScaleVisualStateBlock()
{
    return [](DWDrawerController& controller, DWSide side, double p) {
        auto view = drawerViewFor(controller, side);
        if (!view)
            return;
        constexpr double minimumScale = 0.9;
        double scale = minimumScale + (1.0 - minimumScale) * p;
        double shift = 50 - 50 * p;
        if (side == DWSideRight)
            shift = -shift;
        view->layer().setTransform(Transform3D::concat(Transform3D::makeScale(scale, scale, scale), Transform3D::makeTranslation(shift, 0, 0)));
        view->setAlpha(p);
    };
}

DWDrawerVisualState::Block DWDrawerVisualState::parallaxVisualStateBlockWithParallaxFactor(double factor)
{
    // A factor of 0 would shift the drawer infinitely far.
    if (!(factor > 0))
        factor = 1;
    return [factor](DWDrawerController& controller, DWSide side, double p) {
        auto view = drawerViewFor(controller, side);
        if (!view)
            return;
        if (p > 1) {
            double shift = (p - 1) * maximumWidth(controller, side) * 0.5;
            view->layer().setTransform(stretch(p, side == DWSideRight ? -shift : shift));
            return;
        }
        double distance = distanceFor(controller, side);
        double shift = (distance - distance * p) / factor;
        view->layer().setTransform(Transform3D::makeTranslation(side == DWSideLeft ? -shift : shift, 0, 0));
    };
}

DWDrawerVisualState::Block DWDrawerVisualState::swingingDoorVisualStateBlock()
{
    return [](DWDrawerController& controller, DWSide side, double p) {
        auto view = drawerViewFor(controller, side);
        if (!view)
            return;
        bool left = side == DWSideLeft;
        Layer& layer = view->layer();
        layer.setAnchorPoint({ left ? 1.0 : 0.0, 0.5 });
        layer.setShouldRasterize(true);
        layer.setRasterizationScale(Screen::main().scale());
        double distance = distanceFor(controller, side);
        if (p > 1) {
            layer.setTransform(stretch(p, left ? distance / 2 : -distance / 2));
            return;
        }
        constexpr double quarterTurn = std::numbers::pi / 2;
        Transform3D perspective;
        perspective.m34 = -1.0 / 1000;
        double angle = left ? p * quarterTurn - quarterTurn : quarterTurn - p * quarterTurn;
        double shift = left ? distance * p - distance / 2 : distance / 2 - distance * p;
        layer.setTransform(Transform3D::concat(perspective.rotated(angle, 0, 1, 0), Transform3D::makeTranslation(shift, 0, 0)));
    };
}

} // namespace morvix
