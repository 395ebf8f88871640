#include "platform/ui/ScrollView.h"

#include "platform/ui/Animator.h"
#include "platform/ui/PanGestureRecognizer.h"

#include <algorithm>
#include <cmath>

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

bool ScrollView::bouncesAlong(bool vertical) const
{
    if (!m_bounces)
        return false;
    if (vertical ? m_alwaysBounceVertical : m_alwaysBounceHorizontal)
        return true;
    return vertical ? m_contentSize.height + m_contentInset.top + m_contentInset.bottom > bounds().height()
                    : m_contentSize.width + m_contentInset.left + m_contentInset.right > bounds().width();
}

void ScrollView::panned(PanGestureRecognizer& pan)
{
    switch (pan.state()) {
    case GestureState::Began:
        m_dragging = true;
        m_dragStartOffset = contentOffset();
        m_lockedAxis = LockedAxis::None;
        [[fallthrough]];
    case GestureState::Changed: {
        Point translation = pan.translationIn(this);
        if (m_directionalLock) {
            // The first movement decides: mostly sideways moves sideways only, mostly up or down
            // vertically only; an exact diagonal stays free.
            if (m_lockedAxis == LockedAxis::None && std::abs(translation.x) != std::abs(translation.y))
                m_lockedAxis = std::abs(translation.x) > std::abs(translation.y) ? LockedAxis::Horizontal : LockedAxis::Vertical;
            if (m_lockedAxis == LockedAxis::Horizontal)
                translation.y = 0;
            else if (m_lockedAxis == LockedAxis::Vertical)
                translation.x = 0;
        }
        Point minimum = minimumContentOffset();
        Point maximum = maximumContentOffset();
        // Past the range the content follows the finger one to one while it may bounce there
        // (the headless choice: no rubber-band damping).
        Point wanted { m_dragStartOffset.x - translation.x, m_dragStartOffset.y - translation.y };
        applyOffset({ bouncesAlong(false) ? wanted.x : std::clamp(wanted.x, minimum.x, maximum.x),
            bouncesAlong(true) ? wanted.y : std::clamp(wanted.y, minimum.y, maximum.y) });
        return;
    }
    case GestureState::Ended:
    case GestureState::Cancelled:
    case GestureState::Failed:
        if (m_dragging)
            endDragging();
        return;
    case GestureState::Possible:
        m_dragging = false;
        return;
    }
}

void ScrollView::endDragging()
{
    m_dragging = false;
    Point minimum = minimumContentOffset();
    Point maximum = maximumContentOffset();
    Point offset = contentOffset();
    Point target { std::clamp(offset.x, minimum.x, maximum.x), std::clamp(offset.y, minimum.y, maximum.y) };
    if (m_pagingEnabled) {
        Size page = bounds().size;
        if (page.width > 0)
            target.x = std::clamp(std::round(offset.x / page.width) * page.width, minimum.x, maximum.x);
        if (page.height > 0)
            target.y = std::clamp(std::round(offset.y / page.height) * page.height, minimum.y, maximum.y);
    }
    // The headless scroll view does not coast: only a move to a page counts as deceleration.
    bool decelerates = m_pagingEnabled && target != offset;
    if (auto delegate = m_delegate.lock())
        delegate->scrollViewDidEndDragging(*this, decelerates);
    if (target != offset)
        setContentOffset(target, Animated::Yes);
    if (!decelerates)
        return;
    if (auto delegate = m_delegate.lock())
        delegate->scrollViewDidEndDecelerating(*this);
}

// ---- Zooming ----

double ScrollView::clampedZoom(double scale) const
{
    return std::min(std::max(scale, m_minimumZoomScale), m_maximumZoomScale);
}

void ScrollView::applyZoom()
{
    auto delegate = m_delegate.lock();
    auto view = delegate ? delegate->viewForZooming(*this) : nullptr;
    if (!view || view->superview().get() != this)
        return;
    // Scaling about the top left corner keeps the view's layout frame at the content origin, so
    // that the layout pass and the zoom agree on where it lies.
    view->layer().setAnchorPoint({ 0, 0 });
    view->setCenter({ 0, 0 });
    view->setTransform(AffineTransform::scale(m_zoomScale, m_zoomScale));
    Size size = view->bounds().size;
    m_contentSize = { size.width * m_zoomScale, size.height * m_zoomScale };
}

void ScrollView::setZoomScale(double scale, Animated animated)
{
    if (!std::isfinite(scale))
        return;
    m_zoomScale = clampedZoom(scale);
    if (animated == Animated::No) {
        applyZoom();
        return;
    }
    Animator::shared().animate(kScrollAnimationDuration, [&] { applyZoom(); });
}

void ScrollView::zoomToRect(const Rect& rect, Animated animated)
{
    if (!(rect.width() > 0) || !(rect.height() > 0))
        return;
    double zoom = std::min(bounds().width() / rect.width(), bounds().height() / rect.height());
    if (!std::isfinite(zoom))
        return;
    m_zoomScale = clampedZoom(zoom);
    auto change = [&] {
        applyZoom();
        Point minimum = minimumContentOffset();
        Point maximum = maximumContentOffset();
        applyOffset({ std::clamp(rect.x() * m_zoomScale, minimum.x, maximum.x),
            std::clamp(rect.y() * m_zoomScale, minimum.y, maximum.y) });
    };
    if (animated == Animated::No) {
        change();
        return;
    }
    Animator::shared().animate(kScrollAnimationDuration, change);
}

void ScrollView::layoutSubviews()
{
    View::layoutSubviews();
    applyZoom();
}

} // namespace morvix::platform
