#include "platform/graphics/Path.h"

#include <algorithm>
#include <cmath>

namespace morvix::platform {

namespace {

// The control distance that makes a cubic curve follow a quarter circle closely.
constexpr double kQuarterArc = 0.5522847498307936;

} // namespace

Path Path::rect(const Rect& rect)
{
    Path path;
    path.moveTo(rect.origin);
    path.lineTo({ rect.x() + rect.width(), rect.y() });
    path.lineTo({ rect.x() + rect.width(), rect.y() + rect.height() });
    path.lineTo({ rect.x(), rect.y() + rect.height() });
    path.close();
    return path;
}

Path Path::ellipse(const Rect& rect)
{
    Rect r = rect.standardized();
    double rx = r.width() / 2, ry = r.height() / 2;
    double cx = r.midX(), cy = r.midY();
    double kx = rx * kQuarterArc, ky = ry * kQuarterArc;
    Path path;
    path.moveTo({ cx + rx, cy });
    path.curveTo({ cx + rx, cy + ky }, { cx + kx, cy + ry }, { cx, cy + ry });
    path.curveTo({ cx - kx, cy + ry }, { cx - rx, cy + ky }, { cx - rx, cy });
    path.curveTo({ cx - rx, cy - ky }, { cx - kx, cy - ry }, { cx, cy - ry });
    path.curveTo({ cx + kx, cy - ry }, { cx + rx, cy - ky }, { cx + rx, cy });
    path.close();
    return path;
}

Path Path::roundedRect(const Rect& rect, double radius)
{
    Rect r = rect.standardized();
    radius = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
    if (radius <= 0)
        return Path::rect(r);
    double k = radius * (1 - kQuarterArc);
    double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
    Path path;
    path.moveTo({ x0 + radius, y0 });
    path.lineTo({ x1 - radius, y0 });
    path.curveTo({ x1 - k, y0 }, { x1, y0 + k }, { x1, y0 + radius });
    path.lineTo({ x1, y1 - radius });
    path.curveTo({ x1, y1 - k }, { x1 - k, y1 }, { x1 - radius, y1 });
    path.lineTo({ x0 + radius, y1 });
    path.curveTo({ x0 + k, y1 }, { x0, y1 - k }, { x0, y1 - radius });
    path.lineTo({ x0, y0 + radius });
    path.curveTo({ x0, y0 + k }, { x0 + k, y0 }, { x0 + radius, y0 });
    path.close();
    return path;
}

void Path::moveTo(Point point)
{
    m_elements.push_back({ ElementType::MoveTo, { point, {}, {} } });
    m_hasCurrentPoint = true;
    m_current = m_subpathStart = point;
}

void Path::lineTo(Point point)
{
    if (!m_hasCurrentPoint)
        return moveTo(point);
    m_elements.push_back({ ElementType::LineTo, { point, {}, {} } });
    m_current = point;
}

void Path::curveTo(Point control1, Point control2, Point end)
{
    if (!m_hasCurrentPoint)
        moveTo(control1);
    m_elements.push_back({ ElementType::CurveTo, { control1, control2, end } });
    m_current = end;
}

void Path::quadCurveTo(Point control, Point end)
{
    if (!m_hasCurrentPoint)
        moveTo(control);
    Point start = m_current;
    // A quadratic curve is the cubic whose controls lie two thirds of the way to its control.
    Point c1 { start.x + 2.0 / 3 * (control.x - start.x), start.y + 2.0 / 3 * (control.y - start.y) };
    Point c2 { end.x + 2.0 / 3 * (control.x - end.x), end.y + 2.0 / 3 * (control.y - end.y) };
    curveTo(c1, c2, end);
}

void Path::close()
{
    if (!m_hasCurrentPoint)
        return;
    m_elements.push_back({ ElementType::Close, {} });
    m_current = m_subpathStart;
}

void Path::append(const Path& other)
{
    for (const auto& element : other.m_elements) {
        switch (element.type) {
        case ElementType::MoveTo:
            moveTo(element.points[0]);
            break;
        case ElementType::LineTo:
            lineTo(element.points[0]);
            break;
        case ElementType::CurveTo:
            curveTo(element.points[0], element.points[1], element.points[2]);
            break;
        case ElementType::Close:
            close();
            break;
        }
    }
}

Rect Path::boundingBox() const
{
    if (m_elements.empty())
        return {};
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const auto& element : m_elements) {
        int count = element.type == ElementType::CurveTo ? 3 : element.type == ElementType::Close ? 0 : 1;
        for (int i = 0; i < count; ++i) {
            minX = std::min(minX, element.points[i].x);
            minY = std::min(minY, element.points[i].y);
            maxX = std::max(maxX, element.points[i].x);
            maxY = std::max(maxY, element.points[i].y);
        }
    }
    if (minX > maxX)
        return {};
    return { minX, minY, maxX - minX, maxY - minY };
}

} // namespace morvix::platform
