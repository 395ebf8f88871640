#include "platform/device/Geocoder.h"

#include <algorithm>

namespace morvix::platform {

namespace {

// Main thread only, like the geocoders.
std::vector<std::shared_ptr<Geocoder>>& pending()
{
    static std::vector<std::shared_ptr<Geocoder>> geocoders;
    return geocoders;
}

} // namespace

std::shared_ptr<Geocoder> Geocoder::create()
{
    return std::shared_ptr<Geocoder>(new Geocoder());
}

void Geocoder::geocodeAddressString(std::string address, Completion completion)
{
    if (!completion)
        return;
    if (isGeocoding()) {
        completion({}, Error("kCLErrorDomain", 10, "the geocoder is busy with another request"));
        return;
    }
    m_address = std::move(address);
    m_completion = std::move(completion);
    pending().push_back(shared_from_this());
}

void Geocoder::answer(std::vector<Placemark> placemarks)
{
    finish(placemarks, std::nullopt);
}

void Geocoder::fail(Error error)
{
    finish({}, error);
}

void Geocoder::finish(const std::vector<Placemark>& placemarks, const std::optional<Error>& error)
{
    if (!isGeocoding())
        return;
    // The completion may start the next request, so the geocoder is idle before it runs; the
    // local handle keeps it alive once it has left the list.
    auto self = shared_from_this();
    auto completion = std::move(m_completion);
    m_completion = nullptr;
    m_address.clear();
    std::erase(pending(), self);
    completion(placemarks, error);
}

std::vector<std::shared_ptr<Geocoder>> Geocoder::pendingGeocoders()
{
    return pending();
}

void Geocoder::resetForTesting()
{
    auto geocoders = std::move(pending());
    pending().clear();
    for (const auto& geocoder : geocoders) {
        geocoder->m_completion = nullptr;
        geocoder->m_address.clear();
    }
}

} // namespace morvix::platform
