// The pan and tap gestures of the side-drawer container.

#include "shell/drawer/DWDrawerController.h"

#include "platform/ui/Animator.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/Touch.h"
#include "platform/ui/gestures/TapGestureRecognizer.h"
#include "shell/drawer/DWDrawerCenterContainerView.h"

#include <algorithm>
#include <cmath>

namespace morvix {

using namespace platform;

void DWDrawerController::setupGestureRecognizers()
{
    std::weak_ptr<DWDrawerController> weak = drawerSelf();
    std::shared_ptr<GestureRecognizerDelegate> delegate(drawerSelf(), static_cast<GestureRecognizerDelegate*>(this));
    m_pan = PanGestureRecognizer::create();
    m_pan->addTarget(weak, [weak](GestureRecognizer& recognizer) {
        if (auto self = weak.lock())
            self->panGestureCallback(static_cast<PanGestureRecognizer&>(recognizer));
    });
    m_pan->setDelegate(delegate);
    view()->addGestureRecognizer(m_pan);
    m_tap = TapGestureRecognizer::create();
    m_tap->addTarget(weak, [weak](GestureRecognizer& recognizer) {
        if (auto self = weak.lock())
            self->tapGestureCallback(static_cast<TapGestureRecognizer&>(recognizer));
    });
    m_tap->setDelegate(delegate);
    view()->addGestureRecognizer(m_tap);
}

// ---- Admission ----

bool DWDrawerController::shouldReceiveTouch(GestureRecognizer& recognizer, const Touch& touch)
{
    if (m_openSide != DWSideNone)
        return (m_closeDrawerGestureModeMask & possibleCloseGestureModesForGestureRecognizer(recognizer, touch)) != 0;
    return (m_openDrawerGestureModeMask & possibleOpenGestureModesForGestureRecognizer(recognizer, touch)) != 0;
}

unsigned DWDrawerController::possibleOpenGestureModesForGestureRecognizer(GestureRecognizer& recognizer, const Touch& touch)
{
    Point point = touch.locationIn(childControllerContainerView().get());
    unsigned modes = DWOpenGestureNone;
    if (dynamic_cast<PanGestureRecognizer*>(&recognizer)) {
        if (isPointContainedWithinNavigationRect(point))
            modes |= DWOpenGestureNavigationBarPan;
        if (isPointContainedWithinCenterViewContentRect(point))
            modes |= DWOpenGestureCenterPan;
        if ((isPointContainedWithinLeftBezelRect(point) && m_left) || (isPointContainedWithinRightBezelRect(point) && m_right))
            modes |= DWOpenGestureBezelPan;
    }
    if ((m_openDrawerGestureModeMask & DWOpenGestureCustom) && m_gestureShouldRecognizeTouch
        && m_gestureShouldRecognizeTouch(*this, recognizer, touch))
        modes |= DWOpenGestureCustom;
    return modes;
}

unsigned DWDrawerController::possibleCloseGestureModesForGestureRecognizer(GestureRecognizer& recognizer, const Touch& touch)
{
    Point point = touch.locationIn(childControllerContainerView().get());
    unsigned modes = DWCloseGestureNone;
    bool onBar = isPointContainedWithinNavigationRect(point);
    bool onCenter = isPointContainedWithinCenterViewContentRect(point);
    if (dynamic_cast<TapGestureRecognizer*>(&recognizer)) {
        if (onBar)
            modes |= DWCloseGestureNavigationBarTap;
        if (onCenter)
            modes |= DWCloseGestureCenterTap;
    } else if (dynamic_cast<PanGestureRecognizer*>(&recognizer)) {
        if (onBar)
            modes |= DWCloseGestureNavigationBarPan;
        if (onCenter)
            modes |= DWCloseGestureCenterPan;
        if ((isPointContainedWithinRightBezelRect(point) && m_openSide == DWSideLeft)
            || (isPointContainedWithinLeftBezelRect(point) && m_openSide == DWSideRight))
            modes |= DWCloseGestureBezelPan;
        if (!onCenter && !onBar)
            modes |= DWCloseGestureDrawerPan;
    }
    if ((m_closeDrawerGestureModeMask & DWCloseGestureCustom) && m_gestureShouldRecognizeTouch
        && m_gestureShouldRecognizeTouch(*this, recognizer, touch))
        modes |= DWCloseGestureCustom;
    return modes;
}

std::optional<Rect> DWDrawerController::navigationRect()
{
    auto navigation = std::dynamic_pointer_cast<NavigationController>(m_center);
    if (!navigation)
        return std::nullopt;
    auto bar = navigation->navigationBar();
    // A hidden bar keeps its bounds; it counts as no bar, or bezel pans in its strip would fail.
    if (!bar || bar->isHidden())
        return std::nullopt;
    auto container = childControllerContainerView();
    return container->convertRectFrom(bar->bounds(), bar.get()).intersection(container->bounds());
}

bool DWDrawerController::isPointContainedWithinNavigationRect(Point point)
{
    auto rect = navigationRect();
    return rect && rect->contains(point);
}

bool DWDrawerController::isPointContainedWithinCenterViewContentRect(Point point)
{
    if (!m_centerContainerView)
        return false;
    Rect center = m_centerContainerView->frame().intersection(childControllerContainerView()->bounds());
    return center.contains(point) && !isPointContainedWithinNavigationRect(point);
}

bool DWDrawerController::isPointContainedWithinLeftBezelRect(Point point)
{
    Rect strip = childControllerContainerView()->bounds().divided(m_bezelPanningCenterViewRange, RectEdge::MinX).slice;
    return strip.contains(point) && isPointContainedWithinCenterViewContentRect(point);
}

bool DWDrawerController::isPointContainedWithinRightBezelRect(Point point)
{
    Rect strip = childControllerContainerView()->bounds().divided(m_bezelPanningCenterViewRange, RectEdge::MaxX).slice;
    return strip.contains(point) && isPointContainedWithinCenterViewContentRect(point);
}

// ---- Pan ----

void DWDrawerController::panGestureCallback(PanGestureRecognizer& pan)
{
    switch (pan.state()) {
    case GestureState::Began:
        if (m_animatingDrawer) {
            // Disabling cancels the pan; enabling again at once keeps later pans alive.
            pan.setEnabled(false);
            pan.setEnabled(true);
            return;
        }
        m_startingPanRect = m_centerContainerView ? m_centerContainerView->frame() : Rect();
        [[fallthrough]];
    case GestureState::Changed: {
        if (!m_centerContainerView)
            return;
        view()->setUserInteractionEnabled(false);
        Rect start = m_startingPanRect.value_or(m_centerContainerView->frame());
        double x = roundedOriginXForDrawerConstriants(pan.translationIn(m_centerContainerView.get()).x + start.minX());
        Rect frame = Rect(x, start.y(), start.width(), start.height()).integral();
        auto [side, fraction] = sideShownAtOriginX(frame.x());
        if (side != m_openSide) {
            if (auto old = sideDrawerViewControllerForSide(m_openSide)) {
                old->beginAppearanceTransition(false, false);
                old->endAppearanceTransition();
            }
            prepareToPresentDrawer(side, false);
            if (auto drawer = sideDrawerViewControllerForSide(side))
                drawer->endAppearanceTransition();
            setOpenSide(side);
        }
        updateDrawerVisualStateForDrawerSide(side, fraction);
        frame.origin.x = std::floor(frame.origin.x);
        frame.origin.y = std::floor(frame.origin.y);
        m_centerContainerView->setFrame(frame);
        return;
    }
    case GestureState::Ended:
    case GestureState::Cancelled: {
        m_startingPanRect.reset();
        double velocity = pan.velocityIn(childControllerContainerView().get()).x;
        auto self = drawerSelf();
        auto recognizer = pan.shared_from_this();
        finishAnimationForPanGestureWithXVelocity(velocity, [self, recognizer](bool) {
            if (self->m_gestureCompletion)
                self->m_gestureCompletion(*self, *recognizer);
        });
        view()->setUserInteractionEnabled(true);
        return;
    }
    case GestureState::Possible:
    case GestureState::Failed:
        return;
    }
}

void DWDrawerController::finishAnimationForPanGestureWithXVelocity(double velocity, Completion completion)
{
    double threshold = m_panVelocityXAnimationThreshold;
    double flick = std::max(std::fabs(velocity), 2 * threshold);
    unsigned easeOut = AnimationOption::CurveEaseOut;
    Rect center = m_centerContainerView ? m_centerContainerView->frame() : Rect();
    if (m_openSide == DWSideLeft) {
        double width = maximumLeftDrawerWidth();
        if (velocity > threshold)
            return openDrawerSide(DWSideLeft, true, flick, easeOut, std::move(completion));
        if (velocity < -threshold)
            return closeDrawerAnimated(true, flick, easeOut, std::move(completion));
        if (center.minX() < width / 2)
            return closeDrawerAnimated(true, std::move(completion));
        return openDrawerSide(DWSideLeft, true, std::move(completion));
    }
    if (m_openSide == DWSideRight) {
        double width = maximumRightDrawerWidth();
        double containerWidth = childControllerContainerView()->bounds().width();
        if (velocity > threshold)
            return closeDrawerAnimated(true, flick, easeOut, std::move(completion));
        if (velocity < -threshold)
            return openDrawerSide(DWSideRight, true, flick, easeOut, std::move(completion));
        if (center.maxX() > (containerWidth - width) + width / 2)
            return closeDrawerAnimated(true, std::move(completion));
        return openDrawerSide(DWSideRight, true, std::move(completion));
    }
    if (completion)
        completion(false);
}

double DWDrawerController::roundedOriginXForDrawerConstriants(double x) const
{
    double left = maximumLeftDrawerWidth();
    double right = maximumRightDrawerWidth();
    double width = m_centerContainerView ? m_centerContainerView->frame().width() : 0;
    double target = 0;
    double range = 0;
    if (x < -right) {
        if (!m_shouldStretchDrawer || !m_right)
            return -right;
        target = -right;
        range = (width - right) * DWDrawerOvershootPercentage;
    } else if (x > left) {
        if (!m_shouldStretchDrawer || !m_left)
            return left;
        target = left;
        range = (width - left) * DWDrawerOvershootPercentage;
    } else {
        return x;
    }
    // The centre follows the finger through the linear part of the range, then resists,
    // approaching twice that part beyond the width.
    double distance = std::fabs(x - target);
    double linear = range * DWDrawerOvershootLinearRangePercentage;
    if (distance < linear)
        return x;
    double excess = distance - linear;
    double overshoot = std::round(linear + linear * excess / std::sqrt(excess * excess + 15000));
    return target < 0 ? target - overshoot : target + overshoot;
}

void DWDrawerController::applyOvershootScaleTransformForDrawerSide(DWSide side, double percentVisible)
{
    if (percentVisible < 1.0 || (side != DWSideLeft && side != DWSideRight))
        return;
    auto drawerView = this->drawerView(side);
    if (!drawerView)
        return;
    double width = side == DWSideLeft ? maximumLeftDrawerWidth() : maximumRightDrawerWidth();
    double shift = (percentVisible - 1) * width * 0.5;
    if (side == DWSideRight)
        shift = -shift;
    drawerView->layer().setTransform(Transform3D::makeScale(percentVisible, 1, 1).translated(shift, 0, 0));
}

// ---- Tap ----

void DWDrawerController::tapGestureCallback(TapGestureRecognizer& tap)
{
    if (m_openSide == DWSideNone || m_animatingDrawer)
        return;
    auto self = drawerSelf();
    auto recognizer = tap.shared_from_this();
    closeDrawerAnimated(true, [self, recognizer](bool) {
        if (self->m_gestureCompletion)
            self->m_gestureCompletion(*self, *recognizer);
    });
}

} // namespace morvix
