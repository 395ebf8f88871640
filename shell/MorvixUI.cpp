#include "shell/MorvixUI.h"

#include "core/outgoing/Notification.h"
#include "core/session/ApplicationFrame.h"
#include "core/session/MorvixClient.h"
#include "platform/foundation/Error.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/Toolbar.h"
#include "shell/Action.h"
#include "shell/ApplicationFrameRoot.h"
#include "shell/DisplayRootViewController.h"
#include "shell/Page.h"
#include "shell/PageViewController.h"
#include "widgets/foundation/Widget.h"
#include "widgets/images/ImageViewMorvix.h"

#include <algorithm>

namespace morvix {

using platform::Animated;
using platform::Color;
using platform::Value;

namespace {

constexpr EventDeclaration kShowPageEvent {
    .listen = "ShowPage",
    .name = "ShowPage",
    .attributes = R"({"pageId": id})",
    .sentWithoutListen = true,
    .note = "when the frame switches to a top-level page: the user picked it in the page menu (sent twice then) or the "
            "peer set \"activePage\" to it; listening changes nothing",
};
constexpr EventDeclaration kShowPreviousPageEvent {
    .listen = "ShowPreviousPage",
    .name = "ShowPreviousPage",
    .sentWithoutListen = true,
    .note = "when the user went back from the active page, which is not a top-level one; listening changes nothing",
};

} // namespace

const WireTable& MorvixUI::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kShowPageEvent).event(kShowPreviousPageEvent);
    return table;
}

MorvixUI::MorvixUI(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
{
}

MorvixUI::~MorvixUI() = default;

Color MorvixUI::defaultBackground()
{
    return Color::fromRGBA(240 / 255.0f, 240 / 255.0f, 240 / 255.0f, 1);
}

void MorvixUI::didConstruct()
{
    RemoteClass::didConstruct();
    if (auto menu = topLevelMenuFor(client()))
        menu->setMorvixUI(std::static_pointer_cast<MorvixUI>(shared_from_this()));
    // Through the setter, so that the bars take it at once; the toolbar's flag is only stored.
    setBackground(defaultBackground());
    m_toolbarVisible = true;
}

const PropertyTable& MorvixUI::properties()
{
    static const PropertyTable table = PropertyTable::extend<MorvixUI>(BasicObject::properties())
                                           .string("activePage", &MorvixUI::setActivePage, &MorvixUI::m_activePage)
                                           .string("shell", &MorvixUI::setShell, &MorvixUI::m_shell)
                                           .color("foreground", &MorvixUI::setForeground, &MorvixUI::foreground)
                                           .color("background", &MorvixUI::setBackground, &MorvixUI::background)
                                           .boolean("toolbarVisible", &MorvixUI::setToolbarVisible, &MorvixUI::m_toolbarVisible)
                                           .flag("showPageListener", &MorvixUI::m_showPageListener)
                                           .flag("showPreviousPageListener", &MorvixUI::m_showPreviousPageListener);
    return table;
}

const PropertyNames& MorvixUI::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "activePage", "shell", "foreground", "background", "toolbarVisible" });
    return names;
}

// MARK: The session's frame

namespace {

std::shared_ptr<ApplicationFrameController> frameControllerOf(const std::shared_ptr<ClientContext>& client)
{
    auto* session = dynamic_cast<MorvixClient*>(client.get());
    return session ? session->applicationFrameController() : nullptr;
}

} // namespace

std::shared_ptr<DisplayRootViewController> MorvixUI::rootControllerFor(const std::shared_ptr<ClientContext>& client)
{
    auto frame = std::dynamic_pointer_cast<ApplicationFrameRoot>(frameControllerOf(client));
    return frame ? frame->displayRootViewController() : nullptr;
}

std::shared_ptr<TopLevelMenu> MorvixUI::topLevelMenuFor(const std::shared_ptr<ClientContext>& client)
{
    auto frame = frameControllerOf(client);
    return frame ? frame->topLevelMenu() : nullptr;
}

std::shared_ptr<DisplayRootViewController> MorvixUI::rootController() const
{
    return rootControllerFor(client());
}

bool MorvixUI::isRootControllerBusy() const
{
    auto root = rootController();
    return root && root->isBusy();
}

