#pragma once
// What a delegating view asks of the widget that owns it.

#include "platform/graphics/Size.h"
#include "platform/ui/Responder.h"

#include <memory>

namespace morvix {

namespace platform {
class View;
}

/// The delegate of a delegating view (`DelegatingView` and its family): normally the widget that
/// owns the view. Every operation is optional. A delegate adopts `ViewDelegate` itself, which
/// the view holds weakly, and one nested capability interface per operation it implements; the
/// view tests for an operation with `ViewDelegate::capability<...>` (a `dynamic_cast`) and falls
/// back to its own behaviour when the delegate lacks it, or when there is no delegate.
///
/// For example, a widget that reports size changes and handles touches:
///
///     class Slate : public BasicWidget, public ViewDelegate::SizeChanged,
///                   public ViewDelegate::TouchStarted { ... };
///
/// Main thread only.
class ViewDelegate {
public:
    virtual ~ViewDelegate() = default;

    /// The view's natural size (`View::kNoIntrinsicMetric` in a dimension without one).
    class IntrinsicSize;
    /// The view's frame size has changed (reported before the view lays out its subviews).
    class SizeChanged;
    /// The view is updating its layout constraints.
    class UpdateConstraints;
    /// The view whose baseline the layout aligns to.
    class BaselineView;
    /// Raw touches. Each answers true when the widget handled the touches; the view then keeps
    /// them from its own handling, so they do not travel on to the enclosing views. A cancelled
    /// touch arrives as `touchEnded`.
    class TouchStarted;
    class TouchMoved;
    class TouchEnded;

    /// `delegate` as the capability, or null when it is null or does not implement it.
    template<typename Capability>
    static Capability* capability(ViewDelegate* delegate)
    {
        return dynamic_cast<Capability*>(delegate);
    }

protected:
    ViewDelegate() = default;
    ViewDelegate(const ViewDelegate&) = default;
    ViewDelegate& operator=(const ViewDelegate&) = default;
};

class ViewDelegate::IntrinsicSize {
public:
    virtual ~IntrinsicSize() = default;
    virtual platform::Size intrinsicContentSize() = 0;
};

class ViewDelegate::SizeChanged {
public:
    virtual ~SizeChanged() = default;
    virtual void sizeChanged(platform::Size size) = 0;
};

class ViewDelegate::UpdateConstraints {
public:
    virtual ~UpdateConstraints() = default;
    virtual void updateConstraints() = 0;
};

class ViewDelegate::BaselineView {
public:
    virtual ~BaselineView() = default;
    virtual std::shared_ptr<platform::View> viewForBaselineLayout() = 0;
};

class ViewDelegate::TouchStarted {
public:
    virtual ~TouchStarted() = default;
    virtual bool touchStarted(const platform::TouchSet& touches) = 0;
};

class ViewDelegate::TouchMoved {
public:
    virtual ~TouchMoved() = default;
    virtual bool touchMoved(const platform::TouchSet& touches) = 0;
};

class ViewDelegate::TouchEnded {
public:
    virtual ~TouchEnded() = default;
    virtual bool touchEnded(const platform::TouchSet& touches) = 0;
};

} // namespace morvix
