#pragma once
// A list of strings offered in the edit menu above the caret of a text widget.

#include "core/objects/RemoteClass.h"
#include "platform/foundation/NotificationCenter.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

namespace platform {
class KeyInput;
class View;
}

/// "zub.dropdown.DropDown": its items are shown as entries of the shared edit menu
/// (`platform::MenuController`) above the caret of its parent, a text widget (`Text` or
/// `TextInput`); a chosen item is reported to local listeners only, never to the peer.
///
/// Item i performs the action named "zub.dropdown.DropDown_<id>_<i>:" on the parent's native
/// text input. Each name is entered in a process-wide action table together with the
/// drop-down's id and the index, which the native text field and view (`NativeTextInput`)
/// answer through `DropDownActionHook`: they can perform it only while they are the text input
/// of that drop-down's parent, and performing it calls `dropDownItemSelected`. Names are never
/// taken apart, so ids holding "_" or ":" are as good as any; each menu item also carries the id
/// and the index as its data, by which a drop-down finds its own items.
///
/// Rules:
///  1. `setItems` replaces the whole menu's items with this drop-down's (two drop-downs cannot
///     show at once); `setParent` applies the items, then the visible flag, again.
///  2. Without a parent that is a text widget with a text input, items and the visible flag are
///     only stored.
///  3. Any hiding of the shared menu, by anyone, sets `visible` false and takes this
///     drop-down's items off the menu.
///  4. Listeners are called in the order they were added, the count read again after each
///     call, so a listener may add or remove listeners.
///
/// Main thread only.
class DropDown : public RemoteClass<DropDown, BasicObject> {
public:
    static constexpr std::string_view kRemoteType = "zub.dropdown.DropDown";
    using SelectionListener = std::function<void(unsigned index)>;

    DropDown(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~DropDown() override;

    static const PropertyTable& properties();
    /// The base's names plus "visible", "items".
    static const PropertyNames& remoteObjectProperties();

    bool isVisible() const { return m_visible; }
    /// True: points the shared menu at the caret (the start of the parent's selection) and shows
    /// it unless it shows already. False: takes this drop-down's items off the menu and hides it
    /// when it shows. See rule 2.
    void setVisible(bool visible);
    const std::vector<std::string>& items() const { return m_items; }
    /// See rule 1.
    void setItems(std::vector<std::string> items);
    /// The wire's form: an array of strings, null for none; anything else is refused with the
    /// parameter exception.
    void setItemsValue(std::optional<platform::Value> items);
    std::optional<platform::Value> itemsValue() const;

    /// The base's, then the items and the visible flag again.
    void setParent(std::shared_ptr<RemoteObject> parent) override;
    /// Stops observing, drops the listeners, hides, then the base's destroy.
    void destroy() override;

    void addSelectionListener(SelectionListener listener) { m_selectionListeners.push_back(std::move(listener)); }
    void removeSelectionListeners() { m_selectionListeners.clear(); }
    /// Calls the listeners with `index` (rule 4).
    void itemSelected(unsigned index);

    /// "zub.dropdown.DropDown_<id>_<index>:".
    std::string actionForIndex(unsigned index) const;
    /// Whether `action` names a drop-down item ("zub.dropdown.DropDown_" at its start).
    static bool isDropDownAction(const std::string& action);
    /// Whether `widget` may perform the drop-down action `action`: it names an item of a
    /// registered drop-down in `widget`'s session whose parent is `widget`.
    static bool canPerformAction(const std::string& action, const std::shared_ptr<RemoteObject>& widget);

protected:
    void didConstruct() override;

private:
    /// The parent's native text input; null without a text-widget parent.
    std::shared_ptr<platform::View> parentTextInput() const;
    /// Takes this drop-down's items off the shared menu; true when there were any.
    bool removeOwnMenuItems();
    /// The same, then the menu is updated.
    void cleanupMenuItems();
    void didHideMenu();

    bool m_visible = false;
    std::vector<std::string> m_items;
    std::vector<SelectionListener> m_selectionListeners;
    platform::ObserverToken m_hideObserver;
};

/// Performs the drop-down action `action` on `receiver` (a `MorvixTextField` or
/// `MorvixTextView`): the drop-down that the action table names, looked up in the session of
/// `receiver`'s widget, gets `itemSelected` with the index. False when `action` is not in the
/// table; true otherwise, even when nothing was found to select (a stale item).
bool dropDownItemSelected(platform::View& receiver, const std::string& action);

} // namespace morvix
