#pragma once
// A locale by its identifier, for ICU's calendars and formatters.

#include <string>
#include <string_view>

namespace morvix::platform {

/// A locale named by an identifier such as "en_US" or "de_CH" (ICU's form). `current()` is the
/// device's (`DeviceInfo::localeIdentifier`), read anew on every call; calendars and formatters
/// always take a locale explicitly, never ICU's process default. Plain value; any thread.
class Locale {
public:
    /// "en_US_POSIX", the fixed locale for formats that must not vary.
    Locale() : Locale("en_US_POSIX") { }
    explicit Locale(std::string identifier);
    /// Posted on the default notification centre, without object or user info, when
    /// `setCurrent` changed the device's locale.
    static constexpr const char* kCurrentLocaleDidChangeNotification = "NSCurrentLocaleDidChangeNotification";

    /// The device's locale.
    static Locale current();
    /// Makes `identifier` the device's locale (`DeviceInfo::localeIdentifier`) and posts
    /// kCurrentLocaleDidChangeNotification when it changed. Any thread; observers run on it.
    static void setCurrent(const std::string& identifier);

    /// The identifier as given.
    const std::string& identifier() const { return m_identifier; }
    /// The ISO language code ("en"); empty when the identifier has none.
    std::string languageCode() const;
    /// The ISO country code ("US"); empty when the identifier has none.
    std::string countryCode() const;

    bool operator==(const Locale&) const = default;

    /// UTF-8 to UTF-16 and back, for the ICU wrappers of this folder. Invalid sequences become
    /// U+FFFD.
    static std::u16string utf16(std::string_view text);
    static std::string utf8(std::u16string_view text);

private:
    std::string m_identifier;
};

} // namespace morvix::platform
