#pragma once
// A drawing path recorded as a list of elements.

#include "platform/graphics/Point.h"
#include "platform/graphics/Rect.h"

#include <vector>

namespace morvix::platform {

/// A path of subpaths made of straight lines and cubic curves, in the coordinates it was built
/// in. GraphicsContext can hand its current path out as a Path (already in user space) and take
/// one back, which is how a fill can keep its path for a following stroke. Plain value type.
class Path {
public:
    enum class ElementType { MoveTo, LineTo, CurveTo, Close };
    struct Element {
        ElementType type;
        Point points[3];  // MoveTo and LineTo use points[0]; CurveTo uses all three
        bool operator==(const Element&) const = default;
    };

    static Path rect(const Rect& rect);
    static Path ellipse(const Rect& rect);
    /// A rectangle with circular corners; the radius is clamped to half the shorter side.
    static Path roundedRect(const Rect& rect, double radius);

    void moveTo(Point point);
    /// A line from the current point; a MoveTo when the path has no current point.
    void lineTo(Point point);
    void curveTo(Point control1, Point control2, Point end);
    void quadCurveTo(Point control, Point end);
    void close();
    void append(const Path& other);

    bool isEmpty() const { return m_elements.empty(); }
    const std::vector<Element>& elements() const { return m_elements; }
    /// The bounding box of the points (control points included); a zero rectangle when empty.
    Rect boundingBox() const;

    bool operator==(const Path&) const = default;

private:
    std::vector<Element> m_elements;
    bool m_hasCurrentPoint = false;
    Point m_current;
    Point m_subpathStart;
};

} // namespace morvix::platform
