#pragma once
// The keyboard stand-in's keys: typing into the key window's first responder.

#include "platform/foundation/Utf16.h"

#include <string>

namespace morvix::platform {

class KeyInput;

/// Types as a person would on the on-screen keyboard, into the key window's first responder
/// when that is a text input (`KeyInput`). Each call answers false, and does nothing, when there
/// is no key window, no first responder, or one that takes no text. Main thread only.
class KeyboardTyping final {
public:
    KeyboardTyping() = delete;

    /// Types `text` one character (one UTF-8 sequence) at a time, each its own `insertText` and
    /// so its own should-change question; "\n" is typed as the return key.
    static bool type(const std::string& text);
    /// Pastes `text` as one replacement.
    static bool paste(const std::string& text);
    /// Deletes the selection, or the character before the caret.
    static bool deleteBackward();
    /// The return key.
    static bool pressReturn();
    /// The user drags the selection to `range`.
    static bool select(TextRange range);
    /// Taps the system Done item of the toolbar shown above the keyboard (the first responder's
    /// input accessory view); false when there is none or it is disabled.
    static bool tapDone();

    /// The key window's first responder as a text input; null when there is none.
    static KeyInput* focusedInput();
};

} // namespace morvix::platform
