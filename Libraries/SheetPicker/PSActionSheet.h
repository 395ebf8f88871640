#pragma once
// The sheet that slides a picker's content up from the bottom of the screen (phones).

#include "platform/ui/View.h"

#include <memory>

namespace morvix {

class PSActionSheetVC;

/// A bottom sheet: a view over the whole screen whose content sits just below the visible area
/// and slides up by its own height, over a background that darkens to black at alpha 0.5.
///
/// The sheets share one window of the alert level (class-level state), made on the first
/// `showInContainerView` with a `PSActionSheetVC` as its root and released by `destroyWindow`
/// once a sheet has slid out. Rules:
///  1. `presented` turns true when the slide-in starts and false when the slide-out starts.
///  2. When the slide-out ends, the application's first window (remembered when it started) is
///     key again; the shared window is destroyed only when its container holds no sheet or
///     still holds this one (a sheet shown meanwhile keeps it), and the sheet leaves its
///     superview.
///  3. Without animation, the slide and its completion happen at once.
/// Tests end each case with `destroyWindow`. Main thread only.
class PSActionSheet final : public platform::View {
public:
    static constexpr double kSlideDuration = 0.3;
    static constexpr double kDimmedAlpha = 0.5;

    static std::shared_ptr<PSActionSheet> create(std::shared_ptr<platform::View> view);
    const char* className() const override { return "PSActionSheet"; }

    /// The content that slides.
    std::shared_ptr<platform::View> view() const { return m_view; }
    /// The white backing of the content.
    std::shared_ptr<platform::View> bgView() const { return m_bgView; }
    bool isPresented() const { return m_presented; }

    /// Own frame `bounds` grown by the content's height; the content just below `bounds`.
    void configureFrameForBounds(const platform::Rect& bounds);
    /// Shows the shared window (key, unless it already is) and hands this sheet to its container.
    void showInContainerView();
    /// The same as `showInContainerView`; the item is not used.
    void showFromBarButtonItem(const std::shared_ptr<platform::BarButtonItem>& item, platform::Animated animated);
    void showInContainerViewAnimated(platform::Animated animated);
    /// Slides out (see the class rules); the index is not used.
    void dismissWithClickedButtonIndex(int index, platform::Animated animated);

    /// The shared window, made on first use.
    static std::shared_ptr<platform::Window> window();
    /// The shared window's root controller (making the window when there is none).
    static std::shared_ptr<PSActionSheetVC> actionSheetContainer();
    /// Releases the shared window: the container forgets its sheet, the window is hidden, gives
    /// up its first responder when it is key, and leaves the application. No-op without one.
    static void destroyWindow();
    /// Whether the shared window exists (tests).
    static bool hasWindow();

private:
    explicit PSActionSheet(std::shared_ptr<platform::View> view);
    void finishDismissal(const std::shared_ptr<platform::Window>& firstWindow);

    std::shared_ptr<platform::View> m_view;
    std::shared_ptr<platform::View> m_bgView;
    bool m_presented = false;
};

} // namespace morvix
