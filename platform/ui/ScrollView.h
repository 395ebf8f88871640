#pragma once
// A view whose contents are larger than it and move under a dragging finger.

#include "platform/graphics/EdgeInsets.h"
#include "platform/ui/View.h"

#include <memory>

namespace morvix::platform {

class PanGestureRecognizer;
class ScrollView;

/// Hears of a scroll view's movements. Held weakly by the scroll view. Main thread.
class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    /// The content offset changed (by a finger, by code, or by an animation's end value).
    virtual void scrollViewDidScroll(ScrollView& scrollView) { (void)scrollView; }
    /// The subview that zooming scales; none (the default) means the scroll view does not zoom.
    virtual std::shared_ptr<View> viewForZooming(ScrollView& scrollView)
    {
        (void)scrollView;
        return nullptr;
    }
    /// The finger lifted; `willDecelerate` tells whether the content goes on moving by itself
    /// (the headless scroll view does not coast, so it is false unless paging moves it on).
    virtual void scrollViewDidEndDragging(ScrollView& scrollView, bool willDecelerate)
    {
        (void)scrollView, (void)willDecelerate;
    }
    /// The movement that followed a drag came to rest.
    virtual void scrollViewDidEndDecelerating(ScrollView& scrollView) { (void)scrollView; }
};

/// A view that shows a window onto a larger content area: the content offset is the origin of the
/// bounds, so subviews placed in content coordinates move as it changes. A pan recogniser of its
/// own (`panGestureRecognizer`, attached when the view is first hit-tested, so subclasses need
/// no set-up of their own) drags the content; the offset then stays within the content size
/// grown by `contentInset` (at the top left when the content is smaller than the view), except
/// that with `bounces` it follows the finger past the range along an axis whose content is
/// larger than the view (or always, with that axis's always-bounce flag). When the finger lifts
/// the delegate hears that the drag ended, and the offset goes back into the range (with paging,
/// to the nearest multiple of the bounds size, followed by the end of deceleration), animated.
/// Code may set any offset. The layout pass binds the content size where constraints tie
/// descendants to the scroll view's edges (see LayoutEngine). Main thread only.
class ScrollView : public View {
public:
    static std::shared_ptr<ScrollView> create(const Rect& frame = {});
    const char* className() const override { return "ScrollView"; }

    Point contentOffset() const { return bounds().origin; }
    /// Moves the content; animated, the bounds change is recorded as an animation of 0.3 s
    /// (the model value is set at once).
    void setContentOffset(Point offset, Animated animated = Animated::No);
    Size contentSize() const { return m_contentSize; }
    void setContentSize(Size size) { m_contentSize = size; }
    EdgeInsets contentInset() const { return m_contentInset; }
    void setContentInset(EdgeInsets insets) { m_contentInset = insets; }
    /// Scrolls the least distance that makes `rect` (content coordinates) visible.
    void scrollRectToVisible(const Rect& rect, Animated animated = Animated::No);
    /// The range the offset keeps to while dragged, per axis: [minimum, maximum].
    Point minimumContentOffset() const;
    Point maximumContentOffset() const;

    bool isScrollEnabled() const { return m_scrollEnabled; }
    void setScrollEnabled(bool enabled);
    bool bounces() const { return m_bounces; }
    void setBounces(bool bounces) { m_bounces = bounces; }
    /// With `bounces`, a drag may pass the range along this axis even when the content is not
    /// larger than the view.
    bool alwaysBounceHorizontal() const { return m_alwaysBounceHorizontal; }
    void setAlwaysBounceHorizontal(bool bounce) { m_alwaysBounceHorizontal = bounce; }
    bool alwaysBounceVertical() const { return m_alwaysBounceVertical; }
    void setAlwaysBounceVertical(bool bounce) { m_alwaysBounceVertical = bounce; }
    /// A drag that starts mostly along one axis moves along that axis only.
    bool isDirectionalLockEnabled() const { return m_directionalLock; }
    void setDirectionalLockEnabled(bool locked) { m_directionalLock = locked; }
    bool isPagingEnabled() const { return m_pagingEnabled; }
    void setPagingEnabled(bool paging) { m_pagingEnabled = paging; }
    bool showsHorizontalScrollIndicator() const { return m_showsHorizontal; }
    void setShowsHorizontalScrollIndicator(bool shows) { m_showsHorizontal = shows; }
    bool showsVerticalScrollIndicator() const { return m_showsVertical; }
    void setShowsVerticalScrollIndicator(bool shows) { m_showsVertical = shows; }
    bool delaysContentTouches() const { return m_delaysContentTouches; }
    void setDelaysContentTouches(bool delays) { m_delaysContentTouches = delays; }
    bool canCancelContentTouches() const { return m_canCancelContentTouches; }
    void setCanCancelContentTouches(bool cancels) { m_canCancelContentTouches = cancels; }
    bool isDragging() const { return m_dragging; }
    /// Shows the indicators briefly; headless, only counted (`flashCount`) for tests.
    void flashScrollIndicators() { ++m_flashCount; }
    int flashCount() const { return m_flashCount; }

