#pragma once
// The stand-in for a scrollable widget's horizontal or vertical bar.

#include "core/objects/RemoteClass.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

namespace morvix {

/// "zub.widgets.ScrollBar": a remote object without a view that the peer makes a child of a
/// scrollable widget. Attached to a `ScrollBarParent`, it takes the horizontal slot when its
/// style held "HORIZONTAL" at that moment, else the vertical one; the parent then scrolls and
/// reports its position through the bar ("Selection" on the bar's id while listened).
///
/// Leaving a parent (destroy, or a move to another parent) clears only the slots of the old
/// parent that hold this very bar, so a style changed after attaching, or a second bar of the
/// same direction, never leaves a destroyed bar attached nor detaches a live one.
///
/// "style" and the listener flag are guarded by the bar's own lock. Main thread otherwise.
class ScrollBar : public RemoteClass<ScrollBar, BasicObject> {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.ScrollBar";

    using RemoteClass::RemoteClass;
    ~ScrollBar() override;

    static const PropertyTable& properties();
    /// "HORIZONTAL" and "Selection", which the bar's scrolled composite sends.
    static const WireTable& wire();
    static const EventDeclaration kSelectionEvent;

    /// Whether the style held "HORIZONTAL" when it was last set.
    bool horizontal() const { return m_horizontal; }
    bool visibility() const { return m_visibility; }
    void setVisibility(bool visible) { m_visibility = visible; }
    bool selectionListener() const;
    void setSelectionListener(bool listen);
    std::optional<platform::Value> style() const;
    void setStyle(std::optional<platform::Value> style);

    /// The base's parenting; then leaves the old parent's slots that hold this bar and takes
    /// the new parent's slot, when the parents are `ScrollBarParent`s.
    void setParent(std::shared_ptr<RemoteObject> parent) override;
    /// Leaves the parent's slots that hold this bar, then the base's destroy.
    void destroy() override;

private:
    void detachFrom(const std::shared_ptr<RemoteObject>& parent);

    mutable std::mutex m_mutex; // guards m_style and m_selectionListener
    std::optional<platform::Value> m_style;
    bool m_selectionListener = false;
    bool m_horizontal = false;
    bool m_visibility = false;
};

} // namespace morvix
