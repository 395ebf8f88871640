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

void ActionSheet::showFromRect(const Rect& rect, const std::shared_ptr<View>& view, bool animated)
{
    m_view = view;
    m_rect = rect;
    if (isVisible())
        return;
    m_shownAnimated = animated;
    showOnScreen();
}

void ActionSheet::dismissWithClickedButtonIndex(int index, bool animated)
{
    m_dismissAnimated = animated;
    Alert::dismissWithClickedButtonIndex(index, animated);
    m_dismissAnimated.reset();
}

void ActionSheet::clicked(int index)
{
    if (auto delegate = m_delegate.lock())
        delegate->clickedButtonAtIndex(*this, index);
}

void ActionSheet::willDismiss(int index)
{
    m_dismissedAnimated = m_dismissAnimated.value_or(true);
    if (auto delegate = m_delegate.lock())
        delegate->willDismissWithButtonIndex(*this, index);
}

void ActionSheet::didDismiss(int index)
{
    if (auto delegate = m_delegate.lock())
        delegate->didDismissWithButtonIndex(*this, index);
}

} // namespace morvix::platform
