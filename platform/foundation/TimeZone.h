#pragma once
// A time zone by its IANA id, answered by ICU.

#include "platform/foundation/Date.h"
#include "platform/foundation/Locale.h"

#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

/// A time zone named by its IANA id ("Europe/Zurich"). ICU's data answers its offsets and
/// names. `current()` is the device's (`DeviceInfo::timeZone`, the host's zone when that is
/// empty), read anew on every call. Plain value; any thread.
class TimeZone {
public:
    /// "UTC".
    TimeZone() : m_identifier("UTC") { }
    /// The zone of this id, or nothing when ICU does not know the id.
    static std::optional<TimeZone> withIdentifier(const std::string& identifier);
    /// The device's zone; "UTC" when neither the device nor the host names a known one.
    static TimeZone current();
    /// ICU's canonical location zones (the ids of places, not of offsets or aliases), in ICU's order.
    static std::vector<std::string> knownIdentifiers();

    const std::string& identifier() const { return m_identifier; }
    /// The offset from UTC at `date`, daylight saving included, in seconds.
    int secondsFromGMT(Date date) const;
    /// The zone's short name at `date` in `locale` (the date format "z": "CET", "GMT+1").
    std::string abbreviation(Date date, const Locale& locale) const;

    bool operator==(const TimeZone&) const = default;

private:
    explicit TimeZone(std::string identifier) : m_identifier(std::move(identifier)) { }
    std::string m_identifier;
};

} // namespace morvix::platform
