#pragma once
// Whether the device may report its location.

namespace morvix::platform {

/// The application's location authorisation, by the platform's numbers.
enum class LocationAuthorizationStatus {
    NotDetermined = 0,
    Restricted = 1,
    Denied = 2,
    AuthorizedAlways = 3,
    AuthorizedWhenInUse = 4,
};

/// The device's location facilities, process-wide. The headless device has no positioning
/// hardware: services are off until the embedding application (or a test) declares them, so the
/// device never claims what nobody provided. Any thread.
class DeviceLocation final {
public:
    DeviceLocation() = delete;

    static bool locationServicesEnabled();
    static void setLocationServicesEnabled(bool enabled);
    static LocationAuthorizationStatus authorizationStatus();
    static void setAuthorizationStatus(LocationAuthorizationStatus status);

    /// Services off, authorisation not determined.
    static void resetForTesting();
};

} // namespace morvix::platform
