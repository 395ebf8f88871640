#pragma once
// What a control needs of the menu it opens on a long press.

#include "platform/foundation/Value.h"

namespace morvix {

/// A remote menu that a control can open as its context menu (the control's "menu" names it).
/// The control looks the id up, tests the object for this interface, and opens nothing when it
/// is not one or is disabled. Main thread only.
class ContextMenu {
public:
    virtual ~ContextMenu() = default;

    /// Whether the menu may open.
    virtual bool enabled() const = 0;
    /// Places the menu at {"x", "y"} (numbers, in the display's root view).
    virtual void displayAt(const platform::Value& location) = 0;
    /// Shows the menu.
    virtual void showMenu() = 0;

protected:
    ContextMenu() = default;
    ContextMenu(const ContextMenu&) = default;
    ContextMenu& operator=(const ContextMenu&) = default;
};

} // namespace morvix
