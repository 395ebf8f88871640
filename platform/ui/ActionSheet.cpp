#include "platform/ui/ActionSheet.h"

#include "platform/ui/View.h"

namespace morvix::platform {

std::shared_ptr<ActionSheet> ActionSheet::create(std::string title, std::weak_ptr<ActionSheetDelegate> delegate)
{
    std::shared_ptr<ActionSheet> sheet(new ActionSheet);
    sheet->setTitle(std::move(title));
    sheet->m_delegate = std::move(delegate);
    return sheet;
}

void ActionSheet::showInView(const std::shared_ptr<View>& view)
{
    showFromRect(view ? view->bounds() : Rect(), view, true);
}

void ActionSheet::showFromRect(const Rect& rect, const std::shared_ptr<View>& view, bool)
{
    m_view = view;
    m_rect = rect;
    if (!isVisible())
        showOnScreen();
}

void ActionSheet::clicked(int index)
{
    if (auto delegate = m_delegate.lock())
        delegate->clickedButtonAtIndex(*this, index);
}

void ActionSheet::willDismiss(int index)
{
    if (auto delegate = m_delegate.lock())
        delegate->willDismissWithButtonIndex(*this, index);
}

void ActionSheet::didDismiss(int index)
{
    if (auto delegate = m_delegate.lock())
        delegate->didDismissWithButtonIndex(*this, index);
}

} // namespace morvix::platform
