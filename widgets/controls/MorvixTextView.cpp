#include "widgets/controls/MorvixTextView.h"

#include "widgets/controls/DropDownActionHook.h"
#include "widgets/foundation/FontHelper.h"

namespace morvix {

std::shared_ptr<MorvixTextView> MorvixTextView::create(const platform::Rect& frame)
{
    return std::shared_ptr<MorvixTextView>(new MorvixTextView(frame));
}

MorvixTextView::MorvixTextView(const platform::Rect& frame)
    : Delegating(frame)
{
    setText({});
    setAutoresizesSubviews(false);
    setEnablesReturnKeyAutomatically(false);
    setKeyboardAppearance(platform::KeyboardAppearance::Default);
    setKeyboardType(platform::KeyboardType::Default);
    setUserInteractionEnabled(true);
    setContentInset({});
    setShowsHorizontalScrollIndicator(false);
    setShowsVerticalScrollIndicator(false);
    setBounces(false);
    setScrollEnabled(false);
    setFont(FontHelper::textFont());
}

bool MorvixTextView::canPerformAction(const std::string& action, const void* sender)
{
    if (auto answer = DropDownActionHook::ask(action, parent()))
        return *answer;
    return TextView::canPerformAction(action, sender);
}

} // namespace morvix
