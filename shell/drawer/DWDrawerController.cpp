#include "shell/drawer/DWDrawerController.h"

#include "platform/foundation/DeviceInfo.h"
#include "platform/ui/Animator.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/gestures/TapGestureRecognizer.h"
#include "shell/drawer/DWDrawerCenterContainerView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace morvix {

using namespace platform;

namespace {

constexpr double kStatusBarHeight = 20;

void finish(const DWDrawerController::Completion& completion, bool finished)
{
    if (completion)
        completion(finished);
}

// The major number of the system version ("6.1" gives 6).
double systemMajorVersion()
{
    std::string version = DeviceInfo::current().systemVersion;
    return std::atof(version.substr(0, version.find('.')).c_str());
}

Rect withX(Rect frame, double x)
{
    frame.origin.x = x;
    return frame;
}

} // namespace

// ---- Creation ----

std::shared_ptr<DWDrawerController> DWDrawerController::create(std::shared_ptr<ViewController> center,
    std::shared_ptr<ViewController> leftDrawer, std::shared_ptr<ViewController> rightDrawer)
{
    auto controller = std::shared_ptr<DWDrawerController>(new DWDrawerController);
    controller->setCenterViewController(std::move(center));
    controller->setLeftDrawerViewController(std::move(leftDrawer));
    controller->setRightDrawerViewController(std::move(rightDrawer));
    return controller;
}

DWDrawerController::~DWDrawerController() = default;

// ---- Views ----

std::shared_ptr<View> DWDrawerController::childControllerContainerView()
{
    if (!m_childControllerContainerView) {
        auto root = view();
        m_childControllerContainerView = View::create(root->bounds());
        m_childControllerContainerView->setBackgroundColor(std::nullopt);
        m_childControllerContainerView->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        root->addSubview(m_childControllerContainerView);
        if (m_dummyStatusBarView)
            root->bringSubviewToFront(m_dummyStatusBarView);
    }
    return m_childControllerContainerView;
}

std::shared_ptr<View> DWDrawerController::dummyStatusBarView()
{
    if (!m_dummyStatusBarView) {
        auto root = view();
        m_dummyStatusBarView = View::create(Rect(0, 0, root->bounds().width(), kStatusBarHeight));
        m_dummyStatusBarView->setAutoresizingMask(AutoresizingFlexibleWidth);
        m_dummyStatusBarView->setBackgroundColor(statusBarViewBackgroundColor());
        m_dummyStatusBarView->setHidden(!m_showsStatusBarBackgroundView);
        root->addSubview(m_dummyStatusBarView);
    }
    return m_dummyStatusBarView;
}

std::shared_ptr<View> DWDrawerController::drawerView(DWSide side) const
{
    auto drawer = sideDrawerViewControllerForSide(side);
    return drawer ? drawer->view() : nullptr;
}

// ---- Controllers ----

std::shared_ptr<ViewController> DWDrawerController::sideDrawerViewControllerForSide(DWSide side) const
{
    if (side == DWSideLeft)
        return m_left;
    if (side == DWSideRight)
        return m_right;
    return nullptr;
}

std::shared_ptr<ViewController> DWDrawerController::childViewControllerForSide(DWSide side) const
{
    return side == DWSideNone ? m_center : sideDrawerViewControllerForSide(side);
}

void DWDrawerController::replaceCenterViewController(std::shared_ptr<ViewController> controller, bool animated, bool tellOldCenter)
{
    if (controller == m_center)
        return;
    auto container = childControllerContainerView();
    if (!m_centerContainerView) {
        m_centerContainerView = DWDrawerCenterContainerView::create(container->bounds());
        m_centerContainerView->setOpenSide(m_openSide);
        m_centerContainerView->setCenterInteractionMode(m_centerHiddenInteractionMode);
        m_centerContainerView->setBackgroundColor(std::nullopt);
        m_centerContainerView->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        container->addSubview(m_centerContainerView);
    }
    if (auto old = m_center) {
        old->willMoveToParentViewController(nullptr);
        if (tellOldCenter)
            old->beginAppearanceTransition(false, false);
        if (old->isViewLoaded())
            old->view()->removeFromSuperview();
        if (tellOldCenter)
            old->endAppearanceTransition();
        old->removeFromParentViewController();
    }
    m_center = std::move(controller);
    if (!m_center)
        return;
    addChildViewController(m_center);
    auto centerView = m_center->view();
    centerView->setFrame(container->bounds());
    m_centerContainerView->addSubview(centerView);
    container->bringSubviewToFront(m_centerContainerView);
    centerView->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    updateShadowForCenterView();
    if (animated)
        return;
    if (view()->window()) {
        m_center->beginAppearanceTransition(true, false);
        m_center->endAppearanceTransition();
    }
    m_center->didMoveToParentViewController(drawerSelf());
}

