#pragma once
// The interface of widgets that hold other widgets' views.

#include "widgets/foundation/Widget.h"

namespace morvix {

class BasicWidget;

/// A widget whose view takes its child widgets' views: a child calls `addWidgetView` when its
/// "parent" becomes this container, and the container calls `removeWidgetView` when the child
/// leaves it (destroyed or moved). Adopted beside `BasicWidget` (through `AbstractComposite`);
/// `Widget` is a virtual base, so the two meet in one. Main thread only.
class WidgetContainer : public virtual Widget {
public:
    /// Puts `child`'s view into this container's view.
    virtual void addWidgetView(BasicWidget& child) = 0;
    /// Takes `child`'s view out of its superview, whatever that is.
    virtual void removeWidgetView(const Widget& child) = 0;

protected:
    WidgetContainer() = default;
};

} // namespace morvix
