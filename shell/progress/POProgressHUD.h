#pragma once
// A heads-up overlay: a translucent rounded box with an indicator and up to two labels.

#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Timer.h"
#include "platform/graphics/Font.h"
#include "platform/ui/Forward.h"
#include "platform/ui/View.h"
#include "shell/progress/POProgressHUDDelegate.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {
class Label;
class ThreadPool;
}

namespace morvix {

/// What the overlay's indicator is. Other values (a peer's number cast in) leave the indicator
/// as it is.
enum class POProgressHUDMode : int {
    /// The platform's large white activity indicator, animating.
    Indeterminate = 0,
    /// A `PORoundProgressView` pie.
    Determinate = 1,
    /// A `POBarProgressView`; a new one at every change to this mode.
    DeterminateHorizontalBar = 2,
    /// A `PORoundProgressView` ring.
    AnnularDeterminate = 3,
    /// `customView`.
    CustomView = 4,
    /// No indicator: labels only.
    Text = 5,
};

enum class POProgressHUDAnimation : int { Fade = 0, Zoom = 1, ZoomIn = 2 };

/// A view laid over another (its superview, whose bounds it takes at every layout) that shows a
/// rounded box, centred, with an indicator chosen by `mode` and two labels, and fades (or zooms)
/// in and out in 0.3 s. It starts invisible (alpha 0).
///
/// Rules:
///  1. Setting mode, customView, the label texts, fonts and colours, progress or the spinner's
///     colour on the main thread updates the views at once; from another thread the value is
///     stored under the overlay's mutex and the update is posted to the main loop. "progress"
///     goes to a pie, ring or bar indicator without a new layout; the others mark the overlay
///     for layout and redisplay.
///  2. `show` with a grace time shows only if a task run by the overlay (`taskInProgress`) is
///     still under way when the grace time ends; a plain `show` with a grace time never shows.
///  3. `hide` waits for the rest of `minShowTime` since the show began.
///  4. A show that begins while a hide animation runs wins: that hide does not finish.
///  5. Hiding finishes (`done`) in this order: a pending delayed hide is cancelled, the overlay
///     is finished, alpha 0, removal from the superview when asked, the completion block (once),
///     then the delegate's `hudWasHidden`.
///
/// Main thread only, except the setters and getters of rule 1, which any thread may call.
class POProgressHUD : public platform::View {
public:
    using Block = std::function<void()>;

    static constexpr double kPadding = 4;
    static constexpr double kAnimationDuration = 0.3;
    static constexpr const char* kDidChangeStatusBarOrientationNotification = "UIApplicationDidChangeStatusBarOrientationNotification";

    static std::shared_ptr<POProgressHUD> create(const platform::Rect& frame);
    /// An overlay framed to `view`'s bounds, not yet added to it.
    static std::shared_ptr<POProgressHUD> createWithView(const platform::View& view);
    ~POProgressHUD() override;
    const char* className() const override { return "POProgressHUD"; }

    // ---- Class helpers ----
    /// Makes an overlay on `view` that is removed when hidden, adds it on top and shows it.
    static std::shared_ptr<POProgressHUD> showHUDAddedTo(const std::shared_ptr<platform::View>& view, platform::Animated animated);
    /// Hides the topmost overlay among `view`'s subviews, removing it when hidden; false when none.
    static bool hideHUDForView(const platform::View& view, platform::Animated animated);
    /// The same for every overlay among `view`'s subviews; answers how many.
    static std::size_t hideAllHUDsForView(const platform::View& view, platform::Animated animated);
    /// The topmost overlay among `view`'s subviews; null when none.
    static std::shared_ptr<POProgressHUD> HUDForView(const platform::View& view);
    /// Every overlay among `view`'s subviews, bottom first.
    static std::vector<std::shared_ptr<POProgressHUD>> allHUDsForView(const platform::View& view);

    // ---- Showing and hiding ----
    void show(platform::Animated animated);
    void hide(platform::Animated animated);
    /// Hides after `delay` seconds on the main loop, unless the overlay finishes hiding first.
    void hide(platform::Animated animated, double delay);
    /// Runs `method` on a new thread while the overlay shows, then hides on the main loop.
    void showWhileExecuting(Block method, platform::Animated animated);
    /// Runs `block` on `queue` (the global thread pool when null) while the overlay shows, then
    /// hides on the main loop; `completion` becomes the completion block.
    void showAnimatedWhileExecutingBlock(Block block, platform::ThreadPool* queue = nullptr, Block completion = {});

    // ---- Observed properties (any thread, see rule 1) ----
    POProgressHUDMode mode() const;
    void setMode(POProgressHUDMode mode);
    std::shared_ptr<platform::View> customView() const;
    void setCustomView(std::shared_ptr<platform::View> view);
    std::optional<std::string> labelText() const;
    void setLabelText(std::optional<std::string> text);
    platform::Font labelFont() const;
    void setLabelFont(platform::Font font);
    platform::Color labelColor() const;
    void setLabelColor(platform::Color color);
    std::optional<std::string> detailsLabelText() const;
    void setDetailsLabelText(std::optional<std::string> text);
    platform::Font detailsLabelFont() const;
    void setDetailsLabelFont(platform::Font font);
    platform::Color detailsLabelColor() const;
    void setDetailsLabelColor(platform::Color color);
    float progress() const;
    void setProgress(float progress);
    platform::Color activityIndicatorColor() const;
    void setActivityIndicatorColor(platform::Color color);

