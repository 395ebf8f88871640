#pragma once
// Places for an address text.

#include "platform/device/Location.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

/// A place a geocoder found: its name, where it is, and its address as the platform's address
/// dictionary ("Street", "City", "ZIP", "Country", ...).
struct Placemark {
    std::string name;
    Coordinate coordinate;
    Value addressDictionary = Value::object();
};

/// Turns an address text into places. The headless device has no geocoding service: a request
/// stays pending, listed by `pendingGeocoders()` (which keeps the geocoder alive, as the system
/// keeps a running request), until a test or the embedding application answers it with `answer`
/// or `fail`. Each answer runs the completion once, then the geocoder leaves the list. Main thread.
class Geocoder final : public std::enable_shared_from_this<Geocoder> {
public:
    /// The places found (empty on failure) and the error, if any.
    using Completion = std::function<void(const std::vector<Placemark>& placemarks, const std::optional<Error>& error)>;

    static std::shared_ptr<Geocoder> create();
    Geocoder(const Geocoder&) = delete;
    Geocoder& operator=(const Geocoder&) = delete;

    /// Starts a request. A geocoder runs one request at a time: asking again while one is
    /// pending fails the new one at once (the completion gets an error), as on the platform.
    void geocodeAddressString(std::string address, Completion completion);
    bool isGeocoding() const { return m_completion != nullptr; }
    /// The address of the pending request; empty when none is pending.
    const std::string& address() const { return m_address; }

    /// Drivers: end the pending request with places or an error; no-op when none is pending.
    void answer(std::vector<Placemark> placemarks);
    void fail(Error error);

    /// The geocoders with a pending request, oldest first.
    static std::vector<std::shared_ptr<Geocoder>> pendingGeocoders();
    static void resetForTesting();

private:
    Geocoder() = default;
    void finish(const std::vector<Placemark>& placemarks, const std::optional<Error>& error);

    std::string m_address;
    Completion m_completion;
};

} // namespace morvix::platform
