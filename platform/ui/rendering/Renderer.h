#pragma once
// Pictures of the view tree: a window or view drawn into an image or a PNG file.

#include "platform/foundation/Clock.h"
#include "platform/graphics/Color.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

class GraphicsContext;
class Image;
class View;

/// What a picture of the view tree is made with.
struct RenderOptions {
    /// Pixels per point.
    double scale = 1;
    /// The moment whose animation state is drawn; the clock's current time when not given.
    std::optional<TimePoint> time {};
    /// Painted under everything, for pictures meant for people (a transparent PNG is hard
    /// to read in most viewers); none keeps the background transparent.
    std::optional<Color> backdrop {};
};

/// Draws a view and its subtree with cairo as the screen would show it at a moment: for each
/// visible view its shadow, background (colour or pattern), layer contents, custom drawing,
/// subviews and border, through its transform, alpha, rounded clip and layer mask, using the
/// presentation values of running animations at that moment. Stateless; main thread only
/// (it reads views).
///
/// Drawing order per view:
/// 1. Views that are hidden or have a presentation alpha below 0.01 are skipped with their
///    subtree; so is a view whose mask layer has no contents (nothing shows through it).
/// 2. The view's transform turns around its anchor point; alpha and mask apply to the view and
///    its subtree as one layer.
/// 3. Shadow (none when the view clips), then (inside the rounded clip when the view clips)
///    background, contents, `draw`, subviews in order; the border comes last, above the
///    subviews.
/// 4. `draw` gets a context of its own: the default drawing state (black, lines 1 point wide),
///    clipped to the bounds whether or not the view clips its subviews (but for an ImageView,
///    whose picture reaches past them unless the view clips); saves and restores it leaves
///    unbalanced stay inside it.
///
/// Usage, for a picture a person can look at:
///     bool written = Renderer::renderPNG(*window, "out/case.png", { .scale = 2, .backdrop = Color::white() });
///     Renderer::renderFilmStrip(*view, { start, start + 150ms, start + 300ms })->writePNG(path);
class Renderer final {
public:
    using Options = RenderOptions;

    /// A picture of `view`'s bounds at the view's own origin: its transform and position in its
    /// superview do not apply, its alpha and everything inside does. Null when the bounds are
    /// empty or too big for an image.
    static std::shared_ptr<Image> render(View& view, const Options& options = {});
    /// The same picture, written as a PNG file. False when it cannot be made or written.
    [[nodiscard]] static bool renderPNG(View& view, const std::string& path, const Options& options = {});
    /// The application's key window after a layout pass, written as a PNG file: what the
    /// command-line client's `--png FILE` writes once a session has gone idle. Every other
    /// visible window is drawn too, in level order (`Application::visibleWindowsInLevelOrder`),
    /// the key window under them when it is not visible itself; the picture is the key
    /// window's frame. Alerts and action sheets on show are drawn over it all, as cards that
    /// keep within the window: a title, message or button title too long for its room is cut
    /// after the lines that fit, the last ending with "…". False when there is no key window or
    /// the picture cannot be made or written. This name and signature are kept stable for that
    /// client.
    [[nodiscard]] static bool renderKeyWindowPNG(const std::string& path, const Options& options = {});
    /// Pictures of the view at several moments side by side, left to right, 4 points apart
    /// (the gap in the backdrop colour); for looking at an animation. Null without moments.
    static std::shared_ptr<Image> renderFilmStrip(View& view, const std::vector<TimePoint>& times, const Options& options = {});

    /// Draws `view` (as a subview would be drawn) into `context`, whose user space is the
    /// coordinate space of the view's superview bounds.
    static void drawView(View& view, GraphicsContext& context, TimePoint time);

    Renderer() = delete;
};

} // namespace morvix::platform
