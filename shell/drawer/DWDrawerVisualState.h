#pragma once
// Ready-made visual states for the side-drawer container's drawers.

#include "shell/drawer/DWDrawerController.h"

namespace morvix {

/// Blocks to set as a container's `drawerVisualState`. Each works on the drawer controller of
/// the side it is given (nothing for other sides) and sets its view's layer transform from the
/// fraction visible p (0 hidden, 1 fully shown, above 1 while a stretching pan overshoots).
/// "Distance" is the larger of the side's maximum width and its visible width.
class DWDrawerVisualState final {
public:
    using Block = DWDrawerController::VisualStateBlock;

    /// Scales the drawer from 0.9 up to 1 and slides it 50 points in from the centre's side,
    /// fading it in (alpha p).
    static Block slideAndScaleVisualStateBlock();
    /// Parallax with factor 1: the drawer moves with the centre.
    static Block slideVisualStateBlock() { return parallaxVisualStateBlockWithParallaxFactor(1.0); }
    /// Turns the drawer in like a door hinged at its outer edge, in perspective.
    static Block swingingDoorVisualStateBlock();
    /// The drawer starts shifted outwards by distance / factor and reaches its place at p = 1;
    /// beyond 1 it stretches as the container's own overshoot does. A factor of 0 or less
    /// counts as 1.
    static Block parallaxVisualStateBlockWithParallaxFactor(double factor);

    DWDrawerVisualState() = delete;
};

} // namespace morvix
