#include "shell/drawer/DWDrawerMenuButtonView.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Path.h"

namespace morvix {

using namespace platform;

DWDrawerMenuButtonView::DWDrawerMenuButtonView(const Rect& frame)
    : Button(ButtonType::Custom, frame)
    , m_menuButtonNormalColor(Color::fromRGBA(1, 1, 1, 0.9f))
    , m_menuButtonHighlightedColor(Color::fromRGBA(139 / 255.0f, 135 / 255.0f, 136 / 255.0f, 0.9f))
    , m_shadowNormalColor(Color::fromRGBA(0, 0, 0, 0.5f))
    , m_shadowHighlightedColor(Color::fromRGBA(0, 0, 0, 0.2f))
{
}

std::shared_ptr<DWDrawerMenuButtonView> DWDrawerMenuButtonView::create(const Rect& frame)
{
    return std::shared_ptr<DWDrawerMenuButtonView>(new DWDrawerMenuButtonView(frame));
}

std::optional<Color> DWDrawerMenuButtonView::menuButtonColorForState(ControlState state) const
{
    if (state == ControlState::Normal)
        return m_menuButtonNormalColor;
    if (state == ControlState::Highlighted)
        return m_menuButtonHighlightedColor;
    return std::nullopt;
}

void DWDrawerMenuButtonView::setMenuButtonColor(std::optional<Color> color, ControlState state)
{
    if (state == ControlState::Normal)
        m_menuButtonNormalColor = color;
    else if (state == ControlState::Highlighted)
        m_menuButtonHighlightedColor = color;
    setNeedsDisplay();
}

std::optional<Color> DWDrawerMenuButtonView::shadowColorForState(ControlState state) const
{
    if (state == ControlState::Normal)
        return m_shadowNormalColor;
    if (state == ControlState::Highlighted)
        return m_shadowHighlightedColor;
    return std::nullopt;
}

void DWDrawerMenuButtonView::setShadowColor(std::optional<Color> color, ControlState state)
{
    if (state == ControlState::Normal)
        m_shadowNormalColor = color;
    else if (state == ControlState::Highlighted)
        m_shadowHighlightedColor = color;
    setNeedsDisplay();
}

void DWDrawerMenuButtonView::draw(GraphicsContext& context, const Rect&)
{
    Rect bounds = this->bounds();
    double width = bounds.width();
    double height = bounds.height();
    double barWidth = 0.8 * width;
    double barHeight = 0.16 * height;
    double left = 0.1 * width;
    double gap = 0.12 * height;
    auto fill = menuButtonColorForState(state());
    auto shadow = shadowColorForState(state());
    for (double top : { gap, barHeight + 2 * gap, 2 * barHeight + 3 * gap }) {
        context.save();
        if (shadow)
            context.setShadow(Shadow { { 0, 1 }, 0, *shadow });
        if (fill) {
            context.setFillColor(*fill);
            context.beginPath();
            context.addPath(Path::roundedRect(Rect(bounds.x() + left, bounds.y() + top, barWidth, barHeight), 1));
            context.fillPath();
        }
        context.restore();
    }
}

void DWDrawerMenuButtonView::touchesBegan(const TouchSet& touches, const Event& event)
{
    Button::touchesBegan(touches, event);
    setNeedsDisplay();
}

void DWDrawerMenuButtonView::touchesEnded(const TouchSet& touches, const Event& event)
{
    Button::touchesEnded(touches, event);
    setNeedsDisplay();
}

void DWDrawerMenuButtonView::touchesCancelled(const TouchSet& touches, const Event& event)
{
    Button::touchesCancelled(touches, event);
    setNeedsDisplay();
}

void DWDrawerMenuButtonView::setSelected(bool selected)
{
    Button::setSelected(selected);
    setNeedsDisplay();
}

void DWDrawerMenuButtonView::setHighlighted(bool highlighted)
{
    Button::setHighlighted(highlighted);
    setNeedsDisplay();
}

void DWDrawerMenuButtonView::setTintColor(std::optional<Color> color)
{
    View::setTintColor(color);
    tintColorDidChange();
}

} // namespace morvix
