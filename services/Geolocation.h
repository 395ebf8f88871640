#pragma once
// Positions for the peer.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "platform/device/LocationManager.h"
#include "platform/foundation/Date.h"

#include <string_view>

namespace morvix {

/// "morvix.Geolocation": switches its own location manager on and off as the peer's
/// "needsPosition" asks ("NEVER", "ONCE": one position and then "NEVER", "CONTINUOUS"), and
/// reports positions as "LocationUpdate" and failures as "LocationUpdateError", each at once
/// (no listener flag). A position older than "maximumAge" milliseconds (read as an integer; a
/// negative value accepts every position) is dropped; in continuous mode a position is reported
/// only when its time is at least "frequency" milliseconds after the previous report (after the
/// object's construction for the first one), and the report's moment becomes the new mark.
/// Failures do not stop tracking; a "highAccuracy" change restarts it. Main thread.
class Geolocation final : public RemoteClass<Geolocation>, public platform::LocationManagerDelegate {
public:
    static constexpr std::string_view kRemoteType = "morvix.Geolocation";

    Geolocation(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);

    static const PropertyTable& properties();
    /// "LocationUpdate" and "LocationUpdateError".
    static const WireTable& wire();
    static const PropertyNames& remoteObjectProperties();

    void setNeedsPosition(std::optional<std::string> mode);
    std::optional<std::string> needsPosition() const { return m_needsPosition; }
    void setHighAccuracy(bool high);
    bool highAccuracy() const { return m_highAccuracy; }
    void setMaximumAge(std::optional<platform::Value> milliseconds) { m_maximumAge = std::move(milliseconds); }
    std::optional<platform::Value> maximumAge() const { return m_maximumAge; }
    void setFrequency(std::optional<platform::Value> milliseconds) { m_frequency = std::move(milliseconds); }
    std::optional<platform::Value> frequency() const { return m_frequency; }

    const std::shared_ptr<platform::LocationManager>& locationManager() const { return m_locationManager; }
    void destroy() override;

    /// `date` as "yyyy-MM-dd'T'HH:mm:ssZ" ("2024-03-01T13:05:09+0100") in the device's zone, on
    /// the Gregorian calendar with ASCII digits whatever the device's locale.
    static std::string timestampText(platform::Date date);

    // LocationManagerDelegate
    void didUpdateToLocation(platform::LocationManager& manager, const platform::Location& newLocation,
        const std::optional<platform::Location>& oldLocation) override;
    void didFailWithError(platform::LocationManager& manager, const platform::Error& error) override;

protected:
    void didConstruct() override;

private:
    void startTracking();
    void stopTracking();
    bool isFreshEnough(const platform::Location& location) const;
    void report(const platform::Location& location);

    std::shared_ptr<platform::LocationManager> m_locationManager = platform::LocationManager::create();
    std::optional<std::string> m_needsPosition;
    bool m_highAccuracy = false;
    std::optional<platform::Value> m_maximumAge;
    std::optional<platform::Value> m_frequency;
    platform::Date m_previousTimestamp = platform::Date::now();
};

} // namespace morvix
