#include "platform/ui/ScrollView.h"

#include "platform/ui/Animator.h"
#include "platform/ui/PanGestureRecognizer.h"

#include <algorithm>

namespace morvix::platform {

namespace {

constexpr double kScrollAnimationDuration = 0.3;

} // namespace

std::shared_ptr<ScrollView> ScrollView::create(const Rect& frame)
{
    auto view = std::shared_ptr<ScrollView>(new ScrollView(frame));
    view->attachPanRecognizer();
    return view;
}

ScrollView::ScrollView(const Rect& frame)
    : View(frame)
    , m_pan(PanGestureRecognizer::create(&ScrollView::panAction))
{
}

void ScrollView::panAction(GestureRecognizer& recognizer)
{
    // The recogniser reaches its scroll view through its view, so that it holds no pointer of
    // its own to it.
    if (auto view = std::dynamic_pointer_cast<ScrollView>(recognizer.view()))
        view->panned(static_cast<PanGestureRecognizer&>(recognizer));
}

void ScrollView::attachPanRecognizer()
{
    if (m_panAttached)
        return;
    m_panAttached = true;
    addGestureRecognizer(m_pan);
}

std::shared_ptr<View> ScrollView::hitTest(Point point, const Event* event)
{
    attachPanRecognizer();
    return View::hitTest(point, event);
}

void ScrollView::setScrollEnabled(bool enabled)
{
    m_scrollEnabled = enabled;
    m_pan->setEnabled(enabled);
}

Point ScrollView::minimumContentOffset() const
{
    return { -m_contentInset.left, -m_contentInset.top };
}

Point ScrollView::maximumContentOffset() const
{
    Point minimum = minimumContentOffset();
    return { std::max(minimum.x, m_contentSize.width + m_contentInset.right - bounds().width()),
        std::max(minimum.y, m_contentSize.height + m_contentInset.bottom - bounds().height()) };
}

void ScrollView::applyOffset(Point offset)
{
    if (offset == contentOffset())
        return;
    Rect moved = bounds();
    moved.origin = offset;
    setBounds(moved);
    if (auto delegate = m_delegate.lock())
        delegate->scrollViewDidScroll(*this);
}

void ScrollView::setContentOffset(Point offset, Animated animated)
{
    if (animated == Animated::No) {
        applyOffset(offset);
        return;
    }
    Animator::shared().animate(kScrollAnimationDuration, [&] { applyOffset(offset); });
}

void ScrollView::scrollRectToVisible(const Rect& rect, Animated animated)
{
    Rect visible = bounds();
    Point offset = visible.origin;
    if (rect.maxX() > visible.maxX())
        offset.x = rect.maxX() - visible.width();
    if (rect.x() < offset.x)
        offset.x = rect.x();
    if (rect.maxY() > visible.maxY())
        offset.y = rect.maxY() - visible.height();
    if (rect.y() < offset.y)
        offset.y = rect.y();
    Point minimum = minimumContentOffset();
    Point maximum = maximumContentOffset();
    offset = { std::clamp(offset.x, minimum.x, maximum.x), std::clamp(offset.y, minimum.y, maximum.y) };
    setContentOffset(offset, animated);
}

void ScrollView::panned(PanGestureRecognizer& pan)
{
    switch (pan.state()) {
    case GestureState::Began:
        m_dragging = true;
        m_dragStartOffset = contentOffset();
        [[fallthrough]];
    case GestureState::Changed: {
        Point translation = pan.translationIn(this);
        Point minimum = minimumContentOffset();
        Point maximum = maximumContentOffset();
        applyOffset({ std::clamp(m_dragStartOffset.x - translation.x, minimum.x, maximum.x),
            std::clamp(m_dragStartOffset.y - translation.y, minimum.y, maximum.y) });
        return;
    }
    case GestureState::Ended:
    case GestureState::Cancelled:
    case GestureState::Failed:
    case GestureState::Possible:
        m_dragging = false;
        return;
    }
}

} // namespace morvix::platform
