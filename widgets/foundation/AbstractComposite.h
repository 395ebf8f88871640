#pragma once
// The base class of widgets that hold other widgets.

#include "platform/graphics/Rect.h"
#include "widgets/foundation/Control.h"
#include "widgets/foundation/WidgetContainer.h"

#include <memory>
#include <optional>

namespace morvix {

/// A control whose view takes its child widgets' views, stacked by its "children" list. It does
/// not lay its children out: each child places itself from its own "layoutData" against this
/// composite's view.
///
/// Restacking, after every "children" set (even of the same list) and every child view added:
///  1. The ids of "children" are walked in order. The child being attached is matched by its id,
///     since it is not registered yet; the others are looked up in the session.
///  2. Ids that name nothing, objects that are not widgets and widgets whose views are not
///     direct subviews of this composite's view are skipped.
///  3. The first child placed is not moved; each later one goes directly above the one before.
///     So the last listed id ends on top, and children not listed keep their places.
///
/// "clientArea" is stored for the server only. Main thread only.
class AbstractComposite : public RemoteClass<AbstractComposite, Control>, public WidgetContainer {
public:
    using RemoteClass::RemoteClass;
    ~AbstractComposite() override;

    static const PropertyTable& properties();
    /// `Control`'s names plus "clientArea" and "children".
    static const PropertyNames& remoteObjectProperties();

    // WidgetContainer
    /// Adds the child's view on top, then restacks.
    void addWidgetView(BasicWidget& child) override;
    /// Takes the child's view out of its superview; never the session's root view.
    void removeWidgetView(const Widget& child) override;

    /// Takes a widget child's view out, then the base's removal from the child list.
    void removeObject(const RemoteObject& child) override;

    const platform::Value& children() const { return m_children; }
    /// Stores the id list (null: empty) and restacks.
    void setChildren(std::optional<platform::Value> children);
    platform::Rect clientArea() const { return m_clientArea; }
    void setClientArea(platform::Rect area) { m_clientArea = area; }

protected:
    /// Restacks the child views by "children"; `added` is the child being attached, if any.
    void childrenChanged(BasicWidget* added);

private:
    platform::Value m_children = platform::Value::array();
    platform::Rect m_clientArea;
};

} // namespace morvix
