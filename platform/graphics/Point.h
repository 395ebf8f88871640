#pragma once
// A point in a view's coordinate space.

namespace morvix::platform {

/// A location in points; plain value type.
struct Point {
    double x = 0;
    double y = 0;

    bool operator==(const Point&) const = default;
    Point operator+(const Point& other) const { return { x + other.x, y + other.y }; }
    Point operator-(const Point& other) const { return { x - other.x, y - other.y }; }
};

} // namespace morvix::platform
