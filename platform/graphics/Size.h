#pragma once
// A width and a height.

namespace morvix::platform {

/// An extent in points; plain value type.
struct Size {
    double width = 0;
    double height = 0;

    bool operator==(const Size&) const = default;
};

} // namespace morvix::platform
