#include "widgets/containers/Menu.h"

#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "platform/foundation/DeviceInfo.h"
#include "widgets/containers/MenuItem.h"
#include "widgets/foundation/Display.h"
#include "widgets/text/Mnemonics.h"

#include <algorithm>

namespace morvix {

namespace {

float coordinate(const platform::Value* location, const char* key)
{
    if (!location || !location->is_object() || !location->contains(key))
        return 0;
    return static_cast<float>(platform::numberValue((*location)[key]).value_or(0));
}

double orderOf(const MenuItem& item)
{
    return platform::numberValue(item.index()).value_or(0);
}

constexpr EventDeclaration kShowEvent {
    .listen = "Show",
    .name = "Show",
    .note = "when the menu is asked to open (\"showMenu\", a context menu, a cascade item)",
};
constexpr EventDeclaration kHideEvent {
    .listen = "Hide",
    .name = "Hide",
    .note = "when the open menu goes away: an item was picked, \"Cancel\" was tapped, or it closed itself",
};

} // namespace

const WireTable& Menu::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kShowEvent).event(kHideEvent);
    return table;
}

Menu::Menu(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
{
    registerSelector(&Menu::callShowMenu, "showMenu");
}

Menu::~Menu() = default;

const PropertyTable& Menu::properties()
{
    static const PropertyTable table = PropertyTable::extend<Menu>(BasicObject::properties())
                                           .boolean("enabled", &Menu::setEnabled, &Menu::enabled)
                                           .rect("position", &Menu::setPosition, &Menu::position)
                                           // A menu keeps no style: a set is taken and dropped,
                                           // a get answers nothing (null to the peer).
                                           .value("style", [](Menu&, std::optional<platform::Value>) {},
                                               [](const Menu&) { return std::optional<platform::Value>(); })
                                           .flag("showListener", &Menu::m_showListener)
                                           .flag("hideListener", &Menu::m_hideListener);
    return table;
}

const PropertyNames& Menu::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(), { "style" });
    return names;
}

std::optional<platform::Value> Menu::callShowMenu(const platform::Value* properties)
{
    displayAt(properties ? *properties : platform::Value());
    return std::nullopt;
}

void Menu::fire(const EventDeclaration& event)
{
    if (auto notification = notificationForObject())
        notification->fire(event);
}

void Menu::displayAt(const platform::Value& location)
{
    platform::Point point { coordinate(&location, "x"), coordinate(&location, "y") };
    if (point.x == 0 && point.y == 0) {
        auto client = this->client();
        if (auto display = std::dynamic_pointer_cast<Display>(client ? client->rootObject() : nullptr))
            point = display->cursorLocation();
    }
    m_position = { point.x, point.y, 1, 1 };
    m_show = true;
    if (m_showListener)
        fire(kShowEvent);
}

std::vector<std::shared_ptr<MenuItem>> Menu::entries() const
{
    std::vector<std::shared_ptr<MenuItem>> items;
    for (const auto& child : objects()) {
        auto item = std::dynamic_pointer_cast<MenuItem>(child);
        if (item && item->isMenuEntry())
            items.push_back(std::move(item));
    }
    // Equal indices keep the order the items were added in.
    std::stable_sort(items.begin(), items.end(),
        [](const auto& a, const auto& b) { return orderOf(*a) < orderOf(*b); });
    return items;
}

void Menu::showMenu()
{
    m_show = false;
    bool hadSheet = m_actionSheet != nullptr;
    // The old sheet is dropped, not dismissed.
    m_actionSheet = platform::ActionSheet::create("",
        std::static_pointer_cast<platform::ActionSheetDelegate>(std::static_pointer_cast<Menu>(shared_from_this())));
    m_actionSheet->setStyle(platform::ActionSheetStyle::BlackTranslucent);
    for (const auto& item : entries())
        m_actionSheet->addButton(Mnemonics::removeMnemonics(item->text()));
    if (platform::DeviceInfo::current().idiom() != platform::DeviceIdiom::Pad)
        m_actionSheet->setCancelButtonIndex(m_actionSheet->addButton(kCancelTitle));
    if (m_actionSheet->buttonTitles().empty())
        return;
    auto client = this->client();
    auto display = client ? client->rootObject() : nullptr;
    auto* widget = dynamic_cast<Display*>(display.get());
    m_actionSheet->showFromRect(m_position, widget ? widget->view() : nullptr, !hadSheet);
}

void Menu::updateOpenMenu()
{
    // Only a sheet on screen is refreshed: a menu that was closed stays closed until it is
    // asked to show again.
    if (!m_actionSheet || !m_actionSheet->isVisible())
        return;
    m_show = true;
    m_actionSheet->dismissWithClickedButtonIndex(-1, false);
}

bool Menu::processingFinished()
{
    if (m_show)
        showMenu();
    RemoteClass::processingFinished();
    return true;
}

void Menu::addObject(std::shared_ptr<RemoteObject> child)
{
    RemoteClass::addObject(std::move(child));
    updateOpenMenu();
}

void Menu::destroy()
{
    if (isDisposed())
        return;
    if (auto sheet = std::move(m_actionSheet))
        sheet->dismissWithClickedButtonIndex(-1, true);
    RemoteClass::destroy();
}

void Menu::clickedButtonAtIndex(platform::ActionSheet& sheet, int index)
{
    if (index < 0 || index == sheet.cancelButtonIndex())
        return;
    auto items = entries();
    if (index < static_cast<int>(items.size()))
        items[static_cast<std::size_t>(index)]->itemSelected(m_position);
}

void Menu::willDismissWithButtonIndex(platform::ActionSheet&, int)
{
    if (m_hideListener)
        fire(kHideEvent);
}

} // namespace morvix
