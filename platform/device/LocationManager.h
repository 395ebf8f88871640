#pragma once
// Location and heading updates for one user of the device's location facility.

#include "platform/device/Location.h"
#include "platform/foundation/Error.h"

#include <memory>
#include <optional>

namespace morvix::platform {

class LocationManager;

/// Hears what a location manager reports. Main thread.
class LocationManagerDelegate {
public:
    virtual ~LocationManagerDelegate() = default;
    /// A new position; `oldLocation` is the one reported before it, if any.
    virtual void didUpdateToLocation(LocationManager& manager, const Location& newLocation, const std::optional<Location>& oldLocation) = 0;
    /// A failure: the error's code is a `LocationErrorCode`.
    virtual void didFailWithError(LocationManager& manager, const Error& error) = 0;
};

/// The platform's location error codes.
enum class LocationErrorCode { LocationUnknown = 0, Denied = 1 };

/// How precise the positions a manager asks for should be.
enum class LocationAccuracy { BestForNavigation, HundredMeters };

/// Asks the device for positions and headings on behalf of one user. The headless device has
/// no receiver: a started manager is listed by `DeviceLocation`, whose `deliver`, `fail` and
/// `setHeading` (called by a test or the embedding application) are the only source of updates.
/// Nothing arrives by itself. Starting twice or stopping a stopped manager does nothing.
/// Destroying a manager stops it. Main thread.
class LocationManager final : public std::enable_shared_from_this<LocationManager> {
public:
    static constexpr const char* kErrorDomain = "kCLErrorDomain";

    static std::shared_ptr<LocationManager> create();
    ~LocationManager();
    LocationManager(const LocationManager&) = delete;
    LocationManager& operator=(const LocationManager&) = delete;

    /// Held weakly; null until set.
    std::shared_ptr<LocationManagerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<LocationManagerDelegate> delegate) { m_delegate = std::move(delegate); }
    /// Hundred metres until set.
    LocationAccuracy desiredAccuracy() const { return m_accuracy; }
    void setDesiredAccuracy(LocationAccuracy accuracy) { m_accuracy = accuracy; }

    void startUpdatingLocation();
    void stopUpdatingLocation();
    bool isUpdatingLocation() const { return m_updatingLocation; }
    void startUpdatingHeading();
    void stopUpdatingHeading();
    bool isUpdatingHeading() const { return m_updatingHeading; }
    /// The device's true heading in degrees while heading updates run; none otherwise, or when
    /// the device has none.
    std::optional<double> heading() const;
    /// The last position this manager reported; none before the first.
    const std::optional<Location>& location() const { return m_location; }

    /// What `DeviceLocation` hands to an updating manager: tells the delegate.
    void deliver(const Location& location);
    void fail(const Error& error);

private:
    LocationManager() = default;

    std::weak_ptr<LocationManagerDelegate> m_delegate;
    LocationAccuracy m_accuracy = LocationAccuracy::HundredMeters;
    bool m_updatingLocation = false;
    bool m_updatingHeading = false;
    std::optional<Location> m_location;
};

} // namespace morvix::platform