    // ---- Plain properties (main thread) ----
    POProgressHUDAnimation animationType() const { return m_animationType; }
    void setAnimationType(POProgressHUDAnimation type) { m_animationType = type; }
    /// None: the box is black with alpha `opacity`.
    std::optional<platform::Color> color() const { return m_color; }
    void setColor(std::optional<platform::Color> color);
    float opacity() const { return m_opacity; }
    void setOpacity(float opacity);
    float cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(float radius);
    float margin() const { return m_margin; }
    void setMargin(float margin);
    float xOffset() const { return m_xOffset; }
    void setXOffset(float offset);
    float yOffset() const { return m_yOffset; }
    void setYOffset(float offset);
    platform::Size minSize() const { return m_minSize; }
    void setMinSize(platform::Size size);
    bool isSquare() const { return m_square; }
    void setSquare(bool square);
    bool dimBackground() const { return m_dimBackground; }
    void setDimBackground(bool dim);
    double graceTime() const { return m_graceTime; }
    void setGraceTime(double seconds) { m_graceTime = seconds; }
    double minShowTime() const { return m_minShowTime; }
    void setMinShowTime(double seconds) { m_minShowTime = seconds; }
    bool removeFromSuperViewOnHide() const { return m_removeFromSuperViewOnHide; }
    void setRemoveFromSuperViewOnHide(bool remove) { m_removeFromSuperViewOnHide = remove; }
    bool taskInProgress() const { return m_taskInProgress; }
    void setTaskInProgress(bool inProgress) { m_taskInProgress = inProgress; }
    std::weak_ptr<POProgressHUDDelegate> delegate() const { return m_delegate; }
    void setDelegate(std::weak_ptr<POProgressHUDDelegate> delegate) { m_delegate = std::move(delegate); }
    void setCompletionBlock(Block block) { m_completionBlock = std::move(block); }
    /// The box size found by the last layout.
    platform::Size size() const { return m_size; }
    bool isFinished() const { return m_finished; }

    /// The current indicator view; null in the text mode.
    std::shared_ptr<platform::View> indicator() const { return m_indicator; }
    std::shared_ptr<platform::Label> label() const { return m_label; }
    std::shared_ptr<platform::Label> detailsLabel() const { return m_detailsLabel; }

    void layoutSubviews() override;
    void draw(platform::GraphicsContext& context, const platform::Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit POProgressHUD(const platform::Rect& frame);
    /// Makes the labels and the indicator and starts following orientation changes; the
    /// factories call it once the overlay has its shared owner.
    void setUp();

private:
    enum class Key { Mode, CustomView, LabelText, LabelFont, LabelColor, DetailsLabelText, DetailsLabelFont,
        DetailsLabelColor, Progress, ActivityIndicatorColor };

    void setupLabels();
    void updateIndicators();
    void changed(Key key);
    void updateUIForKey(Key key);
    void showUsingAnimation(bool animated);
    void hideUsingAnimation(bool animated);
    void handleGraceTimer();
    void done();
    void cleanUp();
    void deviceOrientationDidChange();
    platform::Rect boxRect() const;

    mutable std::mutex m_mutex; // guards the observed properties below, up to m_activityIndicatorColor
    POProgressHUDMode m_mode = POProgressHUDMode::Indeterminate;
    std::shared_ptr<platform::View> m_customView;
    std::optional<std::string> m_labelText;
    platform::Font m_labelFont = platform::Font::system(16, { .bold = true });
    platform::Color m_labelColor = platform::Color::white();
    std::optional<std::string> m_detailsLabelText;
    platform::Font m_detailsLabelFont = platform::Font::system(12, { .bold = true });
    platform::Color m_detailsLabelColor = platform::Color::white();
    float m_progress = 0;
    platform::Color m_activityIndicatorColor = platform::Color::white();

    POProgressHUDAnimation m_animationType = POProgressHUDAnimation::Fade;
    std::optional<platform::Color> m_color;
    float m_opacity = 0.8f;
    float m_cornerRadius = 10;
    float m_margin = 20;
    float m_xOffset = 0;
    float m_yOffset = 0;
    platform::Size m_minSize;
    bool m_square = false;
    bool m_dimBackground = false;
    double m_graceTime = 0;
    double m_minShowTime = 0;
    bool m_removeFromSuperViewOnHide = false;
    std::atomic<bool> m_taskInProgress = false;
    std::weak_ptr<POProgressHUDDelegate> m_delegate;
    Block m_completionBlock;
    platform::Size m_size;

    std::shared_ptr<platform::Label> m_label;
    std::shared_ptr<platform::Label> m_detailsLabel;
    std::shared_ptr<platform::View> m_indicator;
    bool m_useAnimation = false;
    std::optional<platform::TimePoint> m_showStarted;
    bool m_finished = false;
    platform::AffineTransform m_rotationTransform;
    // Raised by every show; a hide animation finishes only when no show began since it started.
    std::uint64_t m_showGeneration = 0;
    platform::Timer m_graceTimer;
    platform::Timer m_minShowTimer;
    platform::Timer m_delayedHideTimer;
    platform::ObserverToken m_orientationObserver;
};

} // namespace morvix
