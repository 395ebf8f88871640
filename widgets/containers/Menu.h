#pragma once
// The pop-up menu shown as an action sheet at a point.

#include "core/objects/RemoteClass.h"
#include "platform/graphics/Rect.h"
#include "platform/ui/ActionSheet.h"
#include "widgets/foundation/ContextMenu.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace morvix {

class MenuItem;

/// "zub.widgets.Menu": a menu of "zub.widgets.MenuItem" children shown as an action sheet from a
/// one-point rectangle of the display's view, with a "Cancel" button last except on a pad.
///
/// The call "showMenu" ({"x", "y"}) takes the anchor (`displayAt`; both 0: the display's last
/// touch) and the sheet is presented once the message that carried it has been processed;
/// context menus and cascades present at once (`displayAt`, then `showMenu`). "Show" goes out
/// from `displayAt`, "Hide" when the sheet is about to leave the screen, each at once while
/// listened; a person's pick tells the item before the sheet leaves, so the item's "Selection"
/// comes before the menu's "Hide".
///
/// While the sheet is on screen, an added child or a changed entry closes it without animation
/// and shows it again, rebuilt, at the end of processing. A sheet that has left the screen is
/// kept (only the first presentation is animated) but no longer comes back unasked. A menu keeps
/// no style: a "get" of "style" answers nothing. Main thread only.
class Menu : public RemoteClass<Menu, BasicObject>, public ContextMenu, public platform::ActionSheetDelegate {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Menu";
    static constexpr const char* kCancelTitle = "Cancel";

    Menu(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Menu() override;

    static const PropertyTable& properties();
    /// "Show" and "Hide".
    static const WireTable& wire();
    /// "style".
    static const PropertyNames& remoteObjectProperties();

    // ContextMenu
    bool enabled() const override { return m_enabled; }
    /// Takes the anchor from {"x", "y"}, marks the menu to be shown and sends "Show" while
    /// listened.
    void displayAt(const platform::Value& location) override;
    /// Builds a new sheet from the current entries and shows it from the anchor.
    void showMenu() override;

    void setEnabled(bool enabled) { m_enabled = enabled; }
    const platform::Rect& position() const { return m_position; }
    void setPosition(platform::Rect position) { m_position = position; }
    bool isShowPending() const { return m_show; }
    /// The sheet last built; kept after it has left the screen.
    const std::shared_ptr<platform::ActionSheet>& actionSheet() const { return m_actionSheet; }
    /// The items that are entries now, in the order of their buttons.
    std::vector<std::shared_ptr<MenuItem>> entries() const;

    /// While the sheet is on screen: closes it without animation and asks for it to be shown
    /// again at the end of processing.
    void updateOpenMenu();

    /// Presents the sheet when asked to; keeps observing every end of processing.
    bool processingFinished() override;
    /// The base's adding, then `updateOpenMenu`.
    void addObject(std::shared_ptr<RemoteObject> child) override;
    /// Closes the sheet (animated) and drops it, then the base's destroy.
    void destroy() override;

    // ActionSheetDelegate
    void clickedButtonAtIndex(platform::ActionSheet& sheet, int index) override;
    void willDismissWithButtonIndex(platform::ActionSheet& sheet, int index) override;

private:
    std::optional<platform::Value> callShowMenu(const platform::Value* properties);
    void fire(const EventDeclaration& event);

    bool m_enabled = true;
    bool m_showListener = false;
    bool m_hideListener = false;
    bool m_show = false;
    platform::Rect m_position;
    std::shared_ptr<platform::ActionSheet> m_actionSheet;
};

} // namespace morvix
