#include "widgets/controls/MorvixTextView.h"

#include "widgets/text/FontHelper.h"

namespace morvix {

std::shared_ptr<MorvixTextView> MorvixTextView::create(const platform::Rect& frame)
{
    return std::shared_ptr<MorvixTextView>(new MorvixTextView(frame));
}

MorvixTextView::MorvixTextView(const platform::Rect& frame)
    : NativeTextInput(frame)
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

} // namespace morvix
