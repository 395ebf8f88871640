#include "platform/device/DeviceLocation.h"

#include <atomic>

namespace morvix::platform {

namespace {

std::atomic<bool> s_enabled { false };
std::atomic<LocationAuthorizationStatus> s_status { LocationAuthorizationStatus::NotDetermined };

} // namespace

bool DeviceLocation::locationServicesEnabled()
{
    return s_enabled;
}

void DeviceLocation::setLocationServicesEnabled(bool enabled)
{
    s_enabled = enabled;
}

LocationAuthorizationStatus DeviceLocation::authorizationStatus()
{
    return s_status;
}

void DeviceLocation::setAuthorizationStatus(LocationAuthorizationStatus status)
{
    s_status = status;
}

void DeviceLocation::resetForTesting()
{
    s_enabled = false;
    s_status = LocationAuthorizationStatus::NotDetermined;
}

} // namespace morvix::platform
