#include "platform/device/LocationManager.h"

#include "platform/device/DeviceLocation.h"

#include <utility>

namespace morvix::platform {

std::shared_ptr<LocationManager> LocationManager::create()
{
    return std::shared_ptr<LocationManager>(new LocationManager());
}

LocationManager::~LocationManager()
{
    if (m_updatingLocation)
        DeviceLocation::removeUpdatingManager(*this);
}

void LocationManager::startUpdatingLocation()
{
    if (m_updatingLocation)
        return;
    m_updatingLocation = true;
    DeviceLocation::addUpdatingManager(shared_from_this());
}

void LocationManager::stopUpdatingLocation()
{
    if (!m_updatingLocation)
        return;
    m_updatingLocation = false;
    DeviceLocation::removeUpdatingManager(*this);
}

void LocationManager::startUpdatingHeading()
{
    m_updatingHeading = true;
}

void LocationManager::stopUpdatingHeading()
{
    m_updatingHeading = false;
}

std::optional<double> LocationManager::heading() const
{
    if (!m_updatingHeading)
        return std::nullopt;
    return DeviceLocation::heading();
}

void LocationManager::deliver(const Location& location)
{
    auto old = std::exchange(m_location, location);
    if (auto delegate = m_delegate.lock())
        delegate->didUpdateToLocation(*this, location, old);
}

void LocationManager::fail(const Error& error)
{
    if (auto delegate = m_delegate.lock())
        delegate->didFailWithError(*this, error);
}

} // namespace morvix::platform
