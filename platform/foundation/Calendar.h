#pragma once
// ICU's Gregorian calendar: fields to a date and back, in a given zone and locale.

#include "platform/foundation/Date.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"

#include <memory>

namespace morvix::platform {

/// The fields a calendar sets and reads. `Month` is 0-based (January is 0), as on the wire;
/// `Day` is the day of the month; `Hour` the hour of the day (0 to 23).
/// `Year` is the year of its era (44 BC is 44); `ExtendedYear` counts on through a year 0
/// (1 BC is 0, 44 BC is -43), so that every year has a number of its own.
enum class CalendarField { Era, Year, ExtendedYear, Month, Day, Hour, Minute, Second, Millisecond };

/// ICU's Gregorian calendar in an explicit zone and locale (never ICU's process default), and
/// lenient: fields out of range roll over into the next ones (month 12 is January of the next
/// year; an hour that daylight saving skips becomes the hour after). A calendar made or
/// `clear`ed has every field unset; unset fields take the cleared calendar's values of
/// 1970-01-01 00:00:00.000 in the calendar's zone (the platform's own calendar would give
/// year 1 instead), so callers that need a field set it. Copying clones the calendar. Not
/// thread-safe: one thread at a time.
class Calendar {
public:
    Calendar(const TimeZone& timeZone, const Locale& locale);
    /// The device's zone and locale.
    static Calendar current();
    Calendar(const Calendar& other);
    Calendar& operator=(const Calendar& other);
    Calendar(Calendar&&) noexcept = default;
    Calendar& operator=(Calendar&&) noexcept = default;
    ~Calendar();

    const TimeZone& timeZone() const { return m_timeZone; }
    const Locale& locale() const { return m_locale; }

    /// Unsets every field.
    void clear();
    void set(CalendarField field, int value);
    /// The field of the date the calendar holds (computing it from the fields set).
    int get(CalendarField field) const;
    /// The date the fields make.
    Date date() const;
    /// Sets every field from `date`.
    void setDate(Date date);

    /// The ICU calendar (a `UCalendar*`), for the formatters of this folder.
    const void* icuCalendar() const { return m_calendar.get(); }

private:
    struct Closer {
        void operator()(void* calendar) const;
    };
    TimeZone m_timeZone;
    Locale m_locale;
    std::unique_ptr<void, Closer> m_calendar; // a UCalendar
};

} // namespace morvix::platform
