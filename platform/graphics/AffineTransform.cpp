#include "platform/graphics/AffineTransform.h"

#include <algorithm>
#include <cmath>

namespace morvix::platform {

AffineTransform AffineTransform::rotation(double radians)
{
    double cosine = std::cos(radians);
    double sine = std::sin(radians);
    return { cosine, sine, -sine, cosine, 0, 0 };
}

AffineTransform AffineTransform::concatenated(const AffineTransform& t) const
{
    return { a * t.a + b * t.c, a * t.b + b * t.d, c * t.a + d * t.c, c * t.b + d * t.d, tx * t.a + ty * t.c + t.tx,
        tx * t.b + ty * t.d + t.ty };
}

AffineTransform AffineTransform::inverted() const
{
    double determinant = a * d - b * c;
    if (determinant == 0)
        return *this;
    return { d / determinant, -b / determinant, -c / determinant, a / determinant, (c * ty - d * tx) / determinant,
        (b * tx - a * ty) / determinant };
}

Rect AffineTransform::apply(const Rect& rect) const
{
    Rect r = rect.standardized();
    Point corners[] = { apply(Point { r.minX(), r.minY() }), apply(Point { r.maxX(), r.minY() }),
        apply(Point { r.minX(), r.maxY() }), apply(Point { r.maxX(), r.maxY() }) };
    double left = corners[0].x, right = corners[0].x, top = corners[0].y, bottom = corners[0].y;
    for (const auto& corner : corners) {
        left = std::min(left, corner.x);
        right = std::max(right, corner.x);
        top = std::min(top, corner.y);
        bottom = std::max(bottom, corner.y);
    }
    return { left, top, right - left, bottom - top };
}

} // namespace morvix::platform
