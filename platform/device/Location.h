#pragma once
// A position the device's location facility reports.

#include "platform/foundation/Date.h"

namespace morvix::platform {

/// Latitude and longitude in degrees (WGS 84).
struct Coordinate {
    double latitude = 0;
    double longitude = 0;

    bool operator==(const Coordinate&) const = default;
};

/// One position: where, how high, how fast, how sure, and when it was measured. Distances and
/// accuracies are in metres, the speed in metres per second; a negative accuracy or speed means
/// "not known", as on the platform. Plain value; any thread.
struct Location {
    Coordinate coordinate;
    double altitude = 0;
    double horizontalAccuracy = 0;
    double verticalAccuracy = 0;
    double speed = -1;
    Date timestamp;

    /// When the position was measured.
    Date date() const { return timestamp; }
};

} // namespace morvix::platform
