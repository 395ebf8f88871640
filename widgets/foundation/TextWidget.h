#pragma once
// The mark of widgets that edit text.

namespace morvix {

/// Adopted by the widgets that take text input (text and text-input controls, subclasses
/// included). When one gets the focus, the `Display` makes its view the active text field and
/// lets a touch elsewhere dismiss the keyboard. Nothing to implement.
class TextWidget {
public:
    virtual ~TextWidget() = default;

protected:
    TextWidget() = default;
};

} // namespace morvix
