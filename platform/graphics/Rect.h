#pragma once
// An axis-aligned rectangle.

#include "platform/graphics/EdgeInsets.h"
#include "platform/graphics/Point.h"
#include "platform/graphics/Size.h"

namespace morvix::platform {

/// The edge a rectangle division cuts from, by the platform's numbers.
enum class RectEdge { MinX = 0, MinY = 1, MaxX = 2, MaxY = 3 };

/// An origin and a size in points. A negative width or height is allowed; the min/max accessors
/// and the set operations work on the standardized rectangle. Plain value type.
struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(Point origin, Size size) : origin(origin), size(size) { }
    Rect(double x, double y, double width, double height) : origin { x, y }, size { width, height } { }

    bool operator==(const Rect&) const = default;

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const;
    double minY() const;
    double maxX() const;
    double maxY() const;
    double midX() const { return (minX() + maxX()) / 2; }
    double midY() const { return (minY() + maxY()) / 2; }
    Point center() const { return { midX(), midY() }; }

    /// The same rectangle with a non-negative width and height.
    Rect standardized() const;
    bool isEmpty() const { return size.width == 0 || size.height == 0; }
    /// True when `point` lies inside; the maximum edges are outside.
    bool contains(const Point& point) const;
    bool contains(const Rect& other) const;
    bool intersects(const Rect& other) const;
    /// The common part; an empty rectangle at the origin when there is none.
    Rect intersection(const Rect& other) const;
    /// The smallest rectangle holding both.
    Rect united(const Rect& other) const;
    Rect offsetBy(double dx, double dy) const { return { origin.x + dx, origin.y + dy, size.width, size.height }; }
    Rect insetBy(double dx, double dy) const;
    Rect inset(const EdgeInsets& insets) const;
    Rect integral() const;

    struct Division;
    /// Cuts the standardized rectangle in two along `edge`: the slice is the strip `amount`
    /// deep from that edge (clamped to 0 and to the whole width or height), the remainder is
    /// the rest, as the platform divides rectangles.
    Division divided(double amount, RectEdge edge) const;
};

struct Rect::Division {
    Rect slice;
    Rect remainder;
};

} // namespace morvix::platform
