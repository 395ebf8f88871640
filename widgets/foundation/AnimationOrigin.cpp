#include "widgets/foundation/AnimationOrigin.h"

namespace morvix {

using platform::Rect;
using platform::Size;

Rect AnimationOrigin::computeOrigin(const Rect& rect, Size area)
{
    double left = rect.x();
    double right = rect.x() + rect.width();
    double top = rect.y();
    double bottom = rect.y() + rect.height();
    if (left <= 0 && right >= area.width && top <= 0 && bottom >= area.height)
        return createRightOrigin(rect, area);
    if (top <= 0 && bottom < area.height)
        return createTopOrigin(rect, area);
    if (top > 0 && bottom >= area.height)
        return createBottomOrigin(rect, area);
    if (left <= 0 && right < area.width)
        return createLeftOrigin(rect, area);
    if (left > 0 && right >= area.width)
        return createRightOrigin(rect, area);
    return rect;
}

Rect AnimationOrigin::createLeftOrigin(const Rect& rect, Size)
{
    return { -rect.width(), rect.y(), rect.width(), rect.height() };
}

Rect AnimationOrigin::createRightOrigin(const Rect& rect, Size area)
{
    return { area.width, rect.y(), rect.width(), rect.height() };
}

Rect AnimationOrigin::createTopOrigin(const Rect& rect, Size)
{
    return { rect.x(), -rect.height(), rect.width(), rect.height() };
}

Rect AnimationOrigin::createBottomOrigin(const Rect& rect, Size area)
{
    return { rect.x(), area.height, rect.width(), rect.height() };
}

} // namespace morvix
