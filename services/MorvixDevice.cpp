#include "services/MorvixDevice.h"

#include "core/base/OSUtil.h"
#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "core/session/MorvixHTTPClient.h"
#include "platform/device/DeviceLocation.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/screens/ImagePickerController.h"

#include <cmath>

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kOrientationChangeEvent {
    .listen = "orientationchange",
    .name = "orientationchange",
    .attributes = R"({"orientation": string})",
    .note = "when the interface turns to another orientation: \"portrait-primary\", \"portrait-secondary\", "
            "\"landscape-primary\" or \"landscape-secondary\" (as \"get\" of \"orientation\" reads it; the "
            "\"orientation\" the client sets uses other words)",
};
constexpr ReportDeclaration kOrientationReport {
    .name = "orientation",
    .kind = "string",
    .note = "\"PORTRAIT\" or \"LANDSCAPE\" (not the words of \"orientationchange\"): scheduled when the session starts "
            "and whenever the display's size changes",
};
constexpr ReportDeclaration kCapabilitiesReport {
    .name = "capabilities",
    .kind = "array of strings",
    .note = "what the device can do, of \"LOCATION\", \"MESSAGE\", \"PHONE\", \"CAMERA\", \"MAPS\" in this order: "
            "scheduled when the session starts",
};
constexpr ReportDeclaration kConnectionTypeReport {
    .name = "connectionType",
    .kind = "string",
    .note = "\"WIFI\", \"CELLULAR\" or \"OFFLINE\": scheduled when the session starts and when the network comes "
            "back (going offline is not reported)",
};
constexpr ReportDeclaration kTimezoneOffsetReport {
    .name = "timezoneOffset",
    .kind = "number",
    .note = "minutes from the local time to GMT, positive west of GMT (written with a fraction): scheduled when the "
            "session starts",
};
constexpr ReportDeclaration kVendorReport {
    .name = "vendor",
    .kind = "string",
    .note = "the device's maker: scheduled when the session starts, with \"model\", \"osVersion\" and \"scaleFactor\"",
};
constexpr ReportDeclaration kModelReport {
    .name = "model",
    .kind = "string",
    .note = "the device's model name, whose start tells a phone from a tablet (\"get\" of \"model\" reads the "
            "hardware's name instead), with \"vendor\"",
};
constexpr ReportDeclaration kOsVersionReport { .name = "osVersion", .kind = "string", .note = "the system's version, with \"vendor\"" };
constexpr ReportDeclaration kScaleFactorReport {
    .name = "scaleFactor",
    .kind = "number",
    .note = "pixels per point of the screen (written with a fraction), with \"vendor\"",
};

} // namespace

const WireTable& MorvixDevice::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire())
                                       .event(kOrientationChangeEvent)
                                       .report(kOrientationReport)
                                       .report(kCapabilitiesReport)
                                       .report(kConnectionTypeReport)
                                       .report(kTimezoneOffsetReport)
                                       .report(kVendorReport)
                                       .report(kModelReport)
                                       .report(kOsVersionReport)
                                       .report(kScaleFactorReport);
    return table;
}

MorvixDevice::MorvixDevice(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    m_lastOrientation = interfaceOrientation();
    recordScreenSize();
}

const PropertyTable& MorvixDevice::properties()
{
    static const PropertyTable table = PropertyTable::extend<MorvixDevice>(BasicObject::properties())
                                           .number("scaleFactor", nullptr, &MorvixDevice::scaleFactor)
                                           .string("connectionType", nullptr, &MorvixDevice::connectionType)
                                           .string("model", nullptr, &MorvixDevice::model)
                                           .string("platform", nullptr, &MorvixDevice::platformName)
                                           .string("version", nullptr, &MorvixDevice::version)
                                           .string("language", nullptr, &MorvixDevice::language)
                                           .number("screenWidth", nullptr, &MorvixDevice::screenWidth)
                                           .number("screenHeight", nullptr, &MorvixDevice::screenHeight)
                                           .string("orientation", nullptr, &MorvixDevice::orientation)
                                           .flag("orientationchangeListener", &MorvixDevice::m_orientationchangeListener);
    return table;
}

const PropertyNames& MorvixDevice::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(),
        { "scaleFactor", "connectionType", "model", "platform", "version", "language", "screenWidth", "screenHeight", "orientation" });
    return names;
}

// MARK: Facts

int MorvixDevice::interfaceOrientation()
{
    return static_cast<int>(platform::Application::shared().statusBarOrientation());
}

const char* MorvixDevice::coarseName(int orientation)
{
    return orientation == 3 || orientation == 4 ? "LANDSCAPE" : "PORTRAIT";
}

std::optional<std::string> MorvixDevice::orientationName(int orientation)
{
    switch (orientation) {
    case 1:
        return "portrait-primary";
    case 2:
        return "portrait-secondary";
    case 3:
        return "landscape-primary";
    case 4:
        return "landscape-secondary";
    }
    return std::nullopt;
}

std::optional<Value> MorvixDevice::scaleFactor() const
{
    return Value(static_cast<float>(platform::Screen::main().scale()));
}

std::optional<std::string> MorvixDevice::connectionType() const
{
    auto client = this->client();
    auto http = client ? client->httpClient() : nullptr;
    int status = http ? http->reachabilityStatus() : -1;
    if (status == 0)
        return "OFFLINE";
    if (status == 1)
        return "CELLULAR";
    return "WIFI";
}

