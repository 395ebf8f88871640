#include "widgets/controls/RadioButton.h"

#include "core/outgoing/Notification.h"
#include "widgets/controls/RadioImageRenderer.h"
#include "widgets/text/FontHelper.h"

#include <vector>

namespace morvix {

namespace {

constexpr EventDeclaration kUnselectedEvent {
    .name = "Selection",
    .attributes = R"({"selection": false})",
    .sentWithoutListen = true,
    .note = "to each selected radio button of the same parent when another one is selected, by a tap or by the "
            "peer's \"selection\"; no \"selection\" property goes with it",
};

} // namespace

const WireTable& RadioButton::wire()
{
    static const WireTable table = WireTable::extend(Button::wire()).event(kToggledSelectionEvent).event(kUnselectedEvent);
    return table;
}

RadioButton::RadioButton(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : CheckableButton(key, std::move(id), std::move(client), std::make_unique<RadioImageRenderer>())
{
}

platform::Font RadioButton::defaultFont() const
{
    return FontHelper::radioButtonFont();
}

platform::Color RadioButton::defaultForeground() const
{
    return FontHelper::labelColor();
}

void RadioButton::setSelection(bool selection)
{
    CheckableButton::setSelection(selection);
    if (selection)
        updateSiblings();
}

void RadioButton::buttonUp()
{
    if (this->selection())
        return;
    updateSiblings();
    CheckableButton::buttonUp();
}

void RadioButton::updateSiblings()
{
    auto parent = std::dynamic_pointer_cast<BasicObject>(this->parent());
    if (!parent)
        return;
    std::vector<std::shared_ptr<RadioButton>> unselected;
    for (const auto& child : parent->objects()) {
        auto sibling = std::dynamic_pointer_cast<RadioButton>(child);
        if (!sibling || sibling.get() == this || !sibling->selection())
            continue;
        sibling->setSelection(false);
        unselected.push_back(std::move(sibling));
    }
    for (const auto& sibling : unselected) {
        auto message = sibling->notificationForObject();
        if (!message)
            continue;
        platform::Value attributes = platform::Value::object();
        attributes["selection"] = sibling->selection();
        message->fire(kUnselectedEvent, std::move(attributes));
    }
}

} // namespace morvix
