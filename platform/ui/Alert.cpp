#include "platform/ui/Alert.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/Application.h"

namespace morvix::platform {

int Alert::addButton(std::string title)
{
    m_buttons.push_back(std::move(title));
    return static_cast<int>(m_buttons.size()) - 1;
}

std::string Alert::buttonTitle(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_buttons.size()))
        return {};
    return m_buttons[static_cast<std::size_t>(index)];
}

void Alert::showOnScreen()
{
    assertOnMainThread();
    m_visible = true;
    Application::shared().showAlert(shared_from_this());
}

bool Alert::press(const std::string& title)
{
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons[i] == title)
            return pressButton(static_cast<int>(i));
    }
    return false;
}

bool Alert::pressButton(int index)
{
    assertOnMainThread();
    if (!m_visible || index < 0 || index >= static_cast<int>(m_buttons.size()))
        return false;
    auto keep = shared_from_this();
    clicked(index);
    dismissWithClickedButtonIndex(index, true);
    return true;
}

void Alert::dismissWithClickedButtonIndex(int index, bool)
{
    assertOnMainThread();
    if (!m_visible)
        return;
    auto keep = shared_from_this();
    willDismiss(index);
    m_visible = false;
    Application::shared().removeAlert(*this);
    didDismiss(index);
}

} // namespace morvix::platform