std::optional<std::string> MorvixDevice::model() const
{
    if (!m_model)
        m_model = platform::DeviceInfo::current().machine;
    return m_model;
}

std::optional<std::string> MorvixDevice::version() const
{
    return platform::DeviceInfo::current().systemVersion;
}

std::optional<std::string> MorvixDevice::language() const
{
    if (!m_language) {
        auto locale = platform::Locale::current();
        std::string country = locale.countryCode();
        // A locale without a country gives the language alone, not "en-".
        m_language = country.empty() ? locale.languageCode() : locale.languageCode() + "-" + country;
    }
    return m_language;
}

Value MorvixDevice::capabilities()
{
    Value list = Value::array();
    auto authorization = platform::DeviceLocation::authorizationStatus();
    if (platform::DeviceLocation::locationServicesEnabled()
        && (authorization == platform::LocationAuthorizationStatus::NotDetermined
            || authorization == platform::LocationAuthorizationStatus::AuthorizedAlways))
        list.push_back("LOCATION");
    list.push_back("MESSAGE");
    if (OSUtil::isPhone())
        list.push_back("PHONE");
    if (platform::ImagePickerController::isSourceTypeAvailable(platform::ImagePickerSourceType::Camera))
        list.push_back("CAMERA");
    list.push_back("MAPS");
    return list;
}

float MorvixDevice::timeZoneOffset()
{
    int seconds = platform::TimeZone::current().secondsFromGMT(platform::Date::now());
    if (seconds == 0)
        return 0.0f;
    return -static_cast<float>(seconds / 60.0);
}

// MARK: Reporting

void MorvixDevice::registered()
{
    RemoteClass::registered();
    observe();
}

void MorvixDevice::observe()
{
    std::weak_ptr<MorvixDevice> weak = std::static_pointer_cast<MorvixDevice>(shared_from_this());
    auto center = platform::NotificationCenter::defaultCenter();
    m_reachabilityObserver = center->addObserver(MorvixHTTPClient::kReachabilityDidChangeNotification, nullptr,
        [weak](const platform::Notification& notification) {
            if (auto self = weak.lock())
                self->reachabilityChanged(notification);
        });
    m_localeObserver = center->addObserver(platform::Locale::kCurrentLocaleDidChangeNotification, nullptr,
        [weak](const platform::Notification&) {
            if (auto self = weak.lock())
                self->m_language.reset();
        });
    m_orientationObserver = center->addObserver(platform::DeviceInfo::kOrientationDidChangeNotification, nullptr,
        [weak](const platform::Notification&) {
            if (auto self = weak.lock())
                self->deviceOrientationChanged();
        });
}

void MorvixDevice::synchronize()
{
    const std::string& id = objectId();
    Notifications::forObject(id)->report(kOrientationReport, coarseName(interfaceOrientation())).schedule();
    Notifications::forObject(id)->report(kCapabilitiesReport, capabilities()).schedule();
    Notifications::forObject(id)->report(kConnectionTypeReport, *connectionType()).schedule();
    // Both the offset and the scale are floating-point facts, and the peer reads them so even
    // when they are whole.
    Notifications::forObject(id)->reportFloatingPoint(kTimezoneOffsetReport, timeZoneOffset()).schedule();
    auto message = Notifications::forObject(id);
    message->report(kVendorReport, kVendor);
    message->report(kModelReport, platform::DeviceInfo::current().model);
    message->report(kOsVersionReport, *version());
    message->reportFloatingPoint(kScaleFactorReport, scaleFactor()->get<double>());
    message->schedule();
}

void MorvixDevice::sendOrientation()
{
    Notifications::forObject(objectId())->report(kOrientationReport, coarseName(interfaceOrientation())).schedule();
}

void MorvixDevice::recordScreenSize()
{
    platform::Size size = platform::Screen::main().bounds().size;
    m_screenWidth = static_cast<long>(std::trunc(size.width));
    m_screenHeight = static_cast<long>(std::trunc(size.height));
    m_lastScreenSize = size;
}

void MorvixDevice::deviceOrientationChanged()
{
    platform::Size size = platform::Screen::main().bounds().size;
    if (size.width != m_lastScreenSize.width || size.height != m_lastScreenSize.height)
        recordScreenSize();
    int orientation = interfaceOrientation();
    if (orientation == m_lastOrientation)
        return;
    m_lastOrientation = orientation;
    m_orientation = orientationName(orientation);
    if (m_orientationchangeListener && m_orientation) {
        Value attributes = Value::object();
        attributes["orientation"] = *m_orientation;
        Notifications::forObject(objectId())->fire(kOrientationChangeEvent, std::move(attributes));
    }
}

void MorvixDevice::reachabilityChanged(const platform::Notification& notification)
{
    const Value& info = notification.userInfo;
    auto found = info.is_object() ? info.find(MorvixHTTPClient::kReachabilityDidChangeKey) : info.end();
    if (!info.is_object() || found == info.end() || !found->is_number() || found->get<double>() == 0)
        return;
    Notifications::forObject(objectId())->report(kConnectionTypeReport, *connectionType()).schedule();
}

void MorvixDevice::destroy()
{
    m_reachabilityObserver.reset();
    m_localeObserver.reset();
    m_orientationObserver.reset();
    RemoteClass::destroy();
}

} // namespace morvix
