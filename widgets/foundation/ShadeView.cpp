#include "widgets/foundation/ShadeView.h"

namespace morvix {

std::shared_ptr<ShadeView> ShadeView::create(const platform::Rect& frame, platform::Color color)
{
    return std::shared_ptr<ShadeView>(new ShadeView(frame, color));
}

ShadeView::ShadeView(const platform::Rect& frame, platform::Color color)
    : View(frame)
    , m_color(color)
{
    setOpaque(false);
    setBackgroundColor(m_color);
}

void ShadeView::setColor(platform::Color color)
{
    m_color = color;
    setBackgroundColor(m_color);
    setNeedsDisplay();
}

} // namespace morvix
