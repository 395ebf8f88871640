#include "platform/foundation/TimeZone.h"

#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/DeviceInfo.h"

#include <unicode/ucal.h>
#include <unicode/uenum.h>

#include <memory>

namespace morvix::platform {

namespace {

std::string canonicalIdentifier(const std::string& identifier)
{
    std::u16string id = Locale::utf16(identifier);
    UChar canonical[128] = {};
    UBool isSystem = false;
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = ucal_getCanonicalTimeZoneID(id.data(), static_cast<int32_t>(id.size()), canonical, 128, &isSystem, &status);
    if (U_FAILURE(status) || !isSystem)
        return {};
    return Locale::utf8(std::u16string_view(reinterpret_cast<const char16_t*>(canonical), static_cast<std::size_t>(length)));
}

} // namespace

std::optional<TimeZone> TimeZone::withIdentifier(const std::string& identifier)
{
    if (identifier.empty() || canonicalIdentifier(identifier).empty())
        return std::nullopt;
    return TimeZone(identifier);
}

TimeZone TimeZone::current()
{
    std::string identifier = DeviceInfo::current().timeZone;
    if (identifier.empty()) {
        UChar host[128] = {};
        UErrorCode status = U_ZERO_ERROR;
        int32_t length = ucal_getHostTimeZone(host, 128, &status);
        if (U_SUCCESS(status))
            identifier = Locale::utf8(std::u16string_view(reinterpret_cast<const char16_t*>(host), static_cast<std::size_t>(length)));
    }
    return withIdentifier(identifier).value_or(TimeZone());
}

std::vector<std::string> TimeZone::knownIdentifiers()
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UEnumeration, decltype(&uenum_close)> zones(
        ucal_openTimeZoneIDEnumeration(UCAL_ZONE_TYPE_CANONICAL_LOCATION, nullptr, nullptr, &status), &uenum_close);
    std::vector<std::string> identifiers;
    if (U_FAILURE(status))
        return identifiers;
    while (true) {
        int32_t length = 0;
        const char* zone = uenum_next(zones.get(), &length, &status);
        if (U_FAILURE(status) || !zone)
            break;
        identifiers.emplace_back(zone, static_cast<std::size_t>(length));
    }
    return identifiers;
}

int TimeZone::secondsFromGMT(Date date) const
{
    std::u16string id = Locale::utf16(m_identifier);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCalendar, decltype(&ucal_close)> calendar(
        ucal_open(id.data(), static_cast<int32_t>(id.size()), "en_US_POSIX", UCAL_GREGORIAN, &status), &ucal_close);
    if (U_FAILURE(status))
        return 0;
    ucal_setMillis(calendar.get(), date.millisecondsSince1970(), &status);
    int32_t zone = ucal_get(calendar.get(), UCAL_ZONE_OFFSET, &status);
    int32_t daylight = ucal_get(calendar.get(), UCAL_DST_OFFSET, &status);
    return U_SUCCESS(status) ? (zone + daylight) / 1000 : 0;
}

std::string TimeZone::abbreviation(Date date, const Locale& locale) const
{
    return DateFormatter::withPattern("z", locale, *this).string(date);
}

} // namespace morvix::platform
