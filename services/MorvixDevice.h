#pragma once
// The service that tells the peer what device the client runs on.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/ServiceObject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Size.h"
#include "widgets/foundation/OrientationReporter.h"

#include <optional>
#include <string>
#include <string_view>

namespace morvix {

/// The service object "morvix.Device": vendor, model, system, screen, capabilities, connection,
/// interface orientation and time-zone offset, all from the headless device identity
/// (`DeviceInfo`, `Screen`, `Application`) that the embedding application sets. `synchronize`
/// schedules them as five messages; the service keeps the screen size, the orientation, the
/// language and the connection type current and sends "orientationchange" while it is
/// listened. The `Display` calls `sendOrientation` when the screen turns. "timezoneOffset" and
/// "scaleFactor" are recorded as floating-point numbers: they go out as "-60.0" and "2.0". Made
/// by the type table under its type name as id. Main thread.
class MorvixDevice final : public RemoteClass<MorvixDevice>, public ServiceObject, public OrientationReporter {
public:
    static constexpr std::string_view kRemoteType = "morvix.Device";
    static constexpr const char* kVendor = "Apple";
    static constexpr const char* kPlatform = "iOS";

    MorvixDevice(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);

    static const PropertyTable& properties();
    /// "orientationchange" and what the device reports of itself.
    static const WireTable& wire();
    static const PropertyNames& remoteObjectProperties();

    void registered() override;
    void synchronize() override;
    void sendOrientation() override;
    void destroy() override;

    // Read-only facts.
    std::optional<platform::Value> scaleFactor() const;
    std::optional<std::string> connectionType() const;
    std::optional<std::string> model() const;
    std::optional<std::string> platformName() const { return std::string(kPlatform); }
    std::optional<std::string> version() const;
    std::optional<std::string> language() const;
    std::optional<platform::Value> screenWidth() const { return platform::Value(m_screenWidth); }
    std::optional<platform::Value> screenHeight() const { return platform::Value(m_screenHeight); }
    /// The orientation name at the last change, or of the current orientation before any.
    std::optional<std::string> orientation() const { return m_orientation ? m_orientation : orientationName(interfaceOrientation()); }

    /// The capabilities in their fixed order: "LOCATION", "MESSAGE", "PHONE", "CAMERA", "MAPS",
    /// each present when the device has it.
    static platform::Value capabilities();
    /// Minutes west of GMT at the current date for the device's zone: the sign inverted, never
    /// a negative zero ("Europe/Zurich" in winter gives -60).
    static float timeZoneOffset();
    /// "PORTRAIT" or "LANDSCAPE" for an interface orientation number.
    static const char* coarseName(int orientation);
    /// "portrait-primary", "portrait-secondary", "landscape-primary", "landscape-secondary", or
    /// nothing for another number.
    static std::optional<std::string> orientationName(int orientation);

private:
    void observe();
    void deviceOrientationChanged();
    void reachabilityChanged(const platform::Notification& notification);
    static int interfaceOrientation();
    void recordScreenSize();

    bool m_orientationchangeListener = false;
    std::optional<std::string> m_orientation;
    mutable std::optional<std::string> m_model;
    mutable std::optional<std::string> m_language;
    long m_screenWidth = 0;
    long m_screenHeight = 0;
    platform::Size m_lastScreenSize;
    int m_lastOrientation = 0;
    platform::ObserverToken m_reachabilityObserver;
    platform::ObserverToken m_localeObserver;
    platform::ObserverToken m_orientationObserver;
};

} // namespace morvix
