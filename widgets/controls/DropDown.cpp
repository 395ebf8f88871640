#include "widgets/controls/DropDown.h"

#include "core/objects/ClientContext.h"
#include "core/objects/RemoteException.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/MenuController.h"
#include "platform/ui/controls/KeyInput.h"
#include "widgets/controls/DropDownActionHook.h"
#include "widgets/controls/MorvixTextField.h"
#include "widgets/controls/MorvixTextView.h"
#include "widgets/controls/Text.h"
#include "widgets/controls/TextInput.h"

#include <map>

namespace morvix {

using platform::MenuController;
using platform::Value;

namespace {

constexpr std::string_view kDropDownKey = "dropDown";
constexpr std::string_view kIndexKey = "index";

// What an action name stands for; names are made from these, never parsed back.
struct ActionTarget {
    std::string dropDownId;
    unsigned index = 0;
};

// Every drop-down action named so far, for the life of the process (the platform's classes keep
// methods added at run time as long). Main thread only.
std::map<std::string, ActionTarget, std::less<>>& actionTable()
{
    static std::map<std::string, ActionTarget, std::less<>> table;
    return table;
}

const ActionTarget* targetOf(const std::string& action)
{
    auto found = actionTable().find(action);
    return found == actionTable().end() ? nullptr : &found->second;
}

void installHooks()
{
    DropDownActionHook::set([](const std::string& action, const std::shared_ptr<RemoteObject>& parent) -> std::optional<bool> {
        if (!DropDown::isDropDownAction(action))
            return std::nullopt;
        return DropDown::canPerformAction(action, parent);
    });
    DropDownActionHook::setPerform([](const std::string& action, platform::View& receiver) {
        return dropDownItemSelected(receiver, action);
    });
}

} // namespace

DropDown::DropDown(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
{
}

DropDown::~DropDown() = default;

void DropDown::didConstruct()
{
    RemoteClass::didConstruct();
    installHooks();
    std::weak_ptr<DropDown> weak = std::static_pointer_cast<DropDown>(shared_from_this());
    m_hideObserver = platform::NotificationCenter::defaultCenter()->addObserver(MenuController::kDidHideMenuNotification, nullptr,
        [weak](const platform::Notification&) {
            if (auto self = weak.lock())
                self->didHideMenu();
        });
}

const PropertyTable& DropDown::properties()
{
    static const PropertyTable table = PropertyTable::extend<DropDown>(BasicObject::properties())
                                           .boolean("visible", &DropDown::setVisible, &DropDown::isVisible)
                                           .array("items", &DropDown::setItemsValue, &DropDown::itemsValue);
    return table;
}

const PropertyNames& DropDown::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(), { "visible", "items" });
    return names;
}

std::shared_ptr<platform::View> DropDown::parentTextInput() const
{
    auto parent = this->parent();
    if (auto text = std::dynamic_pointer_cast<Text>(parent))
        return text->getTextInput();
    if (auto input = std::dynamic_pointer_cast<TextInput>(parent))
        return input->getTextInput();
    return nullptr;
}

void DropDown::setItemsValue(std::optional<Value> items)
{
    std::vector<std::string> titles;
    if (items && !items->is_null()) {
        for (const auto& item : *items) {
            if (!item.is_string())
                RemoteException::throwIncorrectParameter("property \"items\" expects strings, got %@", item.dump());
            titles.push_back(item.get<std::string>());
        }
    }
    setItems(std::move(titles));
}

std::optional<Value> DropDown::itemsValue() const
{
    return Value(m_items);
}

