#pragma once
// The interface of remote objects that render into a view.

#include <memory>

namespace morvix {

namespace platform {
class View;
}

/// A remote object with a platform view on screen. Adopted beside `BasicObject` (so it does not
/// derive from `RemoteObject` itself): containers and layout references test a remote object for
/// it with `dynamic_cast<Widget*>` before they touch its view. Main thread only.
class Widget {
public:
    virtual ~Widget() = default;

    /// The view the widget renders into; made with the widget and never replaced.
    virtual std::shared_ptr<platform::View> view() const = 0;
    /// Told after the widget's view has been added to `superview`, or removed from its superview
    /// (`superview` null).
    virtual void didMoveToSuperview(const std::shared_ptr<platform::View>& superview) = 0;

protected:
    Widget() = default;
    Widget(const Widget&) = default;
    Widget& operator=(const Widget&) = default;
};

} // namespace morvix
