#pragma once
// A 2-D affine transform.

#include "platform/graphics/Point.h"
#include "platform/graphics/Rect.h"

namespace morvix::platform {

/// The matrix [a b 0; c d 0; tx ty 1], applied to row vectors: x' = a x + c y + tx,
/// y' = b x + d y + ty. Plain value type.
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    bool operator==(const AffineTransform&) const = default;

    static AffineTransform identity() { return {}; }
    static AffineTransform translation(double x, double y) { return { 1, 0, 0, 1, x, y }; }
    static AffineTransform scale(double sx, double sy) { return { sx, 0, 0, sy, 0, 0 }; }
    static AffineTransform rotation(double radians);

    bool isIdentity() const { return *this == identity(); }
    /// This transform followed by `then`.
    AffineTransform concatenated(const AffineTransform& then) const;
    /// The inverse; the transform itself when it cannot be inverted.
    AffineTransform inverted() const;
    Point apply(const Point& point) const { return { a * point.x + c * point.y + tx, b * point.x + d * point.y + ty }; }
    Size apply(const Size& size) const { return { a * size.width + c * size.height, b * size.width + d * size.height }; }
    /// The bounding box of the transformed rectangle.
    Rect apply(const Rect& rect) const;
};

} // namespace morvix::platform