void DropDown::setItems(std::vector<std::string> items)
{
    platform::assertOnMainThread();
    m_items = std::move(items);
    // Taken off without an update: the menu is updated once, with the new items in place.
    bool removed = removeOwnMenuItems();
    if (!parentTextInput()) {
        if (removed)
            MenuController::shared().update();
        return;
    }
    std::vector<platform::MenuItem> menuItems;
    for (unsigned index = 0; index < m_items.size(); ++index) {
        std::string action = actionForIndex(index);
        actionTable().insert_or_assign(action, ActionTarget { objectId(), index });
        Value data = { { kDropDownKey, objectId() }, { kIndexKey, index } };
        menuItems.push_back({ m_items[index], std::move(action), std::move(data) });
    }
    auto& menu = MenuController::shared();
    menu.setMenuItems(std::move(menuItems));
    menu.update();
}

void DropDown::setVisible(bool visible)
{
    platform::assertOnMainThread();
    m_visible = visible;
    auto& menu = MenuController::shared();
    if (!visible) {
        cleanupMenuItems();
        if (menu.isMenuVisible())
            menu.setMenuVisible(false, platform::Animated::Yes);
        return;
    }
    auto input = parentTextInput();
    auto* keyInput = dynamic_cast<platform::KeyInput*>(input.get());
    if (!keyInput)
        return;
    menu.setTargetRect(keyInput->caretRect(keyInput->selectedRange().location), input);
    if (!menu.isMenuVisible())
        menu.setMenuVisible(true, platform::Animated::Yes);
}

void DropDown::setParent(std::shared_ptr<RemoteObject> parent)
{
    RemoteClass::setParent(std::move(parent));
    setItems(m_items);
    setVisible(m_visible);
}

bool DropDown::removeOwnMenuItems()
{
    auto& menu = MenuController::shared();
    auto items = menu.menuItems();
    std::erase_if(items, [&](const platform::MenuItem& item) {
        return item.data.is_object() && item.data.value(kDropDownKey, Value()) == Value(objectId());
    });
    if (items.size() == menu.menuItems().size())
        return false;
    menu.setMenuItems(std::move(items));
    return true;
}

void DropDown::cleanupMenuItems()
{
    if (removeOwnMenuItems())
        MenuController::shared().update();
}

void DropDown::didHideMenu()
{
    setVisible(false);
}

void DropDown::itemSelected(unsigned index)
{
    // By index, reading the count again after each call: a listener may change the list.
    for (std::size_t i = 0; i < m_selectionListeners.size(); ++i) {
        auto listener = m_selectionListeners[i];
        listener(index);
    }
}

void DropDown::destroy()
{
    m_hideObserver.reset();
    removeSelectionListeners();
    setVisible(false);
    RemoteClass::destroy();
}

std::string DropDown::actionForIndex(unsigned index) const
{
    return std::string(kRemoteType) + "_" + objectId() + "_" + std::to_string(index) + ":";
}

bool DropDown::isDropDownAction(const std::string& action)
{
    return action.starts_with(std::string(kRemoteType) + "_");
}

bool DropDown::canPerformAction(const std::string& action, const std::shared_ptr<RemoteObject>& widget)
{
    const ActionTarget* target = targetOf(action);
    auto client = widget ? widget->client() : nullptr;
    if (!target || !client)
        return false;
    auto dropDown = std::dynamic_pointer_cast<DropDown>(client->objectById(target->dropDownId));
    auto parent = dropDown ? dropDown->parent() : nullptr;
    return parent && parent->objectId() == widget->objectId();
}

bool dropDownItemSelected(platform::View& receiver, const std::string& action)
{
    const ActionTarget* found = targetOf(action);
    if (!found)
        return false;
    ActionTarget target = *found;
    std::shared_ptr<RemoteObject> widget;
    if (auto* field = dynamic_cast<MorvixTextField*>(&receiver))
        widget = field->parent();
    else if (auto* view = dynamic_cast<MorvixTextView*>(&receiver))
        widget = view->parent();
    auto client = widget ? widget->client() : nullptr;
    if (auto dropDown = std::dynamic_pointer_cast<DropDown>(client ? client->objectById(target.dropDownId) : nullptr))
        dropDown->itemSelected(target.index);
    return true;
}

} // namespace morvix
