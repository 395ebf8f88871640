#include "platform/graphics/Rect.h"

#include <algorithm>
#include <cmath>

namespace morvix::platform {

double Rect::minX() const { return std::min(origin.x, origin.x + size.width); }
double Rect::minY() const { return std::min(origin.y, origin.y + size.height); }
double Rect::maxX() const { return std::max(origin.x, origin.x + size.width); }
double Rect::maxY() const { return std::max(origin.y, origin.y + size.height); }

Rect Rect::standardized() const
{
    return { minX(), minY(), maxX() - minX(), maxY() - minY() };
}

bool Rect::contains(const Point& point) const
{
    return point.x >= minX() && point.x < maxX() && point.y >= minY() && point.y < maxY();
}

bool Rect::contains(const Rect& other) const
{
    return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() && other.maxY() <= maxY();
}

bool Rect::intersects(const Rect& other) const
{
    return minX() < other.maxX() && other.minX() < maxX() && minY() < other.maxY() && other.minY() < maxY();
}

Rect Rect::intersection(const Rect& other) const
{
    if (!intersects(other))
        return {};
    double left = std::max(minX(), other.minX());
    double top = std::max(minY(), other.minY());
    return { left, top, std::min(maxX(), other.maxX()) - left, std::min(maxY(), other.maxY()) - top };
}

Rect Rect::united(const Rect& other) const
{
    double left = std::min(minX(), other.minX());
    double top = std::min(minY(), other.minY());
    return { left, top, std::max(maxX(), other.maxX()) - left, std::max(maxY(), other.maxY()) - top };
}

Rect Rect::insetBy(double dx, double dy) const
{
    Rect r = standardized();
    return { r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy };
}

Rect Rect::inset(const EdgeInsets& insets) const
{
    Rect r = standardized();
    return { r.origin.x + insets.left, r.origin.y + insets.top, r.size.width - insets.left - insets.right,
        r.size.height - insets.top - insets.bottom };
}

Rect Rect::integral() const
{
    double left = std::floor(minX());
    double top = std::floor(minY());
    return { left, top, std::ceil(maxX()) - left, std::ceil(maxY()) - top };
}

Rect::Division Rect::divided(double amount, RectEdge edge) const
{
    Rect r = standardized();
    bool horizontal = edge == RectEdge::MinX || edge == RectEdge::MaxX;
    double length = horizontal ? r.width() : r.height();
    double cut = std::clamp(amount, 0.0, length);
    switch (edge) {
    case RectEdge::MinX:
        return { { r.x(), r.y(), cut, r.height() }, { r.x() + cut, r.y(), length - cut, r.height() } };
    case RectEdge::MaxX:
        return { { r.maxX() - cut, r.y(), cut, r.height() }, { r.x(), r.y(), length - cut, r.height() } };
    case RectEdge::MinY:
        return { { r.x(), r.y(), r.width(), cut }, { r.x(), r.y() + cut, r.width(), length - cut } };
    case RectEdge::MaxY:
        return { { r.x(), r.maxY() - cut, r.width(), cut }, { r.x(), r.y(), r.width(), length - cut } };
    }
    return { r, {} };
}

} // namespace morvix::platform
