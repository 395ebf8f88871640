#pragma once
// A top-level window or dialog over the display.

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Rect.h"
#include "widgets/foundation/AbstractComposite.h"
#include "widgets/foundation/LayoutNotAnimatable.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class Display;
class ShadeView;
class ShellImageRenderer;

namespace platform {
class Button;
class Label;
}

/// "zub.widgets.Shell": a window or dialog that floats over the `Display`, with an optional
/// title line, close button and rounded border, and, when modal, a `ShadeView` behind it that
/// dims everything else. Its view is a plain view that does not clip.
///
/// Life of a Shell:
///  1. Created hidden and new. After the message that made it (or, later, when "visibility"
///     becomes true) it is presented, once: with the application frame off and no parent the
///     Display becomes its parent; the shade fades in to 0.9 over 0.35 s and the Shell opens
///     (fading, springing in as a dialog, or moving in from the edge it touches).
///  2. "bounds" that arrive while an open or close animation runs are held back and applied
///     when the opening ends; the ones given to the Display's children are moved by the
///     display offset once.
///  3. `destroy` starts the close animation; its end removes the shade, title and button and
///     only then runs the base destroy. The animation keeps the Shell alive until it has run.
///     A second destroy, while closing or after, does nothing.
///
/// The close button sends "Close" (when listened) and leaves the Shell open. A maximized Shell
/// follows rotations: new "bounds" are scheduled and "Resize" goes out at once.
///
/// Main thread only; animations complete on the main loop.
class Shell : public RemoteClass<Shell, AbstractComposite>, public LayoutNotAnimatable {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Shell";
    static constexpr double kCornerRadius = 10;
    static constexpr double kShadeAlpha = 0.9;
    static constexpr double kShadeFadeDuration = 0.35;
    static constexpr double kAnimationDuration = 0.3;
    static constexpr float kSpringDamping = 0.7f;
    static constexpr double kDialogScale = 0.5;
    static constexpr double kDepth = 20;

    Shell(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Shell() override;

    static const PropertyTable& properties();
    /// The style words, "Close", "Resize" and the "bounds" it reports.
    static const WireTable& wire();
    /// The composite's names plus "text", "mode", "alpha" and "active".
    static const PropertyNames& remoteObjectProperties();

    std::shared_ptr<platform::View> view() const override;

    // RemoteObject
    /// Starts the close animation; the base destroy runs when it ends. Ignored while closing or
    /// after.
    void destroy() override;
    /// The base's, then (first time only) the Display as parent when there is none and the
    /// application frame is off, then presentation when visible and new.
    bool processingFinished() override;

    // Properties.
    /// Stores the words, then: a modal word makes the shade (once) and brings the view to the
    /// front; the border rule gives the corner radius; "TITLE" adds the title; "CLOSE" makes the
    /// close button (once) and applies the bounds again.
    void setStyle(std::optional<platform::Value> style) override;
    /// Read back: the held-back rectangle, else the one last given, else the view's frame.
    platform::Rect bounds() const;
    /// Keeps `bounds`, moves it by the display offset when the parent is the Display, then
    /// `setAbsoluteBounds`.
    void setBounds(platform::Rect bounds) override;
    /// While animating, holds the rectangle back (the last one wins); otherwise lays the view out
    /// at it, with the title at (0, 13, w, 26) and the close button at (w - 30, 0, 30, 30).
    void setAbsoluteBounds(const platform::Rect& bounds);
    /// Outside the creation phase, true presents a Shell that is still new.
    void setVisibility(bool visible) override;
    /// The title's and the close icon's colour; null: the label colour and the active text
    /// colour. The close image is drawn anew.
    void setForeground(std::optional<platform::Color> color) override;
    /// The base's, then "overlayColor" (a colour value) for the shade.
    void setData(std::optional<platform::Value> data) override;
    /// An image value as the pattern background; null brings "background" back.
    void setBackgroundImage(std::optional<platform::Value> image) override;

    std::optional<std::string> text() const;
    void setText(std::optional<std::string> text);
    const std::string& mode() const { return m_mode; }
    /// "maximized" and "fullscreen" as given; any other value is "normal".
    void setMode(std::optional<std::string> mode);
    /// "maximized" or "fullscreen".
    bool isMaximized() const;
    /// The view's alpha times 255, as a 32-bit float.
    std::optional<platform::Value> alpha() const;
    /// The view's alpha becomes the number divided by 255; null gives 1.
    void setAlpha(std::optional<platform::Value> alpha);
    bool isActive() const { return m_active; }
    /// True brings the view to the front of its superview.
    void setActive(bool active);
    const std::optional<platform::Value>& minimumSize() const { return m_minimumSize; }
    void setMinimumSize(std::optional<platform::Value> size) { m_minimumSize = std::move(size); }
    bool closeListener() const { return m_closeListener; }

    const platform::Color& overlayColor() const { return m_overlayColor; }
    const std::shared_ptr<ShadeView>& shade() const { return m_shade; }
    const std::shared_ptr<platform::Label>& titleLabel() const { return m_titleLabel; }
    const std::shared_ptr<platform::Button>& closeButton() const { return m_closeButton; }
    const std::optional<platform::Rect>& bufferedBounds() const { return m_bufferedBounds; }
    bool isAnimating() const { return m_animating; }
    bool isNew() const { return m_isNew; }
    bool isClosing() const { return m_closing; }

    /// The registry's root object when it is a Display; null otherwise.
    std::shared_ptr<Display> display() const;
    /// No other child of the Display is a Shell (true without a Display).
    bool isFirstShell() const;
    /// The close button's action: "Close" with {} while listened. The Shell stays open.
    void closePressed();
    /// Follows an orientation change (see the class comment).
    void rotated();

protected:
    void didConstruct() override;

private:
    void presentNewShell();
    /// The area the origin is computed in: the Display's size, else the main screen's.
    platform::Size area() const;
    /// The size of the Display's screen view, else the main screen's.
    platform::Size screenSize() const;
    /// The Display's view bounds in its screen's coordinates; the main screen without one.
    platform::Rect contentBounds() const;
    /// The display offset when the parent is the Display; zero otherwise.
    platform::Point displayOffset() const;
    bool useAnimation() const;

    // Opening and closing.
    void openAnimated();
    void openAnimatedByFadingIn();
    void openAsDialog();
    void openAnimatedByMovingInFrom(const platform::Rect& origin);
    void applyDepth();
    void openAnimationDidStop();
    void closeAnimated();
    void closeAsDialog();
    void closeAnimationDidStop();

    std::shared_ptr<platform::View> m_shell;
    std::string m_mode = "normal";
    bool m_active = false;
    bool m_activateListener = false;
    bool m_moveListener = false;
    bool m_closeListener = false;
    std::optional<platform::Value> m_minimumSize;
    std::shared_ptr<ShadeView> m_shade;
    platform::Color m_overlayColor;
    std::shared_ptr<platform::Label> m_titleLabel;
    std::shared_ptr<platform::Button> m_closeButton;
    std::unique_ptr<ShellImageRenderer> m_imageRenderer;
    std::optional<platform::Rect> m_bounds;
    std::optional<platform::Rect> m_bufferedBounds;
    bool m_animating = false;
    bool m_isNew = true;
    bool m_closing = false;
    platform::ObserverToken m_orientationObserver;
};

} // namespace morvix
