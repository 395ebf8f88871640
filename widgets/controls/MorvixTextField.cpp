#include "widgets/controls/MorvixTextField.h"

#include "widgets/controls/DropDownActionHook.h"
#include "widgets/foundation/FontHelper.h"

namespace morvix {

std::shared_ptr<MorvixTextField> MorvixTextField::create(const platform::Rect& frame)
{
    return std::shared_ptr<MorvixTextField>(new MorvixTextField(frame));
}

MorvixTextField::MorvixTextField(const platform::Rect& frame)
    : Delegating(frame)
{
    setText({});
    setBorderStyle(platform::TextBorderStyle::None);
    setAutoresizesSubviews(false);
    setClearButtonMode(platform::TextFieldViewMode::Never);
    setClearsOnBeginEditing(false);
    // Content starts at the left and is centred down the height.
    setTextAlignment(platform::TextAlignment::Left);
    setEnablesReturnKeyAutomatically(false);
    setKeyboardAppearance(platform::KeyboardAppearance::Default);
    setKeyboardType(platform::KeyboardType::Default);
    setReturnKeyType(platform::ReturnKeyType::Done);
    setUserInteractionEnabled(true);
    setFont(FontHelper::textFont());
}

bool MorvixTextField::canPerformAction(const std::string& action, const void* sender)
{
    if (auto answer = DropDownActionHook::ask(action, parent()))
        return *answer;
    return TextField::canPerformAction(action, sender);
}

} // namespace morvix
