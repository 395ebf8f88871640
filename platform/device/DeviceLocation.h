#pragma once
// Whether the device may report its location, and the source of every position it reports.

#include "platform/device/Location.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

class LocationManager;

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
/// device never claims what nobody provided, and positions, failures and the heading come only
/// from `deliver`, `fail` and `setHeading`.
///
/// Rules:
///  1. A manager is listed from its `startUpdatingLocation` until its `stopUpdatingLocation` or
///     its destruction, in the order managers started.
///  2. `deliver` and `fail` reach the managers listed when they are called (a snapshot), so a
///     delegate may stop its own manager or start another during the call.
/// The flags and the heading: any thread. The managers and the drivers: main thread.
class DeviceLocation final {
public:
    DeviceLocation() = delete;

    static bool locationServicesEnabled();
    static void setLocationServicesEnabled(bool enabled);
    static LocationAuthorizationStatus authorizationStatus();
    static void setAuthorizationStatus(LocationAuthorizationStatus status);

    /// The managers updating their location now (rule 1).
    static std::vector<std::shared_ptr<LocationManager>> updatingManagers();
    /// Hands `location` to every updating manager (rule 2).
    static void deliver(const Location& location);
    /// Hands an error of the location domain to every updating manager: `code` 0 is "location
    /// unknown", 1 "denied"; `description` is the error's description.
    static void fail(long code, std::string description);
    /// The device's true heading in degrees; none (the default) for a device without a compass.
    static std::optional<double> heading();
    static void setHeading(std::optional<double> degrees);

    /// Services off, authorisation not determined, no heading, no managers listed.
    static void resetForTesting();

private:
    friend class LocationManager;
    static void addUpdatingManager(const std::shared_ptr<LocationManager>& manager);
    static void removeUpdatingManager(const LocationManager& manager);
};

} // namespace morvix::platform
