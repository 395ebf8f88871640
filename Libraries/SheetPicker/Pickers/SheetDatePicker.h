#pragma once
// The platform's date picker under the sheet pickers' toolbar.

#include "Libraries/SheetPicker/AbstractSheetPicker.h"
#include "platform/foundation/Calendar.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"
#include "platform/ui/pickers/DatePicker.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix {

/// A date picker in a sheet. `selectedDate` starts at the opening date and changes only when
/// the wheels send value-changed, so Done without a spin hands back exactly the opening date.
/// Done calls the success action with (date, origin) when the target responds, and does
/// nothing otherwise (no log). A custom button's value is a date in milliseconds since 1970
/// (as `Date` counts): the wheels turn to it, animated, and it becomes the selected date.
/// The limits, minute interval, calendar, zone and locale left unset are the wheels' defaults
/// (minute interval 1; the device's calendar, zone and locale). Main thread only.
class SheetDatePicker final : public AbstractSheetPicker {
public:
    using SuccessAction = SheetPickerAction<platform::Date, const SheetPickerOrigin&>;

    static std::shared_ptr<SheetDatePicker> create(std::optional<std::string> title, platform::DatePickerMode mode, platform::Date selectedDate,
        SheetPickerTarget target, SuccessAction action, SheetPickerOrigin origin, CancelAction cancelAction = {});
    /// Creates, shows and returns the picker.
    static std::shared_ptr<SheetDatePicker> show(std::optional<std::string> title, platform::DatePickerMode mode, platform::Date selectedDate,
        SheetPickerTarget target, SuccessAction action, SheetPickerOrigin origin);

    platform::Date selectedDate() const { return m_selectedDate; }
    platform::DatePickerMode datePickerMode() const { return m_mode; }
    void setDatePickerMode(platform::DatePickerMode mode) { m_mode = mode; }
    void setMinimumDate(std::optional<platform::Date> date) { m_minimumDate = date; }
    void setMaximumDate(std::optional<platform::Date> date) { m_maximumDate = date; }
    void setMinuteInterval(int interval) { m_minuteInterval = interval; }
    void setCalendar(std::optional<platform::Calendar> calendar) { m_calendar = std::move(calendar); }
    void setTimeZone(std::optional<platform::TimeZone> timeZone) { m_timeZone = std::move(timeZone); }
    void setLocale(std::optional<platform::Locale> locale) { m_locale = std::move(locale); }

    /// Value-changed of the wheels: takes over their date.
    void eventForDatePicker(platform::Control& sender);

protected:
    std::shared_ptr<platform::View> configuredPickerView() override;
    void notifyTargetDidSucceed(const SheetPickerOrigin& origin) override;
    void customButtonPressed(int index) override;

private:
    SheetDatePicker(std::optional<std::string> title, platform::DatePickerMode mode, platform::Date selectedDate, SheetPickerTarget target,
        SuccessAction action, CancelAction cancelAction, SheetPickerOrigin origin);

    platform::Date m_selectedDate;
    platform::DatePickerMode m_mode;
    std::optional<platform::Date> m_minimumDate;
    std::optional<platform::Date> m_maximumDate;
    int m_minuteInterval = 0;
    std::optional<platform::Calendar> m_calendar;
    std::optional<platform::TimeZone> m_timeZone;
    std::optional<platform::Locale> m_locale;
    SuccessAction m_successAction;
};

} // namespace morvix
