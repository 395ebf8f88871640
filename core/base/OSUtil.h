#pragma once
// Facts about the system and the embedding application.

#include <string>
#include <string_view>

namespace morvix {

/// The system version check, the device kind, and the application's identifier, versions and
/// name, read from `platform::DeviceInfo` and `platform::BundleInfo`. The application facts are
/// read once per process and kept (a missing entry gives and keeps the empty text);
/// `resetForTesting` forgets them. Any thread.
class OSUtil final {
public:
    /// The lowest system version the library runs on.
    static constexpr std::string_view kMinimalVersion = "7.1";

    OSUtil() = delete;

    /// Whether the device's system version is at least `kMinimalVersion`.
    static bool minimalRequiredVersion();
    /// The same check, under the name the session uses.
    static bool minimalRequiredOSVersion() { return minimalRequiredVersion(); }
    /// Compares the texts with runs of digits taken as numbers ("7.10" is above "7.9"); true
    /// unless `version` comes before `minimum`. A version that is `minimum` with more after it
    /// comes after it ("7.1.0" is above "7.1"), and "7.0.6" is below "7.1".
    static bool isVersion(std::string_view version, std::string_view minimum);

    /// Whether the device model starts with "iPhone".
    static bool isPhone();
    static bool isPhone(std::string_view model);

    /// The application's "CFBundleIdentifier".
    static std::string appId();
    /// The application's "CFBundleShortVersionString".
    static std::string appVersion();
    /// The application's "CFBundleVersion".
    static std::string appVersionId();
    /// The application's "CFBundleDisplayName".
    static std::string appName();

    /// Forgets the application facts read so far.
    static void resetForTesting();

    /// Less than zero, zero or more than zero as `a` comes before, equals or comes after `b`,
    /// comparing runs of digits by their numeric value.
    static int compareNumerically(std::string_view a, std::string_view b);
};

} // namespace morvix
