// Centre replacements that close the open drawer, the bounce preview and state restoration
// of the side-drawer container.

#include "shell/drawer/DWDrawerController.h"

#include "platform/ui/Animator.h"
#include "platform/ui/Layer.h"
#include "platform/ui/RestorationCoder.h"
#include "platform/ui/View.h"
#include "shell/drawer/DWDrawerCenterContainerView.h"

#include <array>
#include <cmath>

namespace morvix {

using namespace platform;

namespace {

const char* const kLeftDrawerKey = "DWDrawerLeftDrawer";
const char* const kRightDrawerKey = "DWDrawerRightDrawer";
const char* const kCenterKey = "DWDrawerCenter";
const char* const kOpenSideKey = "DWDrawerOpenSide";

constexpr double kBounceDuration = 0.8;

// Three arches of falling height (the whole distance, a half, a quarter), in 128ths.
constexpr std::array<int, 32> kBounceFactors = { 0, 32, 60, 83, 100, 114, 124, 128, 128, 124, 114, 100, 83, 60, 32, 0, 24, 42, 54, 62,
    64, 62, 54, 42, 24, 0, 18, 28, 32, 28, 18, 0 };

void finish(const DWDrawerController::Completion& completion, bool finished)
{
    if (completion)
        completion(finished);
}

LayerAnimation bounceKeyFrameAnimationForDistanceOnView(double distance, const View& view)
{
    LayerAnimation animation;
    animation.keyPath = "position.x";
    double middle = view.bounds().midX();
    for (int factor : kBounceFactors)
        animation.values.push_back(middle + distance * factor / 128);
    // One pass: the layer's repeat count counts the passes after the first.
    animation.repeatCount = 0;
    animation.duration = kBounceDuration;
    animation.removedOnCompletion = true;
    animation.autoreverses = false;
    return animation;
}

} // namespace

void DWDrawerController::setCenterViewControllerWithCloseAnimation(std::shared_ptr<ViewController> controller, bool animated, Completion completion)
{
    if (m_openSide == DWSideNone || !animated) {
        setCenterViewController(std::move(controller), false);
        return finish(completion, true);
    }
    bool changed = controller != m_center;
    // The animated replacement would remove the old centre without telling it; it hears that
    // it disappeared, so that what it watches while shown (the keyboard) is let go.
    replaceCenterViewController(controller, true, true);
    updateDrawerVisualStateForDrawerSide(m_openSide, 1.0);
    if (changed && controller)
        controller->beginAppearanceTransition(true, true);
    auto self = std::static_pointer_cast<DWDrawerController>(shared_from_this());
    closeDrawerAnimated(true, [self, controller, changed, completion](bool finished) {
        if (changed && controller) {
            controller->endAppearanceTransition();
            controller->didMoveToParentViewController(self);
        }
        finish(completion, finished);
    });
}

void DWDrawerController::setCenterViewControllerWithFullCloseAnimation(std::shared_ptr<ViewController> controller, bool animated,
    Completion completion)
{
    if (m_openSide == DWSideNone || !animated || !m_centerContainerView) {
        // The centre is swapped (and told so) at once; an open drawer closes without animation.
        setCenterViewController(std::move(controller), false);
        if (m_openSide != DWSideNone)
            return closeDrawerAnimated(false, std::move(completion));
        return finish(completion, true);
    }
    struct FullClose {
        std::shared_ptr<DWDrawerController> self;
        std::shared_ptr<ViewController> old;
        std::shared_ptr<ViewController> controller;
        std::shared_ptr<ViewController> drawer;
        DWSide side;
        bool changed;
        Completion completion;
    };
    auto step = std::make_shared<FullClose>(FullClose { std::static_pointer_cast<DWDrawerController>(shared_from_this()), m_center,
        controller, sideDrawerViewControllerForSide(m_openSide), m_openSide, controller != m_center, std::move(completion) });
    auto container = childControllerContainerView();
    double offscreen = step->side == DWSideLeft ? container->bounds().width() : -container->bounds().width();
    double duration = animationDurationForAnimationDistance(m_centerContainerView->frame().minX() - offscreen);
    setAnimatingDrawer(true);
    if (step->changed && step->old)
        step->old->beginAppearanceTransition(false, true);
    Rect frame = m_centerContainerView->frame();
    frame.origin.x = offscreen;
    Animator::shared().animate(duration, 0, 0, [&] {
        m_centerContainerView->setFrame(frame);
        if (step->drawer)
            step->drawer->view()->setFrame(container->bounds());
    }, [step](bool) { step->self->slideInAfterFullClose(step->old, step->controller, step->drawer, step->side, step->changed, step->completion); });
}

void DWDrawerController::slideInAfterFullClose(const std::shared_ptr<ViewController>& old, const std::shared_ptr<ViewController>& controller,
    const std::shared_ptr<ViewController>& drawer, DWSide side, bool changed, const Completion& completion)
{
    auto container = childControllerContainerView();
    Rect saved = m_centerContainerView->frame();
    setCenterViewController(controller, true);
    m_centerContainerView->setFrame(saved);
    updateDrawerVisualStateForDrawerSide(side, 1.0);
    if (changed) {
        if (old)
            old->endAppearanceTransition();
        if (controller)
            controller->beginAppearanceTransition(true, true);
    }
    if (drawer)
        drawer->beginAppearanceTransition(false, true);
    auto self = std::static_pointer_cast<DWDrawerController>(shared_from_this());
    double duration = animationDurationForAnimationDistance(container->bounds().width());
    Animator::shared().animate(duration, DWDrawerDefaultFullAnimationDelay, 0, [&] {
        m_centerContainerView->setFrame(container->bounds());
        updateDrawerVisualStateForDrawerSide(side, 0.0);
    }, [self, controller, drawer, side, changed, completion](bool finished) {
        if (changed && controller) {
            controller->endAppearanceTransition();
            controller->didMoveToParentViewController(self);
        }
        if (drawer) {
            drawer->endAppearanceTransition();
            self->resetDrawerVisualStateForDrawerSide(side);
            if (auto frame = mm_visibleDrawerFrame(*drawer))
                drawer->view()->setFrame(*frame);
        }
        self->setOpenSide(DWSideNone);
        self->setAnimatingDrawer(false);
        finish(completion, finished);
    });
}

void DWDrawerController::bouncePreviewForDrawerSide(DWSide side, double distance, Completion completion)
{
    auto drawer = sideDrawerViewControllerForSide(side);
    if (!drawer || m_openSide != DWSideNone || !m_centerContainerView)
        return finish(completion, false);
    prepareToPresentDrawer(side, true);
    updateDrawerVisualStateForDrawerSide(side, 1.0);
    auto& animator = Animator::shared();
    animator.beginTransaction();
    animator.setTransactionCompletion([drawer, completion] {
        drawer->endAppearanceTransition();
        drawer->beginAppearanceTransition(false, false);
        drawer->endAppearanceTransition();
        finish(completion, true);
    });
    double sign = side == DWSideLeft ? 1 : -1;
    m_centerContainerView->layer().addAnimation(bounceKeyFrameAnimationForDistanceOnView(sign * distance, *m_centerContainerView), "bouncing");
    animator.commitTransaction();
}

void DWDrawerController::encodeRestorableState(RestorationCoder& coder)
{
    ViewController::encodeRestorableState(coder);
    if (m_left)
        coder.encodeController(m_left, kLeftDrawerKey);
    if (m_right)
        coder.encodeController(m_right, kRightDrawerKey);
    if (m_center)
        coder.encodeController(m_center, kCenterKey);
    coder.encodeInteger(m_openSide, kOpenSideKey);
}

void DWDrawerController::decodeRestorableState(RestorationCoder& coder)
{
    ViewController::decodeRestorableState(coder);
    if (auto left = coder.decodeController(kLeftDrawerKey))
        setLeftDrawerViewController(left);
    if (auto right = coder.decodeController(kRightDrawerKey))
        setRightDrawerViewController(right);
    if (auto center = coder.decodeController(kCenterKey))
        setCenterViewController(center);
    auto side = static_cast<DWSide>(coder.decodeInteger(kOpenSideKey));
    if (side != DWSideNone)
        openDrawerSide(side, false);
}

} // namespace morvix
