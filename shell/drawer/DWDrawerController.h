#pragma once
// The side-drawer container: a centre controller that slides aside to reveal a drawer on
// either side.

#include "platform/graphics/Color.h"
#include "platform/graphics/Rect.h"
#include "platform/graphics/Size.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ViewController.h"

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace morvix {

class DWDrawerCenterContainerView;

/// Sides, as plain integers: none (as a child selector, the centre), left and right.
using DWSide = int;
inline constexpr DWSide DWSideNone = 0;
inline constexpr DWSide DWSideLeft = 1;
inline constexpr DWSide DWSideRight = 2;

/// What the centre takes while a drawer is open.
using DWCenterInteraction = int;
inline constexpr DWCenterInteraction DWCenterInteractionNone = 0;
inline constexpr DWCenterInteraction DWCenterInteractionFull = 1;
inline constexpr DWCenterInteraction DWCenterInteractionNavigationBarOnly = 2;

/// Gestures that may open a drawer (consulted while nothing is open).
using DWOpenGestureMask = unsigned;
inline constexpr DWOpenGestureMask DWOpenGestureNone = 0;
inline constexpr DWOpenGestureMask DWOpenGestureNavigationBarPan = 2;
inline constexpr DWOpenGestureMask DWOpenGestureCenterPan = 4;
inline constexpr DWOpenGestureMask DWOpenGestureBezelPan = 8;
inline constexpr DWOpenGestureMask DWOpenGestureCustom = 16;

/// Gestures that may close the open drawer.
using DWCloseGestureMask = unsigned;
inline constexpr DWCloseGestureMask DWCloseGestureNone = 0;
inline constexpr DWCloseGestureMask DWCloseGestureNavigationBarPan = 2;
inline constexpr DWCloseGestureMask DWCloseGestureCenterPan = 4;
inline constexpr DWCloseGestureMask DWCloseGestureBezelPan = 8;
inline constexpr DWCloseGestureMask DWCloseGestureNavigationBarTap = 16;
inline constexpr DWCloseGestureMask DWCloseGestureCenterTap = 32;
inline constexpr DWCloseGestureMask DWCloseGestureDrawerPan = 64;
inline constexpr DWCloseGestureMask DWCloseGestureCustom = 128;

// Constants. The single-precision ones are the float literal widened, as the container has
// always computed with them (0.15 is 0.15000000596046448).
inline constexpr double DWDrawerDefaultWidth = 280;
inline constexpr double DWDrawerDefaultAnimationVelocity = 840;
inline constexpr double DWDrawerMinimumAnimationDuration = double(0.15f);
inline constexpr double DWDrawerDefaultFullAnimationDelay = double(0.1f);
inline constexpr double DWDrawerDefaultBounceDistance = 50;
inline constexpr double DWDrawerDefaultShadowRadius = 10;
inline constexpr double DWDrawerDefaultShadowOpacity = 0.8;
inline constexpr double DWDrawerBezelRange = 20;
inline constexpr double DWDrawerPanVelocityXAnimationThreshold = 200;
inline constexpr double DWDrawerOvershootPercentage = double(0.1f);
inline constexpr double DWDrawerOvershootLinearRangePercentage = 0.75;

/// The root controller of the application frame: one centre controller in a centre container
/// view that slides sideways, and up to two drawer controllers that stay in place underneath.
///
/// - Opening and closing animate at `animationVelocity` (a velocity of 0 counts as the default,
///   a negative one by its size), at least `DWDrawerMinimumAnimationDuration`. A request that is
///   not animated runs a zero-duration animation: its completion, and with it the change of
///   `openSide`, comes on the next turn of the main loop.
/// - While an animated open or close runs (`isAnimatingDrawer`), the view takes no touches and
///   further open and close requests only call their completion with false.
/// - Opening a side without a drawer controller moves nothing, clears `isAnimatingDrawer` and
///   calls the completion with false.
/// - Appearance and rotation are passed on to the children by the container itself.
/// - A pan and a tap recogniser on the container's view open and close drawers as the two
///   gesture masks allow (see `shouldReceiveTouch`).
///
/// Created by `create`, which loads the view. Holds its controllers strongly and makes them its
/// children. Main thread only.
class DWDrawerController : public platform::ViewController, public platform::GestureRecognizerDelegate {
public:
    using Completion = std::function<void(bool finished)>;
    using VisualStateBlock = std::function<void(DWDrawerController&, DWSide, double percentVisible)>;
    using GestureShouldRecognizeTouchBlock = std::function<bool(DWDrawerController&, platform::GestureRecognizer&, const platform::Touch&)>;
    using GestureCompletionBlock = std::function<void(DWDrawerController&, platform::GestureRecognizer&)>;

    static std::shared_ptr<DWDrawerController> create(std::shared_ptr<platform::ViewController> center,
        std::shared_ptr<platform::ViewController> leftDrawer = nullptr, std::shared_ptr<platform::ViewController> rightDrawer = nullptr);
    ~DWDrawerController() override;
    const char* className() const override { return "DWDrawerController"; }

    // ---- Controllers ----
    std::shared_ptr<platform::ViewController> centerViewController() const { return m_center; }
    /// Same as `setCenterViewController(controller, false)`.
    void setCenterViewController(std::shared_ptr<platform::ViewController> controller) { setCenterViewController(std::move(controller), false); }
    /// Replaces the centre; nothing happens for the current one. The new centre's view takes the
    /// child container's bounds inside the centre container, which stays where it is. Not
    /// animated: the new centre appears (when the container is in a window) and is told it
    /// moved here. Animated: the caller finishes both (the two closing replacements do).
    void setCenterViewController(std::shared_ptr<platform::ViewController> controller, bool animated)
    {
        replaceCenterViewController(std::move(controller), animated, !animated);
    }
    std::shared_ptr<platform::ViewController> leftDrawerViewController() const { return m_left; }
    void setLeftDrawerViewController(std::shared_ptr<platform::ViewController> controller) { setDrawerViewController(std::move(controller), DWSideLeft); }
    std::shared_ptr<platform::ViewController> rightDrawerViewController() const { return m_right; }
    void setRightDrawerViewController(std::shared_ptr<platform::ViewController> controller) { setDrawerViewController(std::move(controller), DWSideRight); }
    /// Replaces a side's drawer (identity comparison; nothing for the current one). A drawer set
    /// for the open side shows at once below the centre. Sides other than left and right change
    /// nothing.
    void setDrawerViewController(std::shared_ptr<platform::ViewController> controller, DWSide side);
    /// Null for none and for values other than left and right.
    std::shared_ptr<platform::ViewController> sideDrawerViewControllerForSide(DWSide side) const;
    /// The centre for none.
    std::shared_ptr<platform::ViewController> childViewControllerForSide(DWSide side) const;

    // ---- Opening and closing ----
    void openDrawerSide(DWSide side, bool animated, Completion completion = {});
    void openDrawerSide(DWSide side, bool animated, double velocity, unsigned options, Completion completion);
    void closeDrawerAnimated(bool animated, Completion completion = {});
    void closeDrawerAnimated(bool animated, double velocity, unsigned options, Completion completion);
    /// Opens the side with nothing open, closes it when it is open, and only calls the
    /// completion with false while the other side is open.
    void toggleDrawerSide(DWSide side, bool animated, Completion completion = {});

    // ---- Centre transitions, bounce and restoration ----
    /// Replaces the centre and closes the open drawer, animated only when a drawer is open and
    /// `animated` is set; otherwise the centre is swapped at once, an open drawer stays open and
    /// the completion gets true.
    void setCenterViewControllerWithCloseAnimation(std::shared_ptr<platform::ViewController> controller, bool animated, Completion completion = {});
    /// Slides the old centre off on the open drawer's side, swaps it while the drawer fills the
    /// container, and slides the new centre in after `DWDrawerDefaultFullAnimationDelay`.
    /// Without an open drawer, or not animated, the centre is swapped at once and an open
    /// drawer closed without animation.
    void setCenterViewControllerWithFullCloseAnimation(std::shared_ptr<platform::ViewController> controller, bool animated, Completion completion = {});
    /// Shows a closed drawer briefly: a 0.8 s "position.x" keyframe animation of the centre
    /// container (key "bouncing") that changes neither the model frame nor `openSide`. Only
    /// the completion runs, with false, when the side has no drawer or a drawer is open.
    void bouncePreviewForDrawerSide(DWSide side, Completion completion = {}) { bouncePreviewForDrawerSide(side, DWDrawerDefaultBounceDistance, std::move(completion)); }
    void bouncePreviewForDrawerSide(DWSide side, double distance, Completion completion);
    void encodeRestorableState(platform::RestorationCoder& coder) override;
    void decodeRestorableState(platform::RestorationCoder& coder) override;

    // ---- Widths ----
    /// 0 while the side has no drawer; the stored width survives and reads again once it has.
    double maximumLeftDrawerWidth() const { return m_left ? m_maximumLeftDrawerWidth : 0; }
    double maximumRightDrawerWidth() const { return m_right ? m_maximumRightDrawerWidth : 0; }
    void setMaximumLeftDrawerWidth(double width, bool animated = false, Completion completion = {}) { setMaximumDrawerWidth(width, DWSideLeft, animated, std::move(completion)); }
    void setMaximumRightDrawerWidth(double width, bool animated = false, Completion completion = {}) { setMaximumDrawerWidth(width, DWSideRight, animated, std::move(completion)); }
    /// Stores the width of side left or right; the open side's centre moves to it.
    void setMaximumDrawerWidth(double width, DWSide side, bool animated, Completion completion);
    double visibleLeftDrawerWidth() const;
    double visibleRightDrawerWidth() const;

    // ---- Settings ----
    double animationVelocity() const { return m_animationVelocity; }
    void setAnimationVelocity(double velocity) { m_animationVelocity = velocity; }
    bool shouldStretchDrawer() const { return m_shouldStretchDrawer; }
    void setShouldStretchDrawer(bool stretch) { m_shouldStretchDrawer = stretch; }
    DWSide openSide() const { return m_openSide; }
    DWOpenGestureMask openDrawerGestureModeMask() const { return m_openDrawerGestureModeMask; }
    void setOpenDrawerGestureModeMask(DWOpenGestureMask mask) { m_openDrawerGestureModeMask = mask; }
    DWCloseGestureMask closeDrawerGestureModeMask() const { return m_closeDrawerGestureModeMask; }
    void setCloseDrawerGestureModeMask(DWCloseGestureMask mask) { m_closeDrawerGestureModeMask = mask; }
    DWCenterInteraction centerHiddenInteractionMode() const { return m_centerHiddenInteractionMode; }
    void setCenterHiddenInteractionMode(DWCenterInteraction mode);
    bool showsShadow() const { return m_showsShadow; }
    void setShowsShadow(bool shows);
    double shadowRadius() const { return m_shadowRadius; }
    void setShadowRadius(double radius);
    double shadowOpacity() const { return m_shadowOpacity; }
    void setShadowOpacity(double opacity);
    platform::Size shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(platform::Size offset);
    platform::Color shadowColor() const { return m_shadowColor; }
    void setShadowColor(platform::Color color);
    bool showsStatusBarBackgroundView() const { return m_showsStatusBarBackgroundView; }
    /// A 20-point coloured view above the child container, which moves down by 20. Refused
    /// (stays false) below system version 7.
    void setShowsStatusBarBackgroundView(bool shows);
    /// Black until set.
    platform::Color statusBarViewBackgroundColor();
    void setStatusBarViewBackgroundColor(platform::Color color);
    double bezelPanningCenterViewRange() const { return m_bezelPanningCenterViewRange; }
    void setBezelPanningCenterViewRange(double range) { m_bezelPanningCenterViewRange = range; }
    double panVelocityXAnimationThreshold() const { return m_panVelocityXAnimationThreshold; }
    void setPanVelocityXAnimationThreshold(double threshold) { m_panVelocityXAnimationThreshold = threshold; }
    bool isAnimatingDrawer() const { return m_animatingDrawer; }

    const VisualStateBlock& drawerVisualState() const { return m_drawerVisualState; }
    void setDrawerVisualStateBlock(VisualStateBlock block) { m_drawerVisualState = std::move(block); }
    void setGestureShouldRecognizeTouchBlock(GestureShouldRecognizeTouchBlock block) { m_gestureShouldRecognizeTouch = std::move(block); }
    void setGestureCompletionBlock(GestureCompletionBlock block) { m_gestureCompletion = std::move(block); }

    // ---- Views ----
    /// Holds the drawer views and, in front, the centre container; made on first read.
    std::shared_ptr<platform::View> childControllerContainerView();
    /// Made with the first centre; null before.
    std::shared_ptr<DWDrawerCenterContainerView> centerContainerView() const { return m_centerContainerView; }
    /// The status-bar background view; made on first read.
    std::shared_ptr<platform::View> dummyStatusBarView();
    /// The centre container's frame when the current pan began; none outside a pan.
    std::optional<platform::Rect> startingPanRect() const { return m_startingPanRect; }
    std::shared_ptr<platform::PanGestureRecognizer> panGestureRecognizer() const { return m_pan; }
    std::shared_ptr<platform::TapGestureRecognizer> tapGestureRecognizer() const { return m_tap; }

    // ---- Operations the companions use ----
    void prepareToPresentDrawer(DWSide side, bool animated);
    void updateDrawerVisualStateForDrawerSide(DWSide side, double percentVisible);
    void resetDrawerVisualStateForDrawerSide(DWSide side);
    /// `distance` divided by `animationVelocity`, at least the minimum duration.
    double animationDurationForAnimationDistance(double distance) const;
    void updateShadowForCenterView();
    void setNeedsStatusBarAppearanceUpdateIfSupported();

    // ---- Gestures ----
    /// With a drawer open: whether the touch qualifies for a bit of the close mask; otherwise
    /// for a bit of the open mask.
    bool shouldReceiveTouch(platform::GestureRecognizer& recognizer, const platform::Touch& touch) override;
    unsigned possibleOpenGestureModesForGestureRecognizer(platform::GestureRecognizer& recognizer, const platform::Touch& touch);
    unsigned possibleCloseGestureModesForGestureRecognizer(platform::GestureRecognizer& recognizer, const platform::Touch& touch);
    /// Region tests; the point is in the child container's coordinates.
    bool isPointContainedWithinNavigationRect(platform::Point point);
    bool isPointContainedWithinCenterViewContentRect(platform::Point point);
    bool isPointContainedWithinLeftBezelRect(platform::Point point);
    bool isPointContainedWithinRightBezelRect(platform::Point point);
    void panGestureCallback(platform::PanGestureRecognizer& pan);
    void tapGestureCallback(platform::TapGestureRecognizer& tap);
    void finishAnimationForPanGestureWithXVelocity(double velocity, Completion completion);
    /// The centre origin for a dragged `x`: held at the widths, or rubber-banded past them while
    /// stretching.
    double roundedOriginXForDrawerConstriants(double x) const;
    /// The stretch of a drawer dragged past its width (fractions of 1 or more only).
    void applyOvershootScaleTransformForDrawerSide(DWSide side, double percentVisible);

    // ---- View controller ----
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutomaticallyForwardAppearanceMethods() const override { return false; }
    bool shouldAutomaticallyForwardRotationMethods() const override { return false; }
    bool automaticallyForwardAppearanceAndRotationMethodsToChildViewControllers() const { return false; }
    bool shouldAutorotateToInterfaceOrientation(int) const { return true; }
    void willRotateToInterfaceOrientation(int orientation, double duration) override;
    void willAnimateRotationToInterfaceOrientation(int orientation, double duration) override;
    void didRotateFromInterfaceOrientation(int orientation) override;
    std::shared_ptr<platform::ViewController> childViewControllerForStatusBarStyle() const override { return childViewControllerForSide(m_openSide); }
    std::shared_ptr<platform::ViewController> childViewControllerForStatusBarHidden() const override { return childViewControllerForSide(m_openSide); }

protected:
    DWDrawerController() = default;

private:
    std::shared_ptr<DWDrawerController> drawerSelf() { return std::static_pointer_cast<DWDrawerController>(self()); }
    void setOpenSide(DWSide side);
    /// The side a centre origin of `x` reveals and how much of it shows (0 for a side whose
    /// width reads 0).
    std::pair<DWSide, double> sideShownAtOriginX(double x) const;
    /// `setCenterViewController`, with the old centre's removal bracketed by a not-animated
    /// disappearance when `tellOldCenter` is set.
    void replaceCenterViewController(std::shared_ptr<platform::ViewController> controller, bool animated, bool tellOldCenter);
    void setAnimatingDrawer(bool animating);
    void setupGestureRecognizers();
    double durationForDistance(double distance, double velocity) const;
    std::shared_ptr<platform::View> drawerView(DWSide side) const;
    std::optional<platform::Rect> navigationRect();
    void forwardAppearance(bool appearing, bool animated, bool ending);
    void slideInAfterFullClose(const std::shared_ptr<platform::ViewController>& old, const std::shared_ptr<platform::ViewController>& controller,
        const std::shared_ptr<platform::ViewController>& drawer, DWSide side, bool changed, const Completion& completion);

    std::shared_ptr<platform::ViewController> m_center;
    std::shared_ptr<platform::ViewController> m_left;
    std::shared_ptr<platform::ViewController> m_right;
    double m_maximumLeftDrawerWidth = DWDrawerDefaultWidth;
    double m_maximumRightDrawerWidth = DWDrawerDefaultWidth;
    double m_animationVelocity = DWDrawerDefaultAnimationVelocity;
    bool m_showsShadow = true;
    bool m_shouldStretchDrawer = true;
    DWOpenGestureMask m_openDrawerGestureModeMask = DWOpenGestureNone;
    DWCloseGestureMask m_closeDrawerGestureModeMask = DWCloseGestureNone;
    DWCenterInteraction m_centerHiddenInteractionMode = DWCenterInteractionNavigationBarOnly;
    double m_shadowOpacity = DWDrawerDefaultShadowOpacity;
    double m_shadowRadius = DWDrawerDefaultShadowRadius;
    platform::Size m_shadowOffset { 0, -3 };
    platform::Color m_shadowColor = platform::Color::black();
    double m_bezelPanningCenterViewRange = DWDrawerBezelRange;
    double m_panVelocityXAnimationThreshold = DWDrawerPanVelocityXAnimationThreshold;
    DWSide m_openSide = DWSideNone;
    bool m_showsStatusBarBackgroundView = false;
    std::optional<platform::Color> m_statusBarViewBackgroundColor;
    bool m_animatingDrawer = false;
    std::optional<platform::Rect> m_startingPanRect;
    VisualStateBlock m_drawerVisualState;
    GestureShouldRecognizeTouchBlock m_gestureShouldRecognizeTouch;
    GestureCompletionBlock m_gestureCompletion;
    std::shared_ptr<platform::View> m_childControllerContainerView;
    std::shared_ptr<DWDrawerCenterContainerView> m_centerContainerView;
    std::shared_ptr<platform::View> m_dummyStatusBarView;
    std::shared_ptr<platform::PanGestureRecognizer> m_pan;
    std::shared_ptr<platform::TapGestureRecognizer> m_tap;
};

/// The nearest side-drawer container among `controller`'s parents; null when none.
std::shared_ptr<DWDrawerController> mm_drawerController(const platform::ViewController& controller);
/// The frame a drawer view takes in its container: when `controller` or its navigation
/// controller is the left drawer, the container view's bounds cut to the left width at the
/// left; for the right drawer the same at the right; 20 points shorter while the status-bar
/// view shows. None (the null rectangle) for any other controller.
std::optional<platform::Rect> mm_visibleDrawerFrame(const platform::ViewController& controller);

} // namespace morvix