void DWDrawerController::setDrawerViewController(std::shared_ptr<ViewController> controller, DWSide side)
{
    if (side != DWSideLeft && side != DWSideRight)
        return;
    auto current = sideDrawerViewControllerForSide(side);
    if (controller == current)
        return;
    if (current) {
        current->beginAppearanceTransition(false, false);
        if (current->isViewLoaded())
            current->view()->removeFromSuperview();
        current->endAppearanceTransition();
        current->willMoveToParentViewController(nullptr);
        current->removeFromParentViewController();
    }
    (side == DWSideLeft ? m_left : m_right) = controller;
    if (!controller) {
        // An open side without a drawer would show the centre pushed aside over nothing, with
        // nothing to close it by.
        if (m_openSide == side)
            closeDrawerAnimated(false);
        return;
    }
    addChildViewController(controller);
    auto container = childControllerContainerView();
    auto drawer = controller->view();
    if (m_openSide == side && m_centerContainerView && m_centerContainerView->superview() == container) {
        container->insertSubviewBelow(drawer, m_centerContainerView);
        controller->beginAppearanceTransition(true, false);
        controller->endAppearanceTransition();
    } else {
        container->addSubview(drawer);
        container->sendSubviewToBack(drawer);
        drawer->setHidden(true);
    }
    controller->didMoveToParentViewController(drawerSelf());
    drawer->setAutoresizingMask(AutoresizingFlexibleHeight | (side == DWSideLeft ? AutoresizingFlexibleRightMargin : AutoresizingFlexibleLeftMargin));
    if (auto frame = mm_visibleDrawerFrame(*controller))
        drawer->setFrame(*frame);
}

// ---- Opening and closing ----

double DWDrawerController::durationForDistance(double distance, double velocity) const
{
    // A velocity of 0 would give an endless animation; it stands for the default.
    double speed = std::fabs(velocity);
    if (speed == 0 || std::isnan(speed))
        speed = DWDrawerDefaultAnimationVelocity;
    return std::max(std::fabs(distance) / speed, DWDrawerMinimumAnimationDuration);
}

double DWDrawerController::animationDurationForAnimationDistance(double distance) const
{
    return durationForDistance(distance, m_animationVelocity);
}

void DWDrawerController::openDrawerSide(DWSide side, bool animated, Completion completion)
{
    openDrawerSide(side, animated, m_animationVelocity, 0, std::move(completion));
}

void DWDrawerController::openDrawerSide(DWSide side, bool animated, double velocity, unsigned options, Completion completion)
{
    if (m_animatingDrawer)
        return finish(completion, false);
    auto drawer = sideDrawerViewControllerForSide(side);
    if (!drawer || !m_centerContainerView) {
        // Nothing to open: leaving the flag set would refuse every later request and touch.
        setAnimatingDrawer(false);
        return finish(completion, false);
    }
    setAnimatingDrawer(animated);
    if (m_openSide != side)
        prepareToPresentDrawer(side, animated);
    auto self = drawerSelf();
    Rect frame = m_centerContainerView->frame();
    double target = side == DWSideLeft ? maximumLeftDrawerWidth() : -maximumRightDrawerWidth();
    double duration = animated ? durationForDistance(frame.minX() - target, velocity) : 0;
    Animator::shared().animate(duration, 0, options, [&] {
        setNeedsStatusBarAppearanceUpdateIfSupported();
        m_centerContainerView->setFrame(withX(frame, target));
        updateDrawerVisualStateForDrawerSide(side, 1.0);
    }, [self, side, drawer, completion](bool finished) {
        if (self->m_openSide != side)
            drawer->endAppearanceTransition();
        self->setOpenSide(side);
        self->resetDrawerVisualStateForDrawerSide(side);
        self->setAnimatingDrawer(false);
        finish(completion, finished);
    });
}

void DWDrawerController::closeDrawerAnimated(bool animated, Completion completion)
{
    closeDrawerAnimated(animated, m_animationVelocity, 0, std::move(completion));
}