std::shared_ptr<Page> MorvixUI::pageById(const std::string& id) const
{
    auto client = this->client();
    return client ? std::dynamic_pointer_cast<Page>(client->objectById(id)) : nullptr;
}

// MARK: Children

void MorvixUI::addObject(std::shared_ptr<RemoteObject> child)
{
    RemoteClass::addObject(child);
    if (auto page = std::dynamic_pointer_cast<Page>(child))
        return addPage(page);
    if (dynamic_cast<Action*>(child.get()) && !isRootControllerBusy())
        updateMorvixUI();
}

void MorvixUI::removeObject(const RemoteObject& child)
{
    // A page leaves twice (at its destroy's first step, then in the base destroy): once counts.
    auto children = objects();
    bool wasChild = std::any_of(children.begin(), children.end(), [&](const auto& entry) { return entry.get() == &child; });
    RemoteClass::removeObject(child);
    if (!wasChild)
        return;
    if (auto* page = dynamic_cast<const Page*>(&child))
        return removePage(*page);
    if (dynamic_cast<const Action*>(&child) && !isRootControllerBusy())
        updateMorvixUI();
}

void MorvixUI::childObjectChanged(RemoteObject& child)
{
    if (auto* page = dynamic_cast<Page*>(&child)) {
        // The menu lists the pages that are top-level now, so that no row names one that is not.
        auto menu = topLevelMenuFor(client());
        if (!menu)
            return;
        if (page->isTopLevel())
            menu->addPage(std::static_pointer_cast<Page>(page->shared_from_this()));
        else
            menu->removePage(*page);
        return;
    }
    if (dynamic_cast<Action*>(&child))
        updateMorvixUI();
}

void MorvixUI::addPage(const std::shared_ptr<Page>& page)
{
    showActivePage(*page);
    if (page->isTopLevel()) {
        if (auto menu = topLevelMenuFor(client()))
            menu->addPage(page);
    }
    updateMorvixUI();
}

void MorvixUI::removePage(const Page& page)
{
    if (auto root = rootController())
        root->removeViewController(page.viewController(), Animated::Yes);
    if (page.isTopLevel()) {
        if (auto menu = topLevelMenuFor(client()))
            menu->removePage(page);
    }
    updateMorvixUI();
}

// MARK: Pages on the stack

void MorvixUI::setActivePage(std::optional<std::string> id)
{
    m_activePage = std::move(id);
    auto page = m_activePage ? pageById(*m_activePage) : nullptr;
    if (!page)
        return;
    if (page->isTopLevel())
        return switchToTopLevelPage(*page);
    if (!page->viewController()->wasRemoved())
        showActivePage(*page);
}

void MorvixUI::switchToTopLevelPage(Page& page)
{
    page.viewController()->setWasRemoved(false);
    showActivePage(page);
    sendActivePage(page.objectId());
}

void MorvixUI::showActivePage(Page& page)
{
    if (m_activePage != page.objectId())
        return;
    if (page.isTopLevel())
        return showTopLevelPage(page);
    if (auto root = rootController())
        root->pushViewController(page.viewController(), Animated::Yes);
}

bool MorvixUI::changingTopLevelPage(const Page& page) const
{
    auto root = rootController();
    if (!root || root->viewControllers().empty())
        return false;
    const auto& stack = root->viewControllers();
    return std::find(stack.begin(), stack.end(), page.viewController()) == stack.end();
}

void MorvixUI::showTopLevelPage(Page& page)
{
    auto root = rootController();
    if (!root)
        return;
    if (changingTopLevelPage(page)) {
        root->setViewControllers({ root->viewControllers().front(), page.viewController() }, Animated::No);
        return;
    }
    root->pushViewController(page.viewController(), Animated::Yes);
}

void MorvixUI::pageSelected(const Page& page)
{
    std::string id = page.objectId();
    setActivePage(id);
    sendActivePage(id);
}

void MorvixUI::sendActivePage(const std::string& pageId)
{
    if (auto notification = notificationForObject())
        notification->fire(kShowPageEvent, Value { { "pageId", pageId } });
}

void MorvixUI::sendShowPreviousPage()
{
    if (auto notification = notificationForObject())
        notification->fire(kShowPreviousPageEvent, Value::object());
}

