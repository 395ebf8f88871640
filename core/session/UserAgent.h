#pragma once
// The "User-Agent" and "Accept-Language" values of every session request.

#include <string>
#include <string_view>

namespace morvix {

/// Builds the two header values the session sends with every request, once per process:
///
///   value   "com.zerivoquastel.morvix.ios/2.0.0 (<app id>/<app version>); (<model>; <system name> <system version>)"
///   locale  "<language>-<country>", e.g. "de-ch"; the language alone when the locale has no country
///
/// The application facts come from the bundle info (empty when absent), the device facts and
/// the languages from `platform::DeviceInfo`. Any thread; the first computation of each value
/// is serialised.
class UserAgent final {
public:
    static constexpr std::string_view kLibraryId = "com.zerivoquastel.morvix.ios";
    static constexpr std::string_view kLibraryVersion = "2.0.0";

    UserAgent() = delete;

    static std::string value();
    static std::string locale();

    /// Forgets both cached values, so that the next call computes them again.
    static void resetForTesting();
};

} // namespace morvix