void DWDrawerController::closeDrawerAnimated(bool animated, double velocity, unsigned options, Completion completion)
{
    if (m_animatingDrawer)
        return finish(completion, false);
    setAnimatingDrawer(animated);
    auto self = drawerSelf();
    Rect target = childControllerContainerView()->bounds();
    double x = m_centerContainerView ? m_centerContainerView->frame().minX() : 0;
    double duration = animated ? durationForDistance(x, velocity) : 0;
    auto shown = sideShownAtOriginX(x);
    DWSide side = shown.first;
    double fraction = shown.second;
    updateDrawerVisualStateForDrawerSide(side, fraction);
    auto drawer = sideDrawerViewControllerForSide(side);
    if (drawer)
        drawer->beginAppearanceTransition(false, animated);
    Animator::shared().animate(duration, 0, options, [&] {
        setNeedsStatusBarAppearanceUpdateIfSupported();
        if (m_centerContainerView)
            m_centerContainerView->setFrame(target);
        updateDrawerVisualStateForDrawerSide(side, 0.0);
    }, [self, side, drawer, completion](bool finished) {
        if (drawer)
            drawer->endAppearanceTransition();
        self->setOpenSide(DWSideNone);
        self->resetDrawerVisualStateForDrawerSide(side);
        self->setAnimatingDrawer(false);
        finish(completion, finished);
    });
}

std::pair<DWSide, double> DWDrawerController::sideShownAtOriginX(double x) const
{
    // A width that reads 0 (the drawer went while open) gives fraction 0 rather than a division by it.
    if (x > 0)
        return { DWSideLeft, maximumLeftDrawerWidth() > 0 ? x / maximumLeftDrawerWidth() : 0 };
    if (x < 0)
        return { DWSideRight, maximumRightDrawerWidth() > 0 ? -x / maximumRightDrawerWidth() : 0 };
    return { DWSideNone, 0 };
}

void DWDrawerController::toggleDrawerSide(DWSide side, bool animated, Completion completion)
{
    if (m_openSide == DWSideNone)
        return openDrawerSide(side, animated, std::move(completion));
    if (m_openSide == side)
        return closeDrawerAnimated(animated, std::move(completion));
    finish(completion, false);
}

// ---- Presentation of a drawer ----

void DWDrawerController::prepareToPresentDrawer(DWSide side, bool animated)
{
    DWSide other = side == DWSideLeft ? DWSideRight : side == DWSideRight ? DWSideLeft : DWSideNone;
    if (auto otherView = drawerView(other)) {
        childControllerContainerView()->sendSubviewToBack(otherView);
        otherView->setHidden(true);
    }
    auto drawer = sideDrawerViewControllerForSide(side);
    if (!drawer)
        return;
    auto drawerView = drawer->view();
    drawerView->setHidden(false);
    resetDrawerVisualStateForDrawerSide(side);
    if (auto frame = mm_visibleDrawerFrame(*drawer))
        drawerView->setFrame(*frame);
    updateDrawerVisualStateForDrawerSide(side, 0.0);
    drawer->beginAppearanceTransition(true, animated);
}

void DWDrawerController::updateDrawerVisualStateForDrawerSide(DWSide side, double percentVisible)
{
    if (m_drawerVisualState)
        m_drawerVisualState(*this, side, percentVisible);
    else if (m_shouldStretchDrawer)
        applyOvershootScaleTransformForDrawerSide(side, percentVisible);
}

void DWDrawerController::resetDrawerVisualStateForDrawerSide(DWSide side)
{
    auto drawerView = this->drawerView(side);
    if (!drawerView)
        return;
    drawerView->layer().setAnchorPoint({ 0.5, 0.5 });
    drawerView->layer().setTransform(Transform3D::identity());
    drawerView->setAlpha(1.0);
}

void DWDrawerController::setOpenSide(DWSide side)
{
    if (side == m_openSide)
        return;
    m_openSide = side;
    if (m_centerContainerView)
        m_centerContainerView->setOpenSide(side);
    if (side == DWSideNone) {
        if (auto left = drawerView(DWSideLeft))
            left->setHidden(true);
        if (auto right = drawerView(DWSideRight))
            right->setHidden(true);
    }
    setNeedsStatusBarAppearanceUpdateIfSupported();
}

void DWDrawerController::setAnimatingDrawer(bool animating)
{
    m_animatingDrawer = animating;
    view()->setUserInteractionEnabled(!animating);
}

void DWDrawerController::setNeedsStatusBarAppearanceUpdateIfSupported()
{
    setNeedsStatusBarAppearanceUpdate();
}

// ---- Widths ----

