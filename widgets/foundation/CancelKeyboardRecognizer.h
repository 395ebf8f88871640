#pragma once
// The window recogniser that notices a touch outside every text input.

#include "platform/ui/GestureRecognizer.h"

#include <memory>

namespace morvix {

/// Sits on the session's window, enabled only while a text widget has the focus. When touches
/// begin, it looks at the view of the event's first touch:
///  1. When that view, or else its superview, takes text input, that view is asked to become
///     the first responder: accepted, the recogniser is cancelled (no action runs); refused,
///     nothing changes.
///  2. Otherwise it recognises at once and its action runs (the `Display` dismisses the
///     keyboard).
/// It never cancels the touches of the views beneath, prevents every recogniser but a pan and
/// can be prevented only by a pan, so scrolling goes on with the keyboard up.
///
/// Owned by the window (and its `Display`). Main thread only.
class CancelKeyboardRecognizer final : public platform::GestureRecognizer {
public:
    /// The action runs only while `target` lives.
    static std::shared_ptr<CancelKeyboardRecognizer> create(std::weak_ptr<void> target, Action action);
    const char* className() const override { return "CancelKeyboardRecognizer"; }

    /// Always false.
    bool cancelsTouchesInView() const override { return false; }
    /// Does not track the touches (see the class comment).
    void touchesBegan(const platform::TouchSet& touches, const platform::Event& event) override;
    /// True unless `other` is a pan.
    bool canPrevent(const platform::GestureRecognizer& other) const override;
    /// True only for a pan.
    bool canBePreventedBy(const platform::GestureRecognizer& other) const override;

private:
    CancelKeyboardRecognizer();
};

} // namespace morvix
