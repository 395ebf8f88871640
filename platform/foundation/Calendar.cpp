#include "platform/foundation/Calendar.h"

#include <unicode/ucal.h>

namespace morvix::platform {

namespace {

template <typename Pointer>
UCalendar* asCalendar(const Pointer& calendar)
{
    return static_cast<UCalendar*>(calendar.get());
}

UCalendarDateFields icuField(CalendarField field)
{
    switch (field) {
    case CalendarField::Era:
        return UCAL_ERA;
    case CalendarField::Year:
        return UCAL_YEAR;
    case CalendarField::ExtendedYear:
        return UCAL_EXTENDED_YEAR;
    case CalendarField::Month:
        return UCAL_MONTH;
    case CalendarField::Day:
        return UCAL_DATE;
    case CalendarField::Hour:
        return UCAL_HOUR_OF_DAY;
    case CalendarField::Minute:
        return UCAL_MINUTE;
    case CalendarField::Second:
        return UCAL_SECOND;
    case CalendarField::Millisecond:
        return UCAL_MILLISECOND;
    }
    return UCAL_YEAR;
}

} // namespace

void Calendar::Closer::operator()(void* calendar) const
{
    ucal_close(static_cast<UCalendar*>(calendar));
}

Calendar::Calendar(const TimeZone& timeZone, const Locale& locale)
    : m_timeZone(timeZone)
    , m_locale(locale)
{
    std::u16string zone = Locale::utf16(m_timeZone.identifier());
    UErrorCode status = U_ZERO_ERROR;
    m_calendar.reset(ucal_open(zone.data(), static_cast<int32_t>(zone.size()), m_locale.identifier().c_str(), UCAL_GREGORIAN, &status));
    if (U_FAILURE(status) || !m_calendar) {
        // An unknown locale still gives a calendar; only exhausted memory lands here.
        status = U_ZERO_ERROR;
        m_calendar.reset(ucal_open(u"UTC", 3, "en_US_POSIX", UCAL_GREGORIAN, &status));
    }
    ucal_setAttribute(asCalendar(m_calendar), UCAL_LENIENT, 1);
    ucal_clear(asCalendar(m_calendar));
}

Calendar Calendar::current()
{
    return Calendar(TimeZone::current(), Locale::current());
}

Calendar::Calendar(const Calendar& other)
    : m_timeZone(other.m_timeZone)
    , m_locale(other.m_locale)
{
    UErrorCode status = U_ZERO_ERROR;
    m_calendar.reset(ucal_clone(asCalendar(other.m_calendar), &status));
}

Calendar& Calendar::operator=(const Calendar& other)
{
    if (this != &other)
        *this = Calendar(other);
    return *this;
}

Calendar::~Calendar() = default;

void Calendar::clear()
{
    ucal_clear(asCalendar(m_calendar));
}

void Calendar::set(CalendarField field, int value)
{
    ucal_set(asCalendar(m_calendar), icuField(field), value);
}

int Calendar::get(CalendarField field) const
{
    UErrorCode status = U_ZERO_ERROR;
    // Reading computes the fields, which ICU does in place: the calendar is logically unchanged.
    int value = ucal_get(asCalendar(m_calendar), icuField(field), &status);
    return U_SUCCESS(status) ? value : 0;
}

Date Calendar::date() const
{
    UErrorCode status = U_ZERO_ERROR;
    UDate millis = ucal_getMillis(asCalendar(m_calendar), &status);
    return Date(U_SUCCESS(status) ? millis : 0);
}

void Calendar::setDate(Date date)
{
    UErrorCode status = U_ZERO_ERROR;
    ucal_setMillis(asCalendar(m_calendar), date.millisecondsSince1970(), &status);
}

} // namespace morvix::platform
