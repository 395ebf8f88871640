#pragma once
// "zub.widgets.DateTime": a date or a time of day, picked on date wheels.

#include "platform/foundation/Date.h"
#include "platform/foundation/NotificationCenter.h"
#include "widgets/controls/ComboImageRenderer.h"
#include "widgets/foundation/Control.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace morvix {

class DelegatingButton;
class SheetDatePicker;

namespace platform {
class Calendar;
}

/// The combo box's three-dot button (`Combo::initializeButton`) titled with a date built from
/// "year", "month" (0-based), "day", "hours", "minutes" and "seconds" in the device's calendar,
/// zone and locale. Fields never set stay unset, and the calendar fills them with its cleared
/// values (1970-01-01 00:00:00 in the device's zone); fields out of range roll over.
///
/// The title: with style "DATE" (which wins over "TIME") "MM<sep>dd<sep>yyyy" when
/// "datePattern" is exactly "MDY", else "dd<sep>MM<sep>yyyy", the separator ("/" at first)
/// taken literally; with "TIME" "HH:mm"; otherwise the short, "MEDIUM" or "LONG" date and time
/// styles. Every field, the pattern, the separator and the style re-render it. A title wider
/// than the field is cut at its end with "…".
///
/// A tap opens a `SheetDatePicker` on the widget's date (date wheels for "DATE", time wheels for
/// "TIME", both otherwise). Done renders the picked date, reads the fields back from the
/// calendar that built it, and reports "day", "month", "year" ("DATE") or "hours", "minutes",
/// "seconds" ("TIME") in one message, with "Selection" or "DefaultSelection" (empty attributes)
/// when listened, else scheduled; with neither style nothing is reported. Cancel, `close` (on
/// every device-orientation change and on `destroy`) and a tap outside a pad's popover report
/// nothing.
///
/// Thread: main thread only; `m_mutex` guards the fields, the pattern and the separator, and
/// the title is rendered after it is released.
class DateTime : public RemoteClass<DateTime, Control> {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.DateTime";

    static const PropertyTable& properties();
    /// The style words, the events of a pick and the fields it reports.
    static const WireTable& wire();
    /// `Control`'s names, then "enabled", "toolTip", "font", the six fields, "dateSeparator",
    /// "datePattern".
    static const PropertyNames& remoteObjectProperties();

    DateTime(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~DateTime() override;

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingButton>& button() const { return m_button; }
    /// The picker opened last; kept until the next one replaces it.
    const std::shared_ptr<SheetDatePicker>& actionSheetPicker() const { return m_picker; }

    /// The six fields, in this order.
    enum class Field { Year, Month, Day, Hours, Minutes, Seconds };
    std::optional<int> field(Field field) const;
    /// Stores the field (null unsets it) and re-renders the title.
    void setField(Field field, std::optional<platform::Value> value);
    std::string datePattern() const;
    void setDatePattern(std::optional<std::string> pattern);
    std::string dateSeparator() const;
    void setDateSeparator(std::optional<std::string> separator);
    const std::optional<std::string>& toolTip() const { return m_toolTip; }
    void setToolTip(std::optional<std::string> toolTip) { m_toolTip = std::move(toolTip); }
    /// The title shown.
    std::string text() const;

    void setStyle(std::optional<platform::Value> style) override;
    void setEnabled(bool enabled) override;
    bool buttonEnabled() const;
    void setForeground(std::optional<platform::Color> color) override;
    /// White for null; `internalBackground` still reads null then.
    void setBackground(std::optional<platform::Color> color) override;
    /// The background last given by the peer, what "background" reads.
    const std::optional<platform::Color>& internalBackground() const { return m_internalBackground; }
    void setFont(std::optional<platform::Font> font) override;
    platform::Font currentFont() const;

    /// The date the fields make in the device's calendar.
    platform::Date currentDate() const;
    /// Opens the date picker on the current date.
    void buttonUp();
    /// Done's action: renders `date`, takes its fields and reports them.
    void dateChanged(platform::Date date);
    /// Dismisses an open picker without reporting.
    void close();
    void destroy() override;

protected:
    void didConstruct() override;

private:
    void configureDateCombo(platform::Date date);
    void sendSelection();

    std::shared_ptr<DelegatingButton> m_button;
    ComboImageRenderer m_imageRenderer;
    mutable std::mutex m_mutex; // guards m_fields, m_datePattern and m_dateSeparator
    std::optional<int> m_fields[6];
    std::string m_datePattern = "MDY";
    std::string m_dateSeparator = "/";
    std::optional<std::string> m_toolTip;
    std::optional<platform::Color> m_internalBackground;
    std::shared_ptr<SheetDatePicker> m_picker;
    platform::ObserverToken m_rotationObserver;
};

} // namespace morvix