// MARK: The controllers' reports

void MorvixUI::controllerWillAppear(PageViewController&) { }

void MorvixUI::controllerDidAppear(PageViewController&)
{
    updateMorvixUI();
}

void MorvixUI::controllerWillDisappear(PageViewController&) { }

void MorvixUI::controllerDidDisappear(PageViewController& controller)
{
    if (shouldSendEventForShowPreviousPage(controller))
        sendShowPreviousPage();
}

bool MorvixUI::shouldSendEventForShowPreviousPage(const PageViewController& controller) const
{
    auto page = std::dynamic_pointer_cast<Page>(controller.page());
    if (!page || page->destroyRequested())
        return false;
    auto root = rootController();
    if ((root && root->viewControllers().size() == 1) || page->isTopLevel())
        return false;
    return m_activePage == page->objectId() && controller.wasRemoved();
}

// MARK: Bars

std::vector<std::shared_ptr<Action>> MorvixUI::sortedActions() const
{
    std::vector<std::shared_ptr<Action>> high, low, others;
    for (const auto& child : objects()) {
        auto action = std::dynamic_pointer_cast<Action>(child);
        if (!action || !action->visibility())
            continue;
        if (action->hasHighPlacementPriority())
            high.push_back(action);
        else if (action->hasLowPlacementPriority())
            low.push_back(action);
        else
            others.push_back(action);
    }
    high.insert(high.end(), low.begin(), low.end());
    high.insert(high.end(), others.begin(), others.end());
    return high;
}

void MorvixUI::updateActionsColor()
{
    auto color = foreground();
    for (const auto& child : objects()) {
        if (auto action = std::dynamic_pointer_cast<Action>(child))
            action->setForeground(color);
    }
}

void MorvixUI::updateMorvixUI()
{
    updateActionsColor();
    auto root = rootController();
    if (!root)
        return;
    auto sorted = sortedActions();
    root->setActions(DisplayRootViewController::ActionList(sorted.begin(), sorted.end()));
    root->update();
}

std::optional<Color> MorvixUI::foreground() const
{
    std::lock_guard lock(m_mutex);
    return m_foreground;
}

void MorvixUI::setForeground(std::optional<Color> color)
{
    {
        std::lock_guard lock(m_mutex);
        m_foreground = color;
    }
    if (auto root = rootController()) {
        root->navigationBar()->setTitleColor(color);
        root->navigationBar()->setTintColor(color);
        root->toolbar()->setTintColor(color);
    }
    updateActionsColor();
}

std::optional<Color> MorvixUI::background() const
{
    std::lock_guard lock(m_mutex);
    return m_background;
}

void MorvixUI::setBackground(std::optional<Color> color)
{
    {
        std::lock_guard lock(m_mutex);
        m_background = color;
    }
    if (auto root = rootController()) {
        root->navigationBar()->setBarTintColor(color);
        root->toolbar()->setBarTintColor(color);
    }
    if (auto client = this->client())
        client->setStatusBarBackgroundColor(color);
}

void MorvixUI::setToolbarVisible(bool visible)
{
    m_toolbarVisible = visible;
    auto root = rootController();
    if (!root)
        return;
    root->setNavigationBarHidden(!visible, Animated::Yes);
    bool empty = root->toolbar()->items().empty();
    root->setToolbarHidden(!visible || empty, Animated::Yes);
}

void MorvixUI::setShell(std::optional<std::string> id)
{
    m_shell = std::move(id);
    auto client = this->client();
    auto object = client && m_shell ? client->objectById(*m_shell) : nullptr;
    auto* widget = object ? dynamic_cast<Widget*>(object.get()) : nullptr;
    if (auto view = widget ? widget->view() : nullptr)
        view->removeFromSuperview();
}

// MARK: Destruction

void MorvixUI::destroy()
{
    if (isDisposed())
        return;
    setForeground(std::nullopt);
    setBackground(std::nullopt);
    // A newer frame that registered itself with the menu keeps it.
    if (auto menu = topLevelMenuFor(client()); menu && menu->morvixUI().get() == this)
        menu->setMorvixUI({});
    RemoteClass::destroy();
}

} // namespace morvix
