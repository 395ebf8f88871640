#include "platform/ui/AlertView.h"

namespace morvix::platform {

std::shared_ptr<AlertView> AlertView::create(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
    std::string cancelButtonTitle, std::vector<std::string> otherButtonTitles)
{
    std::shared_ptr<AlertView> alert(new AlertView);
    alert->setTitle(std::move(title));
    alert->setMessage(std::move(message));
    alert->m_delegate = std::move(delegate);
    if (!cancelButtonTitle.empty())
        alert->setCancelButtonIndex(alert->addButton(std::move(cancelButtonTitle)));
    for (auto& other : otherButtonTitles)
        alert->addButton(std::move(other));
    return alert;
}

void AlertView::show()
{
    if (!isVisible())
        showOnScreen();
}

void AlertView::clicked(int index)
{
    if (auto delegate = m_delegate.lock())
        delegate->clickedButtonAtIndex(*this, index);
}

void AlertView::willDismiss(int index)
{
    if (auto delegate = m_delegate.lock())
        delegate->willDismissWithButtonIndex(*this, index);
}

void AlertView::didDismiss(int index)
{
    if (auto delegate = m_delegate.lock())
        delegate->didDismissWithButtonIndex(*this, index);
}

} // namespace morvix::platform
