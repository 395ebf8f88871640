#include "widgets/containers/MenuItem.h"

#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "widgets/containers/Menu.h"
#include "widgets/containers/StyleWords.h"

namespace morvix {

MenuItem::~MenuItem() = default;

const PropertyTable& MenuItem::properties()
{
    static const PropertyTable table = PropertyTable::extend<MenuItem>(BasicObject::properties())
                                           .number("index", &MenuItem::setIndex,
                                               [](const MenuItem& self) { return std::optional<platform::Value>(self.index()); })
                                           .string("text", &MenuItem::setText,
                                               [](const MenuItem& self) { return std::optional<std::string>(self.text()); })
                                           .string("menu", &MenuItem::setMenu,
                                               [](const MenuItem& self) {
                                                   return self.menu().empty() ? std::nullopt : std::optional<std::string>(self.menu());
                                               })
                                           .array("style", &MenuItem::setStyle, &MenuItem::style)
                                           .boolean("enabled", &MenuItem::setEnabled, &MenuItem::enabled)
                                           .boolean("visible", &MenuItem::setVisible, &MenuItem::visible)
                                           .flag("selectionListener", &MenuItem::m_selectionListener);
    return table;
}

const PropertyNames& MenuItem::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "index", "text", "menu", "style", "enabled", "visible" });
    return names;
}

void MenuItem::setIndex(std::optional<platform::Value> index)
{
    m_index = index.value_or(platform::Value(0));
    changed();
}

void MenuItem::setText(std::optional<std::string> text)
{
    m_text = text.value_or("");
    changed();
}

void MenuItem::setEnabled(bool enabled)
{
    m_enabled = enabled;
    changed();
}

void MenuItem::setVisible(bool visible)
{
    m_visible = visible;
    changed();
}

bool MenuItem::hasStyle(std::string_view word) const
{
    return styleHasWord(m_style, word);
}

bool MenuItem::isMenuEntry() const
{
    return (hasStyle("PUSH") || hasStyle("CASCADE")) && m_enabled && m_visible;
}

void MenuItem::changed()
{
    if (auto* menu = dynamic_cast<Menu*>(parent().get()))
        menu->updateOpenMenu();
}

void MenuItem::itemSelected(const platform::Rect& anchor)
{
    if (m_selectionListener) {
        if (auto notification = notificationForObject())
            notification->fireSelection();
    }
    if (m_menu.empty() || !hasStyle("CASCADE"))
        return;
    auto client = this->client();
    auto subMenu = std::dynamic_pointer_cast<Menu>(client ? client->objectById(m_menu) : nullptr);
    if (!subMenu)
        return;
    platform::Value location = platform::Value::object();
    location["x"] = static_cast<float>(anchor.x());
    location["y"] = static_cast<float>(anchor.y());
    subMenu->displayAt(location);
    subMenu->showMenu();
}

} // namespace morvix
