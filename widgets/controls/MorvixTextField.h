#pragma once
// The native one-line text field of the text widgets.

#include "platform/ui/controls/TextField.h"
#include "widgets/controls/NativeTextInput.h"

#include <memory>

namespace morvix {

/// The platform's one-line text field, as `NativeTextInput` describes, with the traits the text widgets
/// start from. Main thread only.
class MorvixTextField : public NativeTextInput<platform::TextField> {
public:
    static std::shared_ptr<MorvixTextField> create(const platform::Rect& frame = {});
    const char* className() const override { return "MorvixTextField"; }

protected:
    explicit MorvixTextField(const platform::Rect& frame);
};

} // namespace morvix
