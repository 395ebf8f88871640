#include "widgets/controls/PushButton.h"

#include "platform/ui/controls/Button.h"
#include "widgets/delegating/DelegatingButton.h"
#include "widgets/text/Colors.h"
#include "widgets/text/FontHelper.h"

namespace morvix {

namespace {

constexpr StyleDeclaration kBorderStyle { .word = "BORDER", .effect = "a border 1 point wide in the foreground colour" };

} // namespace

const WireTable& PushButton::wire()
{
    static const WireTable table = WireTable::extend(Button::wire()).event(kSelectionEvent).style(kBorderStyle);
    return table;
}

PushButton::PushButton(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : Button(key, std::move(id), std::move(client), platform::ButtonType::Custom)
{
}

void PushButton::didConstruct()
{
    Button::didConstruct();
    applyLayout(platform::ContentHorizontalAlignment::Center, { 2, 2, 2, 16 }, { 2, 2, 2, 2 });
    centreTitle(true);
    button()->layer().setCornerRadius(pushCornerRadius());
    button()->setClipsToBounds(true);
    setFont(std::nullopt);
    setForeground(std::nullopt);
    setBackground(std::nullopt);
}

platform::Font PushButton::defaultFont() const
{
    return FontHelper::pushButtonFont();
}

platform::Color PushButton::defaultBackground()
{
    return platform::Color::fromRGBA(247 / 255.0f, 247 / 255.0f, 247 / 255.0f);
}

void PushButton::setForeground(std::optional<platform::Color> color)
{
    platform::Color resolved = color.value_or(FontHelper::activeColor());
    Button::setForeground(resolved);
    applyTitleColors(resolved);
    button()->layer().setBorderColor(resolved);
}

void PushButton::setBackground(std::optional<platform::Color> color)
{
    platform::Color resolved = color.value_or(defaultBackground());
    Button::setBackground(resolved);
    button()->setBackgroundImage(Colors::imageOfColor(Colors::highlightColorFor(resolved)), platform::ControlState::Highlighted);
}

void PushButton::setBackgroundImage(std::optional<platform::Value> image)
{
    (void)image;
}

void PushButton::setStyle(std::optional<platform::Value> style)
{
    Button::setStyle(std::move(style));
    if (hasStyle(kBorderStyle))
        button()->layer().setBorderWidth(1.0);
}

void PushButton::sizeChanged(platform::Size size)
{
    setBackground(background());
    Button::sizeChanged(size);
}

} // namespace morvix
