#include "widgets/controls/FlatButton.h"

#include "platform/ui/controls/Button.h"
#include "widgets/delegating/DelegatingButton.h"
#include "widgets/text/FontHelper.h"

namespace morvix {

const WireTable& FlatButton::wire()
{
    static const WireTable table = WireTable::extend(Button::wire()).event(kSelectionEvent);
    return table;
}

FlatButton::FlatButton(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : Button(key, std::move(id), std::move(client), platform::ButtonType::System)
{
}

void FlatButton::didConstruct()
{
    Button::didConstruct();
    applyLayout(platform::ContentHorizontalAlignment::Center, { 2, 2, 2, 16 }, { 2, 2, 2, 2 });
    centreTitle(false);
    setFont(std::nullopt);
    setForeground(std::nullopt);
}

platform::Font FlatButton::defaultFont() const
{
    return FontHelper::flatButtonFont();
}

void FlatButton::setForeground(std::optional<platform::Color> color)
{
    platform::Color resolved = color.value_or(FontHelper::activeColor());
    Button::setForeground(resolved);
    applyTitleColors(resolved);
}

void FlatButton::setBackground(std::optional<platform::Color> color)
{
    button()->setTintColor(color);
}

std::optional<platform::Color> FlatButton::backgroundColor() const
{
    return button()->tintColor();
}

} // namespace morvix
