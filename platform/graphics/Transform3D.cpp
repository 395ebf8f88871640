#include "platform/graphics/Transform3D.h"

#include <array>
#include <cmath>

namespace morvix::platform {

Transform3D Transform3D::makeScale(double sx, double sy, double sz)
{
    Transform3D t;
    t.m11 = sx;
    t.m22 = sy;
    t.m33 = sz;
    return t;
}

Transform3D Transform3D::makeTranslation(double tx, double ty, double tz)
{
    Transform3D t;
    t.m41 = tx;
    t.m42 = ty;
    t.m43 = tz;
    return t;
}

Transform3D Transform3D::makeRotation(double radians, double x, double y, double z)
{
    double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0)
        return identity();
    x /= length;
    y /= length;
    z /= length;
    double c = std::cos(radians);
    double s = std::sin(radians);
    double k = 1 - c;
    // The transpose of the column-vector rotation matrix, since points are row vectors here.
    Transform3D t;
    t.m11 = k * x * x + c;
    t.m12 = k * x * y + s * z;
    t.m13 = k * x * z - s * y;
    t.m21 = k * x * y - s * z;
    t.m22 = k * y * y + c;
    t.m23 = k * y * z + s * x;
    t.m31 = k * x * z + s * y;
    t.m32 = k * y * z - s * x;
    t.m33 = k * z * z + c;
    return t;
}

Transform3D Transform3D::fromAffine(const AffineTransform& affine)
{
    Transform3D t;
    t.m11 = affine.a;
    t.m12 = affine.b;
    t.m21 = affine.c;
    t.m22 = affine.d;
    t.m41 = affine.tx;
    t.m42 = affine.ty;
    return t;
}

namespace {

using Matrix = std::array<double, 16>;

Matrix entries(const Transform3D& t)
{
    return { t.m11, t.m12, t.m13, t.m14, t.m21, t.m22, t.m23, t.m24, t.m31, t.m32, t.m33, t.m34, t.m41, t.m42, t.m43, t.m44 };
}

} // namespace

Transform3D Transform3D::concat(const Transform3D& a, const Transform3D& b)
{
    Matrix x = entries(a);
    Matrix y = entries(b);
    Matrix p {};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            for (int k = 0; k < 4; ++k)
                p[row * 4 + column] += x[row * 4 + k] * y[k * 4 + column];
        }
    }
    return { p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15] };
}

Point Transform3D::project(const Point& point) const
{
    double x = point.x * m11 + point.y * m21 + m41;
    double y = point.x * m12 + point.y * m22 + m42;
    double w = point.x * m14 + point.y * m24 + m44;
    if (w == 0)
        return { x, y };
    return { x / w, y / w };
}

} // namespace morvix::platform
