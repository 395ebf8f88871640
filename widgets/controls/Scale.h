#pragma once
// "zub.widgets.Scale": an integer value between a minimum and a maximum on a slider.

#include "widgets/foundation/Control.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>

namespace morvix {

class DelegatingSlider;

/// `number` cut to an integer of type `T`: truncated toward zero and saturated at `T`'s range,
/// so that a number too large for the field never becomes an undefined conversion. A value
/// that is not a number (or NaN) gives 0; booleans count as 0 and 1.
template<typename T>
T saturatedInteger(const std::optional<platform::Value>& number)
{
    if (!number || !(number->is_number() || number->is_boolean()))
        return 0;
    if (number->is_boolean())
        return number->get<bool>() ? 1 : 0;
    if (number->is_number_integer() && number->is_number_unsigned()) {
        auto value = number->get<std::uint64_t>();
        return value > static_cast<std::uint64_t>(std::numeric_limits<T>::max()) ? std::numeric_limits<T>::max() : static_cast<T>(value);
    }
    if (number->is_number_integer()) {
        auto value = number->get<std::int64_t>();
        if (value > static_cast<std::int64_t>(std::numeric_limits<T>::max()))
            return std::numeric_limits<T>::max();
        if (value < static_cast<std::int64_t>(std::numeric_limits<T>::min()))
            return std::numeric_limits<T>::min();
        return static_cast<T>(value);
    }
    double value = std::trunc(number->get<double>());
    if (std::isnan(value))
        return 0;
    // The bounds as doubles: T's maximum may round up to 2^63, which no T holds.
    if (value >= static_cast<double>(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    if (value <= static_cast<double>(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    return static_cast<T>(value);
}

/// The share of [minimum, maximum] that `current` has come, in single precision as the slider
/// and the progress bar show it; 0 when the range is empty. Not clamped (the views clamp).
float rangeFraction(std::int64_t current, std::int64_t minimum, std::int64_t maximum);

/// A continuous slider that keeps its own range of 0 to 1 and maps it onto the 64-bit integer
/// range "minimum" to "maximum" (0 to 100 at first) in single precision, both ways. Moving it
/// records "selection" (the slider's value mapped back and truncated toward zero) and sends
/// "Selection" {"selection"} at once when "Selection" or "DefaultSelection" is listened, else
/// schedules the change. Values from the peer move the slider and send nothing.
///
/// "enabled" sets only the slider's flag (no fade); "foreground" is the track's tint left of the
/// thumb (the slider's own at creation when null). Main thread only.
class Scale : public RemoteClass<Scale, Control> {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.Scale";

    static const PropertyTable& properties();
    /// "Selection" and the "selection" it reports.
    static const WireTable& wire();
    /// `Control`'s names, then "selection", "maximum", "minimum", "enabled".
    static const PropertyNames& remoteObjectProperties();

    Scale(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~Scale() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingSlider>& slider() const { return m_slider; }

    std::int64_t selection() const { return m_current; }
    void setSelection(std::optional<platform::Value> selection);
    std::int64_t maximum() const { return m_maximum; }
    void setMaximum(std::optional<platform::Value> maximum);
    std::int64_t minimum() const { return m_minimum; }
    void setMinimum(std::optional<platform::Value> minimum);

    void setEnabled(bool enabled) override;
    bool sliderEnabled() const;
    void setForeground(std::optional<platform::Color> color) override;
    void setBackgroundImage(std::optional<platform::Value> image) override;

    /// The slider's value-changed action: maps the value back and reports it.
    void valueChanged();

protected:
    void didConstruct() override;

private:
    /// Moves the slider to the current value's share of the range.
    void updateBar();

    std::shared_ptr<DelegatingSlider> m_slider;
    std::int64_t m_minimum = 0;
    std::int64_t m_maximum = 100;
    std::int64_t m_current = 0;
    std::optional<platform::Color> m_defaultForeground;
};

} // namespace morvix
