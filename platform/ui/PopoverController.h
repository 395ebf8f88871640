#pragma once
// A controller's view shown in a floating box that points at a place on the screen (pads).

#include "platform/graphics/Rect.h"
#include "platform/ui/Forward.h"

#include <memory>

namespace morvix::platform {

class PopoverController;

/// Hears of a popover that the user dismissed by tapping outside it.
class PopoverControllerDelegate {
public:
    virtual ~PopoverControllerDelegate() = default;
    virtual void popoverControllerDidDismissPopover(PopoverController& popover) = 0;
};

/// The sides a popover's arrow may point from, by the platform's bits.
namespace PopoverArrowDirection {
inline constexpr unsigned Up = 1;
inline constexpr unsigned Down = 2;
inline constexpr unsigned Left = 4;
inline constexpr unsigned Right = 8;
inline constexpr unsigned Any = Up | Down | Left | Right;
}

/// Shows a content controller's view in a box of its `preferredContentSize` (320 by 480 when it
/// has none) next to a rectangle in a view or a bar button item, in a window of its own just
/// above the window of that view (so the touch driver and the renderer find it on top).
///
/// Rules:
///  1. Presenting fails (false) when the view, or the item's view, is in no window; presenting
///     a visible popover again moves it.
///  2. While visible, the popover is listed in `Application::popovers()`, which keeps it alive.
///  3. `dismiss` takes it off the screen and tells no one; `tapOutside` (test driver) plays the
///     user's tap beside it: it dismisses and then tells the delegate (held weakly).
/// Main thread only.
class PopoverController final : public std::enable_shared_from_this<PopoverController> {
public:
    static constexpr Size kDefaultContentSize { 320, 480 };

    static std::shared_ptr<PopoverController> create(std::shared_ptr<ViewController> content);
    ~PopoverController();
    PopoverController(const PopoverController&) = delete;
    PopoverController& operator=(const PopoverController&) = delete;

    std::shared_ptr<ViewController> contentViewController() const { return m_content; }
    std::shared_ptr<PopoverControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<PopoverControllerDelegate> delegate) { m_delegate = std::move(delegate); }
    /// The content's preferred size, else `kDefaultContentSize`.
    Size popoverContentSize() const;

    /// Shows the popover next to `rect` (in `view`'s bounds coordinates).
    [[nodiscard]] bool presentFromRect(const Rect& rect, const std::shared_ptr<View>& view, unsigned arrowDirections, Animated animated);
    /// Shows the popover next to the item's view.
    [[nodiscard]] bool presentFromBarButtonItem(const std::shared_ptr<BarButtonItem>& item, unsigned arrowDirections, Animated animated);
    bool isPopoverVisible() const { return m_window != nullptr; }
    /// What the popover points at, in screen coordinates; empty while not visible.
    Rect anchorRect() const { return m_anchor; }
    /// The popover's window while visible.
    std::shared_ptr<Window> window() const { return m_window; }
    /// Takes the popover off the screen, telling no one; no-op when it is not visible.
    void dismiss(Animated animated);

    /// Test driver: the user taps outside the popover (see rule 3); no-op when not visible.
    void tapOutside();

private:
    explicit PopoverController(std::shared_ptr<ViewController> content) : m_content(std::move(content)) { }
    Rect frameFor(const Rect& anchor) const;

    std::shared_ptr<ViewController> m_content;
    std::weak_ptr<PopoverControllerDelegate> m_delegate;
    std::shared_ptr<Window> m_window;
    Rect m_anchor;
};

} // namespace morvix::platform