void DWDrawerController::setMaximumDrawerWidth(double width, DWSide side, bool animated, Completion completion)
{
    double old = 0;
    if (side == DWSideLeft) {
        old = m_maximumLeftDrawerWidth;
        m_maximumLeftDrawerWidth = width;
    } else if (side == DWSideRight) {
        old = m_maximumRightDrawerWidth;
        m_maximumRightDrawerWidth = width;
    }
    auto drawer = sideDrawerViewControllerForSide(side);
    if (m_openSide != side || !m_centerContainerView) {
        if (drawer) {
            if (auto frame = mm_visibleDrawerFrame(*drawer))
                drawer->view()->setFrame(*frame);
        }
        return finish(completion, true);
    }
    double duration = animated ? animationDurationForAnimationDistance(width - old) : 0;
    Rect frame = m_centerContainerView->frame();
    Animator::shared().animate(duration, 0, 0, [&] {
        m_centerContainerView->setFrame(withX(frame, side == DWSideLeft ? width : -width));
        if (drawer) {
            if (auto visible = mm_visibleDrawerFrame(*drawer))
                drawer->view()->setFrame(*visible);
        }
    }, [completion](bool finished) { finish(completion, finished); });
}

double DWDrawerController::visibleLeftDrawerWidth() const
{
    if (!m_centerContainerView)
        return 0;
    return std::max(m_centerContainerView->frame().minX(), 0.0);
}

double DWDrawerController::visibleRightDrawerWidth() const
{
    if (!m_centerContainerView || m_centerContainerView->frame().minX() >= 0)
        return 0;
    return m_childControllerContainerView->bounds().width() - m_centerContainerView->frame().maxX();
}

// ---- Settings ----

void DWDrawerController::setCenterHiddenInteractionMode(DWCenterInteraction mode)
{
    m_centerHiddenInteractionMode = mode;
    if (m_centerContainerView)
        m_centerContainerView->setCenterInteractionMode(mode);
}

void DWDrawerController::setShowsShadow(bool shows)
{
    m_showsShadow = shows;
    updateShadowForCenterView();
}

void DWDrawerController::setShadowRadius(double radius)
{
    m_shadowRadius = radius;
    updateShadowForCenterView();
}

void DWDrawerController::setShadowOpacity(double opacity)
{
    m_shadowOpacity = opacity;
    updateShadowForCenterView();
}

void DWDrawerController::setShadowOffset(Size offset)
{
    m_shadowOffset = offset;
    updateShadowForCenterView();
}

void DWDrawerController::setShadowColor(Color color)
{
    m_shadowColor = color;
    updateShadowForCenterView();
}

void DWDrawerController::updateShadowForCenterView()
{
    if (!m_centerContainerView)
        return;
    Layer& layer = m_centerContainerView->layer();
    if (m_showsShadow) {
        layer.setMasksToBounds(false);
        layer.setShadowRadius(m_shadowRadius);
        layer.setShadowOpacity(m_shadowOpacity);
        layer.setShadowOffset(m_shadowOffset);
        layer.setShadowColor(m_shadowColor);
        // The path is replaced only when the bounds changed.
        Rect bounds = m_centerContainerView->bounds();
        if (layer.shadowPath() && *layer.shadowPath() == bounds)
            return;
        layer.setShadowPath(bounds);
        return;
    }
    if (!layer.shadowPath())
        return;
    layer.setShadowRadius(0);
    layer.setShadowOpacity(0);
    layer.setShadowOffset({ 0, -3 });
    layer.setShadowPath(std::nullopt);
    layer.setMasksToBounds(true);
}

void DWDrawerController::setShowsStatusBarBackgroundView(bool shows)
{
    if (systemMajorVersion() < 7) {
        m_showsStatusBarBackgroundView = false;
        return;
    }
    if (shows == m_showsStatusBarBackgroundView)
        return;
    m_showsStatusBarBackgroundView = shows;
    auto container = childControllerContainerView();
    Rect frame = container->frame();
    double height = view()->bounds().height();
    if (shows)
        container->setFrame(Rect(frame.x(), kStatusBarHeight, frame.width(), height - kStatusBarHeight));
    else
        container->setFrame(Rect(frame.x(), 0, frame.width(), height));
    dummyStatusBarView()->setHidden(!shows);
}

Color DWDrawerController::statusBarViewBackgroundColor()
{
    if (!m_statusBarViewBackgroundColor)
        m_statusBarViewBackgroundColor = Color::black();
    return *m_statusBarViewBackgroundColor;
}

void DWDrawerController::setStatusBarViewBackgroundColor(Color color)
{
    m_statusBarViewBackgroundColor = color;
    dummyStatusBarView()->setBackgroundColor(color);
}

