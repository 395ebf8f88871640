#include "widgets/containers/MenuItem.h"

#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "widgets/containers/Menu.h"
#include "widgets/foundation/StyleWords.h"

namespace morvix {

namespace {

constexpr StyleDeclaration kPushStyle { .word = "PUSH", .effect = "the item is an entry of its menu" };
constexpr StyleDeclaration kCascadeStyle {
    .word = "CASCADE",
    .effect = "the item is an entry that opens the menu its \"menu\" names; an item with neither word is not shown",
};
constexpr EventDeclaration kSelectionEvent {
    .listen = "Selection",
    .name = "Selection",
    .note = "when the user picks the item, before a cascade item's menu opens",
};

} // namespace

MenuItem::~MenuItem() = default;

const WireTable& MenuItem::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).style(kPushStyle).style(kCascadeStyle).event(kSelectionEvent);
    return table;
}

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

bool MenuItem::hasStyle(const StyleDeclaration& word) const
{
    return styleHasWord(m_style, word);
}

bool MenuItem::isMenuEntry() const
{
    return (hasStyle(kPushStyle) || hasStyle(kCascadeStyle)) && m_enabled && m_visible;
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
            notification->fire(kSelectionEvent);
    }
    if (m_menu.empty() || !hasStyle(kCascadeStyle))
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
