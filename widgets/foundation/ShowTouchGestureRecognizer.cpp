#include "widgets/foundation/ShowTouchGestureRecognizer.h"

#include "platform/graphics/Image.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Control.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/rendering/Renderer.h"
#include "widgets/foundation/BasicWidget.h"
#include "widgets/text/FontHelper.h"

#include <cmath>

namespace morvix {

using platform::Animator;
using platform::View;

namespace {

double distanceBetween(platform::Point a, platform::Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

} // namespace

std::shared_ptr<ShowTouchGestureRecognizer> ShowTouchGestureRecognizer::create(const std::shared_ptr<BasicWidget>& widget)
{
    auto recognizer = std::shared_ptr<ShowTouchGestureRecognizer>(new ShowTouchGestureRecognizer());
    recognizer->setDelegate(std::static_pointer_cast<platform::GestureRecognizerDelegate>(recognizer));
    recognizer->setWidget(widget);
    return recognizer;
}

ShowTouchGestureRecognizer::ShowTouchGestureRecognizer()
    : TapGestureRecognizer(Action {})
{
    setCancelsTouchesInView(false);
}

void ShowTouchGestureRecognizer::touchesBegan(const platform::TouchSet& touches, const platform::Event& event)
{
    if (!touches.empty())
        m_startPoint = touches.front()->windowLocation();
    TapGestureRecognizer::touchesBegan(touches, event);
    showTouch();
}

void ShowTouchGestureRecognizer::touchesMoved(const platform::TouchSet& touches, const platform::Event& event)
{
    if (!touches.empty() && distanceBetween(m_startPoint, touches.front()->windowLocation()) > kMoveLimit) {
        TapGestureRecognizer::touchesCancelled(touches, event);
        hideTouch();
        return;
    }
    TapGestureRecognizer::touchesMoved(touches, event);
}

void ShowTouchGestureRecognizer::touchesEnded(const platform::TouchSet& touches, const platform::Event& event)
{
    TapGestureRecognizer::touchesEnded(touches, event);
    hideTouch();
}

void ShowTouchGestureRecognizer::touchesCancelled(const platform::TouchSet& touches, const platform::Event& event)
{
    TapGestureRecognizer::touchesCancelled(touches, event);
    hideTouch();
}

void ShowTouchGestureRecognizer::reset()
{
    TapGestureRecognizer::reset();
    hideTouch();
}

void ShowTouchGestureRecognizer::tapFailed()
{
    // A failed recogniser hears nothing more of its touches, and the feedback must still see
    // them move and lift: fail only once they are all gone.
    if (trackedTouches().empty())
        TapGestureRecognizer::tapFailed();
}

void ShowTouchGestureRecognizer::showTouch()
{
    hideTouch();
    auto view = this->view();
    if (!view)
        return;
    auto overlay = View::create({ 0, 0, view->frame().width(), view->frame().height() });
    overlay->setAlpha(0);
    overlay->setBackgroundColor(FontHelper::touchFeedbackColor());
    // The overlay lies over the whole view: it must not become what a touch or a hit test
    // finds in place of the view itself.
    overlay->setUserInteractionEnabled(false);
    maskView(*overlay);
    view->addSubview(overlay);
    m_touchView = overlay;

    auto& animator = Animator::shared();
    animator.begin();
    animator.setDuration(kFadeInDuration);
    animator.setBeginsFromCurrentState(true);
    overlay->setAlpha(kShownAlpha);
    animator.commit();
}

void ShowTouchGestureRecognizer::hideTouch()
{
    auto overlay = m_touchView;
    // Its model alpha is 0 once its fade-out has started; starting another would end the first
    // early and take the overlay away at once.
    if (!overlay || overlay->alpha() == 0)
        return;
    std::weak_ptr<GestureRecognizer> weak = weak_from_this();
    auto& animator = Animator::shared();
    animator.begin();
    animator.setDuration(kFadeOutDuration);
    animator.setBeginsFromCurrentState(true);
    animator.setDidStop([weak, overlay](const std::string&, bool) {
        if (auto self = std::static_pointer_cast<ShowTouchGestureRecognizer>(weak.lock()))
            self->removeView(overlay);
        else
            overlay->removeFromSuperview();
    });
    overlay->setAlpha(0);
    animator.commit();
}

void ShowTouchGestureRecognizer::removeView(const std::shared_ptr<View>& overlay)
{
    overlay->removeFromSuperview();
    if (m_touchView == overlay)
        m_touchView.reset();
}

void ShowTouchGestureRecognizer::maskView(View& overlay)
{
    auto view = this->view();
    if (!view)
        return;
    auto mask = platform::Layer::create();
    mask->setFrame(overlay.bounds());
    mask->setContents(platform::Renderer::render(*view, { .scale = 1 }));
    overlay.layer().setMask(std::move(mask));
}

bool ShowTouchGestureRecognizer::gestureRecognizerShouldBegin(platform::GestureRecognizer&)
{
    if (auto widget = this->widget(); widget && !widget->isEnabled())
        return false;
    return !dynamic_cast<platform::Control*>(view().get());
}

} // namespace morvix
