#include "platform/foundation/DateFormatter.h"

#include "platform/foundation/Calendar.h"

#include <unicode/udat.h>

namespace morvix::platform {

namespace {

UDateFormatStyle icuStyle(DateFormatStyle style)
{
    switch (style) {
    case DateFormatStyle::None:
        return UDAT_NONE;
    case DateFormatStyle::Short:
        return UDAT_SHORT;
    case DateFormatStyle::Medium:
        return UDAT_MEDIUM;
    case DateFormatStyle::Long:
        return UDAT_LONG;
    case DateFormatStyle::Full:
        return UDAT_FULL;
    }
    return UDAT_NONE;
}

UDateFormat* open(UDateFormatStyle time, UDateFormatStyle date, const Locale& locale, const TimeZone& timeZone, std::u16string_view pattern)
{
    std::u16string zone = Locale::utf16(timeZone.identifier());
    UErrorCode status = U_ZERO_ERROR;
    UDateFormat* format = udat_open(time, date, locale.identifier().c_str(), zone.data(), static_cast<int32_t>(zone.size()),
        pattern.empty() ? nullptr : pattern.data(), static_cast<int32_t>(pattern.size()), &status);
    if (U_FAILURE(status)) {
        udat_close(format);
        return nullptr;
    }
    return format;
}

} // namespace

DateFormatter::DateFormatter(void* format)
    : m_format(format, [](void* format) { udat_close(static_cast<UDateFormat*>(format)); })
{
}

DateFormatter DateFormatter::withStyles(DateFormatStyle dateStyle, DateFormatStyle timeStyle, const Locale& locale, const TimeZone& timeZone)
{
    return DateFormatter(open(icuStyle(timeStyle), icuStyle(dateStyle), locale, timeZone, {}));
}

DateFormatter DateFormatter::withPattern(std::string_view pattern, const Locale& locale, const TimeZone& timeZone)
{
    std::u16string text = Locale::utf16(pattern);
    // An empty pattern is still a pattern (of no fields), not a request for the default styles.
    if (text.empty())
        text = u"''";
    return DateFormatter(open(UDAT_PATTERN, UDAT_PATTERN, locale, timeZone, text));
}

std::string DateFormatter::quotedLiteral(std::string_view text)
{
    // ICU reads two quotes as one literal quote wherever they stand, so quotes that open the
    // text are written as such pairs ahead of the quoted rest: a quoted text that began with a
    // quote would be misread.
    std::string quoted;
    std::size_t start = 0;
    for (; start < text.size() && text[start] == '\''; ++start)
        quoted += "''";
    if (start == text.size())
        return quoted.empty() ? "''" : quoted;
    quoted += '\'';
    for (char c : text.substr(start)) {
        quoted += c;
        if (c == '\'')
            quoted += '\'';
    }
    return quoted + "'";
}

void DateFormatter::setCalendar(const Calendar& calendar)
{
    if (m_format)
        udat_setCalendar(static_cast<UDateFormat*>(m_format.get()), static_cast<const UCalendar*>(calendar.icuCalendar()));
}

std::string DateFormatter::string(Date date) const
{
    if (!m_format)
        return {};
    UChar buffer[256] = {};
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = udat_format(static_cast<UDateFormat*>(m_format.get()), date.millisecondsSince1970(), buffer, 256, nullptr, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        std::u16string large(static_cast<std::size_t>(length), u'\0');
        status = U_ZERO_ERROR;
        length = udat_format(static_cast<UDateFormat*>(m_format.get()), date.millisecondsSince1970(), reinterpret_cast<UChar*>(large.data()), length, nullptr, &status);
        return U_SUCCESS(status) ? Locale::utf8(large) : std::string();
    }
    if (U_FAILURE(status))
        return {};
    return Locale::utf8(std::u16string_view(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(length)));
}

} // namespace morvix::platform
