#pragma once
// A place handed to the maps application.

#include "platform/device/Location.h"
#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

/// A place to show in the maps application: a coordinate, optionally an address dictionary
/// (see `Placemark`) and a name. The headless device has no maps application: `openInMaps`
/// records the item (tests read `openedItems`). Plain value; main thread.
struct MapItem {
    Coordinate coordinate;
    std::optional<Value> addressDictionary;
    std::string name;

    /// Records the item; always true.
    bool openInMaps() const;
    /// The items opened, oldest first.
    static std::vector<MapItem> openedItems();
    static void resetForTesting();
};

} // namespace morvix::platform
