#pragma once
// A spinning wheel that says work is going on.

#include "platform/ui/View.h"

#include <memory>
#include <optional>

namespace morvix::platform {

/// The wheel's look, by the platform's numbers: large and white, white, or grey.
enum class ActivityIndicatorStyle { WhiteLarge = 0, White = 1, Gray = 2 };

/// Spins while animating; while stopped it is hidden when `hidesWhenStopped` (the default) and
/// shown still otherwise. It starts stopped. The headless platform draws the wheel as twelve
/// spokes fading round the circle in `color` (the style's colour when null: white for the white
/// styles, grey for the grey one); it does not turn them. The natural size is 37 points square
/// for the large style and 20 for the others. Made with the grey style unless told otherwise.
/// Main thread only.
class ActivityIndicatorView : public View {
public:
    static constexpr double kSize = 20;
    static constexpr double kLargeSize = 37;

    static std::shared_ptr<ActivityIndicatorView> create(const Rect& frame = {},
        ActivityIndicatorStyle style = ActivityIndicatorStyle::Gray);
    const char* className() const override { return "ActivityIndicatorView"; }

    /// Shows the view and starts the wheel; does nothing when already animating.
    void startAnimating();
    /// Stops the wheel and hides the view when `hidesWhenStopped`; does nothing when already
    /// stopped.
    void stopAnimating();
    bool isAnimating() const { return m_animating; }

    bool hidesWhenStopped() const { return m_hidesWhenStopped; }
    /// Hides or shows a stopped wheel at once.
    void setHidesWhenStopped(bool hides);
    ActivityIndicatorStyle style() const { return m_style; }
    void setStyle(ActivityIndicatorStyle style);
    std::optional<Color> color() const { return m_color; }
    /// Null gives the style's colour.
    void setColor(std::optional<Color> color);

    Size intrinsicContentSize() const override;
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    ActivityIndicatorView(const Rect& frame, ActivityIndicatorStyle style);

private:
    bool m_animating = false;
    bool m_hidesWhenStopped = true;
    ActivityIndicatorStyle m_style;
    std::optional<Color> m_color;
};

} // namespace morvix::platform