    // ---- Zooming ----
    // The delegate's `viewForZooming` keeps its bounds and is given the transform scale(z) about
    // its top left corner (its layer's anchor point becomes (0, 0)), so that its frame is
    // (0, 0, w * z, h * z) in content coordinates, and the content size becomes (w * z, h * z);
    // each layout pass of the scroll view applies this again. Without a zooming view the zoom
    // is only stored.
    double minimumZoomScale() const { return m_minimumZoomScale; }
    void setMinimumZoomScale(double scale) { m_minimumZoomScale = scale; }
    /// 1.0 by default, so a scroll view zooms out at most until its minimum is lowered.
    double maximumZoomScale() const { return m_maximumZoomScale; }
    void setMaximumZoomScale(double scale) { m_maximumZoomScale = scale; }
    double zoomScale() const { return m_zoomScale; }
    /// Clamped to [minimum, maximum] (the maximum wins when they cross); a scale that is not a
    /// finite number is ignored. Animated, the change is recorded as a 0.3 s animation.
    void setZoomScale(double scale, Animated animated = Animated::No);
    /// Zooms so that `rect` (in the zooming view's own coordinates) fills the view as far as the
    /// zoom range allows: zoom = min(width / rect width, height / rect height), clamped, then
    /// the content offset = the rectangle's origin x zoom, clamped to the content range.
    /// Nothing for a rectangle without area.
    void zoomToRect(const Rect& rect, Animated animated = Animated::No);
    bool bouncesZoom() const { return m_bouncesZoom; }
    void setBouncesZoom(bool bounces) { m_bouncesZoom = bounces; }

    std::shared_ptr<ScrollViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<ScrollViewDelegate> delegate) { m_delegate = std::move(delegate); }
    const std::shared_ptr<PanGestureRecognizer>& panGestureRecognizer() const { return m_pan; }

    /// Attaches the pan recogniser first (overrides call the base).
    std::shared_ptr<View> hitTest(Point point, const Event* event = nullptr) override;
    /// Places the zooming view again (see Zooming).
    void layoutSubviews() override;

protected:
    explicit ScrollView(const Rect& frame);

private:
    static void panAction(GestureRecognizer& recognizer);
    void attachPanRecognizer();
    void panned(PanGestureRecognizer& pan);
    /// Whether a drag may pass the range along the axis.
    bool bouncesAlong(bool vertical) const;
    /// The finger lifted: back into the range (to the nearest page with paging), animated.
    void endDragging();
    void applyOffset(Point offset);
    double clampedZoom(double scale) const;
    void applyZoom();

    Size m_contentSize;
    EdgeInsets m_contentInset;
    bool m_scrollEnabled = true;
    bool m_bounces = true;
    bool m_alwaysBounceHorizontal = false;
    bool m_alwaysBounceVertical = false;
    bool m_directionalLock = false;
    int m_flashCount = 0;
    enum class LockedAxis { None, Horizontal, Vertical };
    LockedAxis m_lockedAxis = LockedAxis::None;
    bool m_pagingEnabled = false;
    bool m_showsHorizontal = true;
    bool m_showsVertical = true;
    bool m_delaysContentTouches = true;
    bool m_canCancelContentTouches = true;
    bool m_dragging = false;
    bool m_panAttached = false;
    Point m_dragStartOffset;
    std::weak_ptr<ScrollViewDelegate> m_delegate;
    std::shared_ptr<PanGestureRecognizer> m_pan;
    double m_minimumZoomScale = 1;
    double m_maximumZoomScale = 1;
    double m_zoomScale = 1;
    bool m_bouncesZoom = true;
};

} // namespace morvix::platform
