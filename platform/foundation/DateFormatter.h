#pragma once
// Dates as text by ICU: a date and time style or an explicit pattern.

#include "platform/foundation/Date.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"

#include <memory>
#include <string>
#include <string_view>

namespace morvix::platform {

class Calendar;

/// How much of a date or a time a style shows; `None` leaves that part out.
enum class DateFormatStyle { None, Short, Medium, Long, Full };

/// Writes dates as text with ICU, in an explicit locale and zone (never ICU's process
/// default): by a date style and a time style ("12/31/24, 9:05 AM" for short ones in "en_US"),
/// or by an ICU pattern ("dd.MM.yyyy"). Copies share the formatter. Not thread-safe: one thread
/// at a time.
class DateFormatter {
public:
    static DateFormatter withStyles(DateFormatStyle dateStyle, DateFormatStyle timeStyle, const Locale& locale, const TimeZone& timeZone);
    static DateFormatter withPattern(std::string_view pattern, const Locale& locale, const TimeZone& timeZone);
    /// `text` as a pattern literal: in single quotes with a quote inside doubled ("it's" gives
    /// "'it''s'"); quotes at its start stand as pairs ahead of the quotes ("'" gives "''").
    static std::string quotedLiteral(std::string_view text);

    /// Formats with `calendar`'s rules (and zone) from now on.
    void setCalendar(const Calendar& calendar);
    /// `date` as text; empty when the formatter could not be made.
    std::string string(Date date) const;

private:
    explicit DateFormatter(void* format);
    std::shared_ptr<void> m_format; // a UDateFormat
};

} // namespace morvix::platform
