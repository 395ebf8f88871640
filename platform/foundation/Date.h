#pragma once
// A moment in calendar time, as ICU counts it.

#include "platform/foundation/Clock.h"

#include <compare>

namespace morvix::platform {

/// A moment of calendar time: milliseconds since 1970-01-01 00:00:00 UTC as a double, which is
/// ICU's `UDate`, so a date goes to and from calendars and formatters unchanged. Fractions of a
/// millisecond are kept. Plain value; any thread.
class Date {
public:
    constexpr Date() = default;
    constexpr explicit Date(double millisecondsSince1970) : m_milliseconds(millisecondsSince1970) { }
    static constexpr Date fromSeconds(double secondsSince1970) { return Date(secondsSince1970 * 1000); }
    static Date fromWallTime(WallTime time);

    /// The current clock's wall time (`Clock::date`): the system's, or a manual clock's date.
    static Date now();

    constexpr double millisecondsSince1970() const { return m_milliseconds; }
    constexpr double secondsSince1970() const { return m_milliseconds / 1000; }
    /// This date moved on by `seconds` (back for a negative number).
    constexpr Date addingSeconds(double seconds) const { return Date(m_milliseconds + seconds * 1000); }

    constexpr auto operator<=>(const Date&) const = default;

private:
    double m_milliseconds = 0;
};

} // namespace morvix::platform
