#include "services/Geolocation.h"

#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "platform/foundation/DateFormatter.h"

#include <cmath>

namespace morvix {

using platform::Value;

namespace {

constexpr const char* kNever = "NEVER";

// A number property as a whole number of milliseconds; `fallback` when it is missing or not a
// number.
long long milliseconds(const std::optional<Value>& value, long long fallback)
{
    auto number = value ? platform::numberValue(*value) : std::nullopt;
    if (!number || !std::isfinite(*number))
        return fallback;
    return static_cast<long long>(std::clamp(*number, -9e15, 9e15));
}

constexpr EventDeclaration kLocationUpdateEvent {
    .name = "LocationUpdate",
    .attributes = R"({"latitude": number, "longitude": number, "altitude": number, "speed": number, "accuracy": number, )"
                  R"("altitudeAccuracy": number, "heading": number, "timestamp": string})",
    .sentWithoutListen = true,
    .note = "for a position the peer asked for with \"needsPosition\" (\"ONCE\", or \"CONTINUOUS\" at most every "
            "\"frequency\" milliseconds); \"timestamp\" is local time as yyyy-MM-ddTHH:mm:ss+hhmm",
};
constexpr EventDeclaration kLocationUpdateErrorEvent {
    .name = "LocationUpdateError",
    .attributes = R"({"errorCode": string, "errorMessage": string})",
    .sentWithoutListen = true,
    .note = "when the location service fails: \"PERMISSION_DENIED\", \"POSITION_UNAVAILABLE\" or \"UNKNOWN\"",
};

} // namespace

const WireTable& Geolocation::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kLocationUpdateEvent).event(kLocationUpdateErrorEvent);
    return table;
}

Geolocation::Geolocation(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    // The defaults go through the setters, as a peer's set would.
    setNeedsPosition(kNever);
    setHighAccuracy(false);
    setMaximumAge(Value(-1));
    setFrequency(Value(10000));
}

void Geolocation::didConstruct()
{
    RemoteClass::didConstruct();
    m_locationManager->setDelegate(std::static_pointer_cast<Geolocation>(shared_from_this()));
}

const PropertyTable& Geolocation::properties()
{
    static const PropertyTable table = PropertyTable::extend<Geolocation>(BasicObject::properties())
                                           .string("needsPosition", &Geolocation::setNeedsPosition, &Geolocation::needsPosition)
                                           .boolean("highAccuracy", &Geolocation::setHighAccuracy, &Geolocation::highAccuracy)
                                           .number("maximumAge", &Geolocation::setMaximumAge, &Geolocation::maximumAge)
                                           .number("frequency", &Geolocation::setFrequency, &Geolocation::frequency);
    return table;
}

const PropertyNames& Geolocation::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "needsPosition", "highAccuracy", "maximumAge", "frequency" });
    return names;
}

void Geolocation::setNeedsPosition(std::optional<std::string> mode)
{
    m_needsPosition = std::move(mode);
    if (m_needsPosition == kNever)
        stopTracking();
    else
        startTracking();
}

void Geolocation::setHighAccuracy(bool high)
{
    stopTracking();
    m_highAccuracy = high;
    m_locationManager->setDesiredAccuracy(high ? platform::LocationAccuracy::BestForNavigation : platform::LocationAccuracy::HundredMeters);
    startTracking();
}

void Geolocation::startTracking()
{
    if (m_needsPosition == kNever)
        return;
    m_locationManager->startUpdatingLocation();
    m_locationManager->startUpdatingHeading();
}

void Geolocation::stopTracking()
{
    m_locationManager->stopUpdatingLocation();
    m_locationManager->stopUpdatingHeading();
}

bool Geolocation::isFreshEnough(const platform::Location& location) const
{
    long long maximumAge = milliseconds(m_maximumAge, -1);
    if (maximumAge < 0)
        return true;
    return location.date().millisecondsSince1970() + double(maximumAge) >= platform::Date::now().millisecondsSince1970();
}

void Geolocation::didUpdateToLocation(platform::LocationManager&, const platform::Location& newLocation, const std::optional<platform::Location>&)
{
    if (!isFreshEnough(newLocation))
        return;
    if (m_needsPosition == "ONCE") {
        report(newLocation);
        setNeedsPosition(kNever);
        stopTracking();
        return;
    }
    if (m_needsPosition != "CONTINUOUS")
        return;
    double due = m_previousTimestamp.millisecondsSince1970() + double(milliseconds(m_frequency, 0));
    if (newLocation.date().millisecondsSince1970() < due)
        return;
    report(newLocation);
    m_previousTimestamp = platform::Date::now();
}

void Geolocation::report(const platform::Location& location)
{
    Value attributes = Value::object();
    attributes["latitude"] = location.coordinate.latitude;
    attributes["longitude"] = location.coordinate.longitude;
    attributes["altitude"] = location.altitude;
    attributes["speed"] = location.speed;
    attributes["accuracy"] = location.horizontalAccuracy;
    attributes["altitudeAccuracy"] = location.verticalAccuracy;
    attributes["heading"] = m_locationManager->heading().value_or(0.0);
    attributes["timestamp"] = timestampText(location.date());
    Notifications::forObject(objectId())->fire(kLocationUpdateEvent, std::move(attributes));
}

void Geolocation::didFailWithError(platform::LocationManager&, const platform::Error& error)
{
    const char* code = "UNKNOWN";
    if (error.code() == long(platform::LocationErrorCode::Denied))
        code = "PERMISSION_DENIED";
    else if (error.code() == long(platform::LocationErrorCode::LocationUnknown))
        code = "POSITION_UNAVAILABLE";
    Value attributes = Value::object();
    attributes["errorCode"] = code;
    attributes["errorMessage"] = error.description();
    Notifications::forObject(objectId())->fire(kLocationUpdateErrorEvent, std::move(attributes));
}

std::string Geolocation::timestampText(platform::Date date)
{
    // The fixed POSIX locale keeps the Gregorian calendar and ASCII digits whatever the device's
    // locale; only the zone is the device's.
    auto formatter = platform::DateFormatter::withPattern("yyyy-MM-dd'T'HH:mm:ssZ", platform::Locale(), platform::TimeZone::current());
    return formatter.string(date);
}

void Geolocation::destroy()
{
    stopTracking();
    RemoteClass::destroy();
}

} // namespace morvix
