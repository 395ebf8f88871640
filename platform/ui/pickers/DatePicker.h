#pragma once
// Wheels for a date, a time or both.

#include "platform/foundation/Calendar.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"
#include "platform/ui/Control.h"

#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {

/// What a date picker's wheels show, by the platform's numbers.
enum class DatePickerMode { Time = 0, Date = 1, DateAndTime = 2 };

/// Picks a date with wheels. `setDate` from code sends nothing; `turnTo` plays a user's spin
/// and sends `ValueChanged`. Optional limits keep a spin inside them; the minute interval is 1
/// unless it is given a value from 1 to 30 that divides 60 (anything else, 0 included, gives
/// 1). Without a calendar, zone or locale of its own the picker shows the device's (read when
/// drawn). Drawn as its date formatted for the mode. Main thread only.
class DatePicker : public Control {
public:
    static constexpr double kDefaultHeight = 216;

    /// 320 by 216 points when `frame` is empty; its date is `Date::now()`.
    static std::shared_ptr<DatePicker> create(const Rect& frame = {});
    const char* className() const override { return "DatePicker"; }

    DatePickerMode mode() const { return m_mode; }
    void setMode(DatePickerMode mode);
    Date date() const { return m_date; }
    void setDate(Date date, Animated animated = Animated::No);
    std::optional<Date> minimumDate() const { return m_minimumDate; }
    void setMinimumDate(std::optional<Date> date) { m_minimumDate = date; }
    std::optional<Date> maximumDate() const { return m_maximumDate; }
    void setMaximumDate(std::optional<Date> date) { m_maximumDate = date; }
    int minuteInterval() const { return m_minuteInterval; }
    void setMinuteInterval(int interval);
    const std::optional<Calendar>& calendar() const { return m_calendar; }
    void setCalendar(std::optional<Calendar> calendar) { m_calendar = std::move(calendar); }
    const std::optional<TimeZone>& timeZone() const { return m_timeZone; }
    void setTimeZone(std::optional<TimeZone> timeZone) { m_timeZone = std::move(timeZone); }
    const std::optional<Locale>& locale() const { return m_locale; }
    void setLocale(std::optional<Locale> locale) { m_locale = std::move(locale); }

    /// The date as the wheels show it: the time (short style), the date (medium style) or both.
    std::string displayText() const;

    /// Test driver: a user's spin to `date`, clamped to the limits; sets the date and sends
    /// `ValueChanged`.
    void turnTo(Date date);

    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit DatePicker(const Rect& frame);

private:
    DatePickerMode m_mode = DatePickerMode::DateAndTime;
    Date m_date;
    std::optional<Date> m_minimumDate;
    std::optional<Date> m_maximumDate;
    int m_minuteInterval = 1;
    std::optional<Calendar> m_calendar;
    std::optional<TimeZone> m_timeZone;
    std::optional<Locale> m_locale;
};

} // namespace morvix::platform
