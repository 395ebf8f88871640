#include "widgets/controls/CheckableButton.h"

#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"
#include "widgets/delegating/DelegatingButton.h"
#include "widgets/text/FontHelper.h"

namespace morvix {

using platform::ControlState;

CheckableButton::CheckableButton(CreationKey key, std::string id, std::shared_ptr<ClientContext> client,
    std::unique_ptr<StateImageRenderer> renderer)
    : Button(key, std::move(id), std::move(client), platform::ButtonType::Custom)
    , m_renderer(std::move(renderer))
{
}

void CheckableButton::didConstruct()
{
    Button::didConstruct();
    applyLayout(platform::ContentHorizontalAlignment::Left, {}, { -1, 8, 0, 0 });
    auto& label = *button()->titleLabel();
    label.setNumberOfLines(0);
    label.setLineBreakMode(platform::LineBreakMode::WordWrap);
    button()->imageView()->setContentMode(platform::ContentMode::ScaleAspectFit);
    setFont(std::nullopt);
    setForeground(std::nullopt);
    setBackground(std::nullopt);
}

void CheckableButton::setImage(std::optional<platform::Value> image)
{
    (void)image;
}

void CheckableButton::buttonDown()
{
}

void CheckableButton::setForeground(std::optional<platform::Color> color)
{
    platform::Color resolved = color.value_or(defaultForeground());
    Button::setForeground(resolved);
    button()->setTitleColor(resolved, ControlState::Normal);
    button()->setTitleColor(resolved, ControlState::Selected);
}

std::optional<platform::Color> CheckableButton::foregroundColor() const
{
    return button()->titleColorForState(ControlState::Normal);
}

void CheckableButton::setBackground(std::optional<platform::Color> color)
{
    m_renderer->setColor(color.value_or(FontHelper::activeTextColor()));
    updateButtonImages();
}

void CheckableButton::updateButtonImages()
{
    auto& view = *button();
    view.setImage(m_renderer->uncheckedImage(), ControlState::Normal);
    view.setImage(m_renderer->uncheckedImage(), ControlState::Disabled);
    view.setImage(m_renderer->checkedImage(), ControlState::Selected);
    view.setImage(m_renderer->checkedImage(), ControlState::Selected | ControlState::Disabled);
}

} // namespace morvix
