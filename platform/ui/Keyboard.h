#pragma once
// The on-screen keyboard of the headless device: never drawn, but announced.

#include "platform/graphics/Rect.h"

#include <optional>

namespace morvix::platform {

class Responder;

/// The headless device has no on-screen keyboard to show, but code lays itself out around one.
/// The keyboard counts as shown while the key window's first responder takes key input: when a
/// key-input responder becomes the first responder where none was, the will-show and did-show
/// notifications are posted (in that order, at once); when the first responder stops being a
/// key-input one, will-hide and did-hide. Moving from one text input to another posts nothing.
/// Each carries, in its user info, the keyboard's frame in screen coordinates before and after
/// ([x, y, width, height]), the duration of the (not drawn) animation and its curve (an
/// `AnimationCurve` number: always ease-in-out, 0). The keyboard is the
/// screen's width wide and `kPortraitHeight` or `kLandscapeHeight` high. Main thread only.
class Keyboard final {
public:
    static constexpr const char* kWillShowNotification = "UIKeyboardWillShowNotification";
    static constexpr const char* kDidShowNotification = "UIKeyboardDidShowNotification";
    static constexpr const char* kWillHideNotification = "UIKeyboardWillHideNotification";
    static constexpr const char* kDidHideNotification = "UIKeyboardDidHideNotification";
    static constexpr const char* kFrameBeginKey = "UIKeyboardFrameBeginUserInfoKey";
    static constexpr const char* kFrameEndKey = "UIKeyboardFrameEndUserInfoKey";
    static constexpr const char* kAnimationDurationKey = "UIKeyboardAnimationDurationUserInfoKey";
    static constexpr const char* kAnimationCurveKey = "UIKeyboardAnimationCurveUserInfoKey";
    static constexpr double kPortraitHeight = 216;
    static constexpr double kLandscapeHeight = 162;
    static constexpr double kAnimationDuration = 0.25;

    static Keyboard& shared();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    bool isVisible() const { return m_visible; }
    /// Where the keyboard is (shown) or would be (hidden), in screen coordinates.
    Rect frame() const;

    /// Called by the window when its first responder changes.
    void firstResponderChanged(const Responder* previous, const Responder* current);
    /// Hidden again, without notifications.
    void resetForTesting() { m_visible = false; m_holds = 0; m_pending.reset(); }

    /// Holds the keyboard where it is while it lives: the first responder's changes meanwhile
    /// are settled when the last hold ends, so handing the focus from one text input to another
    /// (the old one resigns, then the new one takes over) announces nothing.
    class Hold final {
    public:
        Hold() { ++shared().m_holds; }
        ~Hold() { shared().release(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
    };

private:
    Keyboard() = default;
    void update(bool wanted);
    void release();
    void announce(bool showing);

    bool m_visible = false;
    int m_holds = 0;
    std::optional<bool> m_pending;
};

} // namespace morvix::platform
