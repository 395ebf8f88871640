#pragma once
// The native multi-line text view of the text widgets.

#include "platform/ui/controls/TextView.h"
#include "widgets/controls/NativeTextInput.h"

#include <memory>

namespace morvix {

/// The platform's multi-line text view, as `NativeTextInput` describes, with the traits the text widgets
/// start from. Main thread only.
class MorvixTextView : public NativeTextInput<platform::TextView> {
public:
    static std::shared_ptr<MorvixTextView> create(const platform::Rect& frame = {});
    const char* className() const override { return "MorvixTextView"; }

protected:
    explicit MorvixTextView(const platform::Rect& frame);
};

} // namespace morvix
