#pragma once
// The position of an item in a table or collection view.

namespace morvix::platform {

/// The position of an item: its section and its index in the section. A table's row is the item.
struct IndexPath {
    int section = 0;
    int item = 0;

    bool operator==(const IndexPath&) const = default;
};

} // namespace morvix::platform
