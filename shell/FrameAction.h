#pragma once
// An action of the application frame, as the root controller shows it.

#include <memory>

namespace morvix {

namespace platform {
class BarButtonItem;
}

/// Where an action prefers to sit: high in the navigation bar, the others in the toolbar (low
/// ones at its left).
enum class ActionPlacementPriority { Low, Normal, High };

/// What the root controller reads of one action of the application frame. Main thread only.
class FrameAction {
public:
    virtual ~FrameAction() = default;
    /// The bar item that shows the action; null when it has none (it is then skipped).
    virtual std::shared_ptr<platform::BarButtonItem> barButtonItem() const = 0;
    virtual bool isVisible() const = 0;
    virtual ActionPlacementPriority placementPriority() const = 0;
};

} // namespace morvix
