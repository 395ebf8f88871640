#pragma once
// The layout object of one widget: places its view from the widget's "layoutData".

#include "platform/foundation/Value.h"

#include <memory>
#include <vector>

namespace morvix {

class ClientContext;

namespace platform {
class LayoutConstraint;
class View;
enum class LayoutAttribute;
enum class LayoutRelation;
}

/// Places a widget's view inside its superview from the widget's "layoutData" dictionary:
/// `AbsoluteClientLayout` sets the frame, `RelativeClientLayout` installs one layout constraint
/// per attachment. Both keep the view inside a superview whose own size is not fixed by
/// low-priority "span" constraints installed on that superview, so such a superview grows
/// around its children.
///
/// Owned by the widget, which makes a new one for every change of its layout data and disposes
/// of the old one; never reused for other data. Holds the view and the session weakly; reference
/// ids are resolved through the session when `layout` runs. Main thread only.
class ClientLayout {
public:
    using Constraints = std::vector<std::shared_ptr<platform::LayoutConstraint>>;

    /// An `AbsoluteClientLayout` when `absolute`, else a `RelativeClientLayout`, for `view`.
    static std::shared_ptr<ClientLayout> newLayoutWithView(const std::shared_ptr<platform::View>& view,
        platform::Value data, bool absolute, std::weak_ptr<ClientContext> client);
    static std::shared_ptr<ClientLayout> newAbsoluteLayoutWithView(const std::shared_ptr<platform::View>& view,
        platform::Value data, std::weak_ptr<ClientContext> client);
    static std::shared_ptr<ClientLayout> newRelativeLayoutWithView(const std::shared_ptr<platform::View>& view,
        platform::Value data, std::weak_ptr<ClientContext> client);
    /// True for the absolute form of layout data: exactly the four entries "left", "top",
    /// "width" and "height", all numbers (booleans count). Anything else, `{}` and non-objects
    /// included, is the relative form.
    static bool isAbsoluteData(const platform::Value& data);

    virtual ~ClientLayout();
    ClientLayout(const ClientLayout&) = delete;
    ClientLayout& operator=(const ClientLayout&) = delete;

    /// Applies the layout to the view. Does nothing once the view is gone.
    virtual void layout();
    /// Renews the span constraints for the view's current superview; removes them when the view
    /// has none.
    virtual void updateConstraints();
    /// Removes everything the layout installed and marks the view as needing a constraint
    /// update. Safe to call more than once.
    virtual void dispose();

    /// Whether the next `layout` animates (0.4 s).
    bool isAnimated() const { return m_animated; }
    void setAnimated(bool animated) { m_animated = animated; }

    std::shared_ptr<platform::View> view() const { return m_view.lock(); }
    const platform::Value& data() const { return m_data; }
    std::shared_ptr<ClientContext> client() const { return m_client.lock(); }
    /// The attachment constraints installed by the last `layout` (relative layouts only).
    const Constraints& constraints() const { return m_constraints; }
    const Constraints& horizontalSpanConstraints() const { return m_horizontalSpan; }
    const Constraints& verticalSpanConstraints() const { return m_verticalSpan; }

protected:
    ClientLayout(const std::shared_ptr<platform::View>& view, platform::Value data, std::weak_ptr<ClientContext> client);

    /// Removes the previous span constraints, then adds those `superview` needs: per axis, when
    /// it has no explicit size, or when it sits in a scroll view that holds no size constraint
    /// for it. With `superview` null only removes.
    void updateParentConstraints(const std::shared_ptr<platform::View>& superview);
    Constraints& mutableConstraints() { return m_constraints; }
    /// Removes each of `constraints` from the view it is installed on, then empties the list.
    static void uninstall(Constraints& constraints);

private:
    void clearParentConstraints();
    void addDefaultParentConstraints(platform::View& superview);
    void addParentConstraintsWhenContainedInScrollView(platform::View& superview);
    void spanSuperviewHorizontal(platform::View& superview);
    void spanSuperviewVertical(platform::View& superview);
    void addSpan(platform::View& superview, platform::LayoutAttribute edge, platform::LayoutRelation relation,
        Constraints& list);

    std::weak_ptr<platform::View> m_view;
    platform::Value m_data;
    std::weak_ptr<ClientContext> m_client;
    bool m_animated = false;
    Constraints m_constraints;
    Constraints m_horizontalSpan;
    Constraints m_verticalSpan;
};

} // namespace morvix
