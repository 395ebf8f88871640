#include "widgets/controls/MorvixTextField.h"

#include "widgets/text/FontHelper.h"

namespace morvix {

std::shared_ptr<MorvixTextField> MorvixTextField::create(const platform::Rect& frame)
{
    return std::shared_ptr<MorvixTextField>(new MorvixTextField(frame));
}

MorvixTextField::MorvixTextField(const platform::Rect& frame)
    : NativeTextInput(frame)
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

} // namespace morvix
