#include "widgets/controls/ToggleButton.h"

#include "platform/ui/Animator.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Label.h"
#include "widgets/delegating/DelegatingButton.h"
#include "widgets/text/Colors.h"
#include "widgets/text/FontHelper.h"

namespace morvix {

const WireTable& ToggleButton::wire()
{
    static const WireTable table = WireTable::extend(Button::wire()).event(kToggledSelectionEvent);
    return table;
}

using platform::Color;
using platform::ControlState;

ToggleButton::ToggleButton(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : Button(key, std::move(id), std::move(client), platform::ButtonType::Custom)
{
}

void ToggleButton::didConstruct()
{
    Button::didConstruct();
    applyLayout(platform::ContentHorizontalAlignment::Center, { 2, 2, 2, 16 }, { 2, 2, 2, 2 });
    centreTitle(true);
    setFont(std::nullopt);
    Button::setForeground(FontHelper::activeColor());
    m_backgroundColor = Color::clear();
    button()->layer().setBorderWidth(1.0);
    button()->layer().setCornerRadius(pushCornerRadius());
    button()->setClipsToBounds(true);
    updateColor();
}

platform::Font ToggleButton::defaultFont() const
{
    return FontHelper::pushButtonFont();
}

void ToggleButton::setForeground(std::optional<Color> color)
{
    Button::setForeground(color.value_or(FontHelper::activeColor()));
    updateColor();
}

void ToggleButton::setBackground(std::optional<Color> color)
{
    m_backgroundColor = color.value_or(Color::clear());
    updateColor();
}

void ToggleButton::setBackgroundImage(std::optional<platform::Value> image)
{
    (void)image;
}

void ToggleButton::setSelection(bool selection)
{
    Button::setSelection(selection);
    updateColor();
}

void ToggleButton::buttonUp()
{
    Button::buttonUp();
    updateColor();
}

void ToggleButton::updateColor()
{
    Color foreground = this->foreground().value_or(FontHelper::activeColor());
    Color fill = m_backgroundColor;
    Color title = foreground;
    if (selection()) {
        fill = foreground;
        title = m_backgroundColor == Color::clear() ? Color::white() : m_backgroundColor;
    }
    std::weak_ptr<DelegatingButton> weak = button();
    platform::Animator::shared().animate(kColorDuration, [weak, fill, foreground, title] {
        auto button = weak.lock();
        if (!button)
            return;
        button->setTitleColor(title, ControlState::Normal);
        button->setTitleColor(Colors::highlightColorFor(title), ControlState::Highlighted);
        button->layer().setBorderColor(foreground);
        button->setBackgroundImage(Colors::imageOfColor(fill), ControlState::Normal);
        button->setBackgroundImage(Colors::imageOfColor(Colors::highlightColorFor(fill)), ControlState::Highlighted);
    });
}

} // namespace morvix
