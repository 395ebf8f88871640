#pragma once
// The shared edit menu: the bar of actions shown above a selection or the caret.

#include "platform/foundation/Value.h"
#include "platform/graphics/Rect.h"
#include "platform/ui/Forward.h"

#include <memory>
#include <string>
#include <vector>

namespace morvix::platform {

class Responder;

/// One item the menu may offer: its title and the name of the action it performs on the first
/// responder. `data` is the owner's own note on the item (never shown, never interpreted here),
/// by which an owner finds its items again without reading the action's name.
struct MenuItem {
    std::string title;
    std::string action;
    Value data;

    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

/// The application's one edit menu (`shared()`): a list of items, a target rectangle in a view,
/// and a visible flag. The menu shows the entries (`entries()`) among its items that the first
/// responder of the target view's window can perform now (`Responder::canPerformAction`, asked
/// with the menu controller as sender), as a dark rounded bar above the target rectangle that
/// the renderer draws over the window.
///
/// Rules:
///  1. `setMenuVisible(true)` shows the menu only when it has a target view in a window and at
///     least one entry; otherwise it stays hidden. The entries are fixed when it shows and by
///     `update()`.
///  2. Hiding a visible menu clears the visible flag first and then posts
///     `kDidHideMenuNotification` (object: none), so an observer that hides the menu again
///     finds it hidden and nothing loops. Hiding a hidden menu posts nothing.
///  3. A touch beginning anywhere in a window hides a visible menu before the touch is
///     delivered (the window does this).
///  4. `chooseItem` (a finger on an entry) hides the menu (rule 2) and only then performs the
///     item's action on the first responder, so an action that shows the menu again keeps it.
///
/// Main thread only.
class MenuController final {
public:
    static constexpr const char* kDidHideMenuNotification = "UIMenuControllerDidHideMenuNotification";
    /// The bar's height, its gap above the target and the room around each entry's title.
    static constexpr double kBarHeight = 36;
    static constexpr double kGap = 4;
    static constexpr double kEntryPadding = 12;

    static MenuController& shared();
    MenuController(const MenuController&) = delete;
    MenuController& operator=(const MenuController&) = delete;

    const std::vector<MenuItem>& menuItems() const { return m_items; }
    /// Replaces the items; a visible menu shows the change after `update()`.
    void setMenuItems(std::vector<MenuItem> items) { m_items = std::move(items); }
    /// Where the menu points, in `view`'s bounds (held weakly).
    void setTargetRect(const Rect& rect, const std::shared_ptr<View>& view);
    const Rect& targetRect() const { return m_targetRect; }
    std::shared_ptr<View> targetView() const { return m_targetView.lock(); }

    bool isMenuVisible() const { return m_visible; }
    /// See rules 1 and 2. The headless menu does not animate.
    void setMenuVisible(bool visible, Animated animated = Animated::No);
    /// Takes the entries afresh from the items and the first responder; a visible menu left
    /// without entries hides (rule 2).
    void update();
    /// What the visible menu shows, in order; empty while hidden.
    const std::vector<MenuItem>& entries() const { return m_entries; }

    /// The entry's title and frame in the target view's window, for drawing.
    struct EntryFrame {
        std::string title;
        Rect frame;
    };
    /// The bar's frame in the target view's window (centred above the target rectangle, kept
    /// inside the window's width, below the target when there is no room above); empty while
    /// hidden.
    Rect barFrame() const;
    std::vector<EntryFrame> entryFrames() const;

    /// A finger on the visible entry titled `title` (rule 4); false, doing nothing, when the
    /// menu is hidden or shows no such entry.
    bool chooseItem(const std::string& title);

    /// Hidden, with no items and no target, posting nothing.
    void resetForTesting();

private:
    MenuController() = default;
    std::shared_ptr<Responder> firstResponder() const;
    std::vector<MenuItem> performableItems() const;
    double entryWidth(const std::string& title) const;

    std::vector<MenuItem> m_items;
    std::vector<MenuItem> m_entries;
    Rect m_targetRect;
    std::weak_ptr<View> m_targetView;
    bool m_visible = false;
};

} // namespace morvix::platform