// ---- View life cycle ----

void DWDrawerController::viewDidLoad()
{
    ViewController::viewDidLoad();
    view()->setBackgroundColor(Color::black());
    setupGestureRecognizers();
}

void DWDrawerController::forwardAppearance(bool appearing, bool animated, bool ending)
{
    auto drawer = sideDrawerViewControllerForSide(m_openSide);
    for (const auto& controller : { m_center, drawer }) {
        if (!controller)
            continue;
        if (ending)
            controller->endAppearanceTransition();
        else
            controller->beginAppearanceTransition(appearing, animated);
    }
}

void DWDrawerController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    forwardAppearance(true, animated, false);
}

void DWDrawerController::viewDidAppear(bool animated)
{
    ViewController::viewDidAppear(animated);
    updateShadowForCenterView();
    forwardAppearance(true, animated, true);
}

void DWDrawerController::viewWillDisappear(bool animated)
{
    ViewController::viewWillDisappear(animated);
    forwardAppearance(false, animated, false);
}

void DWDrawerController::viewDidDisappear(bool animated)
{
    ViewController::viewDidDisappear(animated);
    forwardAppearance(false, animated, true);
}

// ---- Rotation ----

void DWDrawerController::willRotateToInterfaceOrientation(int orientation, double duration)
{
    ViewController::willRotateToInterfaceOrientation(orientation, duration);
    // A pan still moving the centre is cancelled; from the first one found on, the open side's
    // visual state is reset once for every recogniser visited.
    bool resetting = false;
    auto recognizers = view()->gestureRecognizers();
    for (const auto& recognizer : recognizers) {
        if (recognizer->state() == GestureState::Changed) {
            recognizer->setEnabled(false);
            recognizer->setEnabled(true);
            resetting = true;
        }
        if (resetting)
            resetDrawerVisualStateForDrawerSide(m_openSide);
    }
    for (const auto& child : std::vector(childViewControllers()))
        child->deliverWillRotate(orientation, duration);
}

void DWDrawerController::willAnimateRotationToInterfaceOrientation(int orientation, double duration)
{
    ViewController::willAnimateRotationToInterfaceOrientation(orientation, duration);
    if (m_showsShadow && m_centerContainerView) {
        auto oldPath = m_centerContainerView->layer().shadowPath();
        updateShadowForCenterView();
        if (oldPath) {
            LayerAnimation animation;
            animation.keyPath = "shadowPath";
            animation.from = *oldPath;
            if (auto path = m_centerContainerView->layer().shadowPath())
                animation.to = *path;
            animation.duration = duration;
            animation.curve = AnimationCurve::EaseInOut;
            m_centerContainerView->layer().addAnimation(std::move(animation), "transition");
        }
    }
    for (const auto& child : std::vector(childViewControllers()))
        child->deliverWillAnimateRotation(orientation, duration);
}

void DWDrawerController::didRotateFromInterfaceOrientation(int orientation)
{
    ViewController::didRotateFromInterfaceOrientation(orientation);
    for (const auto& child : std::vector(childViewControllers()))
        child->deliverDidRotate(orientation);
}

// ---- Category ----

std::shared_ptr<DWDrawerController> mm_drawerController(const ViewController& controller)
{
    for (auto parent = controller.parentViewController(); parent; parent = parent->parentViewController()) {
        if (auto drawer = std::dynamic_pointer_cast<DWDrawerController>(parent))
            return drawer;
    }
    return nullptr;
}

std::optional<Rect> mm_visibleDrawerFrame(const ViewController& controller)
{
    auto drawer = mm_drawerController(controller);
    if (!drawer)
        return std::nullopt;
    auto navigation = controller.navigationController();
    auto is = [&](const std::shared_ptr<ViewController>& side) {
        return side && (side.get() == &controller || side == std::static_pointer_cast<ViewController>(navigation));
    };
    Rect bounds = drawer->view()->bounds();
    double shortening = drawer->showsStatusBarBackgroundView() ? kStatusBarHeight : 0;
    if (is(drawer->leftDrawerViewController())) {
        double width = drawer->maximumLeftDrawerWidth();
        return Rect(bounds.x(), bounds.y(), width, bounds.height() - shortening);
    }
    if (is(drawer->rightDrawerViewController())) {
        double width = drawer->maximumRightDrawerWidth();
        return Rect(bounds.width() - width, bounds.y(), width, bounds.height() - shortening);
    }
    return std::nullopt;
}

} // namespace morvix
