#pragma once
// The application frame object: pages, actions, bar colours.

#include "core/objects/RemoteClass.h"
#include "platform/graphics/Color.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class Action;
class DisplayRootViewController;
class MorvixUI;
class Page;
class PageViewController;

namespace platform {
class Image;
class ImageView;
}

/// The menu of the frame's top-level pages, as the frame keeps it in step. The session's
/// application frame supplies it (`ApplicationFrameController::topLevelMenu`); a session without
/// one has no menu, and the frame skips these calls. Main thread only.
class TopLevelMenu {
public:
    virtual ~TopLevelMenu() = default;
    /// The frame whose pages the menu shows (held weakly); null when none.
    virtual std::shared_ptr<MorvixUI> morvixUI() const = 0;
    virtual void setMorvixUI(std::weak_ptr<MorvixUI> frame) = 0;
    /// Lists the page, once; adding a listed page again shows a change of its title or icon.
    virtual void addPage(const std::shared_ptr<Page>& page) = 0;
    /// Takes the page off the list; nothing when it is not listed.
    virtual void removePage(const Page& page) = 0;
};

/// "morvix.UI": the application frame, parent of the pages ("morvix.Page") and actions
/// ("morvix.Action"). It decides which page's controller is on the root controller's page stack
/// (an ordinary page is pushed, animated; a top-level page replaces the stack above its bottom
/// controller, not animated), keeps the top-level menu in step with the top-level pages, hands
/// the visible actions to the root controller sorted "HIGH", then "LOW", then the others (each
/// group in child order) and colours the bars.
///
/// Events, sent at once whether or not the peer listens to them:
///  - "ShowPage" {"pageId"}: the frame switched to a top-level page because `activePage` was
///    set to it, and (twice) when the user picks a page in the top-level menu;
///  - "ShowPreviousPage" {}: the user navigated back from the active page, which is not top
///    level and whose destroy was not requested.
///
/// Redraws of the bars that follow a change of the actions are skipped while the root
/// controller runs a stack change; the next page that appears redraws them. Ids that name
/// nothing, or an object of the wrong kind, are ignored.
///
/// `foreground` and `background` are kept under the object's mutex; the rest is main thread
/// only, like every remote object.
class MorvixUI final : public RemoteClass<MorvixUI> {
public:
    static constexpr std::string_view kRemoteType = "morvix.UI";
    /// The bars' tint until the peer sets one: 240 of 255 grey.
    static platform::Color defaultBackground();

    MorvixUI(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~MorvixUI() override;

    static const PropertyTable& properties();
    /// "ShowPage" and "ShowPreviousPage".
    static const WireTable& wire();
    /// The base's names plus "activePage", "shell", "foreground", "background", "toolbarVisible".
    static const PropertyNames& remoteObjectProperties();

    /// The root controller of the session's application frame; null without one.
    static std::shared_ptr<DisplayRootViewController> rootControllerFor(const std::shared_ptr<ClientContext>& client);
    /// The session's top-level menu; null without one.
    static std::shared_ptr<TopLevelMenu> topLevelMenuFor(const std::shared_ptr<ClientContext>& client);

    const std::optional<std::string>& activePage() const { return m_activePage; }
    /// Stores the id; a top-level page is switched to (and "ShowPage" sent), another page is
    /// shown unless the user has navigated back from it.
    void setActivePage(std::optional<std::string> id);
    const std::optional<std::string>& shell() const { return m_shell; }
    /// Stores the id and takes that widget's view off the screen.
    void setShell(std::optional<std::string> id);
    std::optional<platform::Color> foreground() const;
    /// The navigation bar's title colour and tint, the toolbar's tint and every action's
    /// foreground; none clears them.
    void setForeground(std::optional<platform::Color> color);
    std::optional<platform::Color> background() const;
    /// Both bars' tint and the session's status-bar colour; none clears them.
    void setBackground(std::optional<platform::Color> color);
    bool toolbarVisible() const { return m_toolbarVisible; }
    /// Hides or shows both bars now, animated; a toolbar without items is never shown. The next
    /// redraw of the bars follows its own rules again.
    void setToolbarVisible(bool visible);

    /// The page with that id; null when it names none or no page.
    std::shared_ptr<Page> pageById(const std::string& id) const;
    std::shared_ptr<DisplayRootViewController> rootController() const;

    /// The user picked `page` in the top-level menu.
    void pageSelected(const Page& page);
    /// Redraws the bars: the actions recoloured, the visible ones handed to the root controller
    /// in their order, then its `update`.
    void updateMorvixUI();
    /// The visible actions, sorted as the root controller receives them.
    std::vector<std::shared_ptr<Action>> sortedActions() const;

    // The pages' reports of their controllers.
    void controllerWillAppear(PageViewController& controller);
    void controllerDidAppear(PageViewController& controller);
    void controllerWillDisappear(PageViewController& controller);
    void controllerDidDisappear(PageViewController& controller);
    bool shouldSendEventForShowPreviousPage(const PageViewController& controller) const;

    // RemoteObject
    void addObject(std::shared_ptr<RemoteObject> child) override;
    void removeObject(const RemoteObject& child) override;
    void childObjectChanged(RemoteObject& child) override;
    /// Clears the colours and detaches the top-level menu when it is this frame's, then the
    /// base's destroy.
    void destroy() override;

protected:
    void didConstruct() override;

private:
    void switchToTopLevelPage(Page& page);
    void showActivePage(Page& page);
    void showTopLevelPage(Page& page);
    bool changingTopLevelPage(const Page& page) const;
    void addPage(const std::shared_ptr<Page>& page);
    void removePage(const Page& page);
    void updateActionsColor();
    void sendActivePage(const std::string& pageId);
    void sendShowPreviousPage();
    bool isRootControllerBusy() const;

    std::optional<std::string> m_activePage;
    std::optional<std::string> m_shell;
    mutable std::mutex m_mutex; // guards m_foreground and m_background
    std::optional<platform::Color> m_foreground;
    std::optional<platform::Color> m_background;
    bool m_toolbarVisible = true;
    bool m_showPageListener = false;
    bool m_showPreviousPageListener = false;
};

} // namespace morvix
