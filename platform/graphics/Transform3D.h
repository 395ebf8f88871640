#pragma once
// A 3-D transform of a layer, with perspective.

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Point.h"

namespace morvix::platform {

/// A 4 x 4 matrix applied to row vectors, as the platform's layer transforms are: a point
/// (x, y, z) becomes [x y z 1] * M, divided by the resulting w. `m34` is the perspective entry
/// (-1 / eye distance). The "before" forms (`translated`, `scaled`, `rotated`) apply their own
/// step first and then this transform; `concat(a, b)` applies a, then b. Plain value type.
struct Transform3D {
    double m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    double m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    double m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    double m41 = 0, m42 = 0, m43 = 0, m44 = 1;

    bool operator==(const Transform3D&) const = default;

    static Transform3D identity() { return {}; }
    static Transform3D makeScale(double sx, double sy, double sz);
    static Transform3D makeTranslation(double tx, double ty, double tz);
    /// A turn by `radians` about the axis (x, y, z); the identity for a zero axis.
    static Transform3D makeRotation(double radians, double x, double y, double z);
    /// The flat transform that `affine` stands for.
    static Transform3D fromAffine(const AffineTransform& affine);
    /// `a`, then `b`.
    static Transform3D concat(const Transform3D& a, const Transform3D& b);

    /// The translation, then this transform.
    Transform3D translated(double tx, double ty, double tz) const { return concat(makeTranslation(tx, ty, tz), *this); }
    Transform3D scaled(double sx, double sy, double sz) const { return concat(makeScale(sx, sy, sz), *this); }
    Transform3D rotated(double radians, double x, double y, double z) const { return concat(makeRotation(radians, x, y, z), *this); }

    bool isIdentity() const { return *this == identity(); }
    /// True when the plane z = 0 maps onto the screen without perspective: the transform is
    /// then drawn exactly by `affine()`.
    bool isFlat() const { return m14 == 0 && m24 == 0 && m44 == 1; }
    /// The 2-D part (m11, m12, m21, m22, m41, m42), as the platform takes it from a layer
    /// transform; exact for flat transforms.
    AffineTransform affine() const { return { m11, m12, m21, m22, m41, m42 }; }
    /// Where the point (x, y, 0) lands on the screen plane, after the perspective division.
    Point project(const Point& point) const;
};

} // namespace morvix::platform
