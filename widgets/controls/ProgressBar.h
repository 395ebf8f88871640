#pragma once
// "zub.widgets.ProgressBar": a progress fraction on a bar, or a spinner.

#include "widgets/foundation/Control.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class DelegatingView;

namespace platform {
class ActivityIndicatorView;
class ProgressView;
}

/// A bar showing "selection" between "minimum" and "maximum" (32-bit integers, 0 to 100 at
/// first), or, with the create style "INDETERMINATE", a white spinner that does not hide when
/// stopped. "VERTICAL" turns the bar a quarter turn counter-clockwise inside the widget's area,
/// which stays upright: the bar runs up the middle of the area's whole height and fills from the
/// bottom (its natural width is the bar's thickness, it has no natural height); a spinner does
/// not turn. Kind and orientation are fixed at creation; the widget has exactly one of bar and
/// spinner, and every property leaves the missing one alone. It reports nothing.
///
/// "state": "error" stops the spinner at alpha 0.5, "paused" stops it at alpha 1, any other word
/// acts as "normal" and runs it (alpha 1) while the widget is enabled. The bar ignores it.
/// Main thread only.
class ProgressBar : public RemoteClass<ProgressBar, Control>, public ViewDelegate::IntrinsicSize {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.ProgressBar";

    /// Builds the bar or the spinner from the create's "style", turns a "VERTICAL" one, then
    /// applies the default foreground; the properties follow as a set.
    static std::shared_ptr<BasicObject> create(const std::string& id, const platform::Value* properties,
        std::shared_ptr<ClientContext> client);
    static const PropertyTable& properties();
    /// The style words read at creation.
    static const WireTable& wire();
    /// `Control`'s names, then "selection", "maximum", "minimum".
    static const PropertyNames& remoteObjectProperties();

    ProgressBar(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~ProgressBar() override;

    std::shared_ptr<platform::View> view() const override;
    /// Null for a spinner.
    const std::shared_ptr<platform::ProgressView>& progressView() const { return m_progress; }
    /// Null for a bar.
    const std::shared_ptr<platform::ActivityIndicatorView>& spinner() const { return m_spinner; }

    std::int32_t selection() const { return m_current; }
    void setSelection(std::optional<platform::Value> selection);
    std::int32_t maximum() const { return m_maximum; }
    void setMaximum(std::optional<platform::Value> maximum);
    std::int32_t minimum() const { return m_minimum; }
    void setMinimum(std::optional<platform::Value> minimum);
    const std::string& state() const { return m_state; }
    void setState(std::optional<std::string> state);

    /// The base's fade, then the spinner runs only while enabled in the normal state.
    void setEnabled(bool enabled) override;
    /// The bar's progress tint, or the spinner's colour (black when null).
    void setForeground(std::optional<platform::Color> color) override;
    /// The bar's track tint; a spinner ignores it.
    void setBackground(std::optional<platform::Color> color) override;
    /// The bar's track tint; null for a spinner.
    std::optional<platform::Color> trackColor() const;

    // ViewDelegate::IntrinsicSize
    /// The spinner's natural size, else the bar's (turned for a vertical one).
    platform::Size intrinsicContentSize() override;
    // ViewDelegate::SizeChanged
    /// Places a vertical bar along the area's new height, then the base's.
    void sizeChanged(platform::Size size) override;

protected:
    void didConstruct() override;

private:
    void setupProgress();
    void setupIndeterminate();
    void updateBar();
    void placeVerticalBar();
    bool isNormalState() const { return m_state != "error" && m_state != "paused"; }

    std::shared_ptr<DelegatingView> m_area;
    std::shared_ptr<platform::ProgressView> m_progress;
    std::shared_ptr<platform::ActivityIndicatorView> m_spinner;
    bool m_vertical = false;
    std::int32_t m_minimum = 0;
    std::int32_t m_maximum = 100;
    std::int32_t m_current = 0;
    std::string m_state = "normal";
    std::optional<platform::Color> m_defaultForeground;
    std::optional<platform::Color> m_defaultBackground;
};

} // namespace morvix
