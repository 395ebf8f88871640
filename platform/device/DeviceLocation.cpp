#include "platform/device/DeviceLocation.h"

#include "platform/device/LocationManager.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace morvix::platform {

namespace {

std::atomic<bool> s_enabled { false };
std::atomic<LocationAuthorizationStatus> s_status { LocationAuthorizationStatus::NotDetermined };

struct Listed {
    const LocationManager* manager;
    std::weak_ptr<LocationManager> handle;
};

struct State {
    std::mutex mutex; // guards heading and managers
    std::optional<double> heading;
    std::vector<Listed> managers;
};

State& state()
{
    static State instance;
    return instance;
}

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

std::vector<std::shared_ptr<LocationManager>> DeviceLocation::updatingManagers()
{
    std::vector<std::shared_ptr<LocationManager>> managers;
    std::lock_guard lock(state().mutex);
    for (const auto& listed : state().managers) {
        if (auto manager = listed.handle.lock())
            managers.push_back(std::move(manager));
    }
    return managers;
}

void DeviceLocation::deliver(const Location& location)
{
    for (const auto& manager : updatingManagers())
        manager->deliver(location);
}

void DeviceLocation::fail(long code, std::string description)
{
    Error error(LocationManager::kErrorDomain, code, std::move(description));
    for (const auto& manager : updatingManagers())
        manager->fail(error);
}

std::optional<double> DeviceLocation::heading()
{
    std::lock_guard lock(state().mutex);
    return state().heading;
}

void DeviceLocation::setHeading(std::optional<double> degrees)
{
    std::lock_guard lock(state().mutex);
    state().heading = degrees;
}

void DeviceLocation::addUpdatingManager(const std::shared_ptr<LocationManager>& manager)
{
    std::lock_guard lock(state().mutex);
    state().managers.push_back({ manager.get(), manager });
}

void DeviceLocation::removeUpdatingManager(const LocationManager& manager)
{
    std::lock_guard lock(state().mutex);
    std::erase_if(state().managers, [&](const Listed& listed) { return listed.manager == &manager; });
}

void DeviceLocation::resetForTesting()
{
    s_enabled = false;
    s_status = LocationAuthorizationStatus::NotDetermined;
    std::lock_guard lock(state().mutex);
    state().heading = std::nullopt;
    state().managers.clear();
}

} // namespace morvix::platform
