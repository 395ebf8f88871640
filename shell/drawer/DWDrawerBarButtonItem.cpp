#include "shell/drawer/DWDrawerBarButtonItem.h"

#include "platform/foundation/DeviceInfo.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/Screen.h"

#include <cmath>

namespace morvix {

using namespace platform;

std::shared_ptr<DWDrawerBarButtonItem> DWDrawerBarButtonItem::create(std::weak_ptr<void> target, Action action)
{
    if (std::floor(DeviceInfo::kFoundationVersionNumber) <= 993.0)
        return createWithButtonView(std::move(target), std::move(action));
    auto item = std::shared_ptr<DWDrawerBarButtonItem>(new DWDrawerBarButtonItem);
    item->setStyle(BarButtonStyle::Plain);
    item->setImage(drawerButtonItemImage());
    item->setTarget(std::move(target), std::move(action));
    return item;
}

std::shared_ptr<DWDrawerBarButtonItem> DWDrawerBarButtonItem::createWithButtonView(std::weak_ptr<void> target, Action action)
{
    auto item = std::shared_ptr<DWDrawerBarButtonItem>(new DWDrawerBarButtonItem);
    auto button = DWDrawerMenuButtonView::create(Rect(0, 0, 26, 26));
    std::weak_ptr<DWDrawerBarButtonItem> weak = item;
    button->addAction([weak](Control& sender, const Event*) {
        if (auto item = weak.lock())
            item->touchUpInside(sender);
    }, ControlEventTouchUpInside);
    item->m_buttonView = button;
    item->setCustomView(button);
    item->setTarget(std::move(target), std::move(action));
    return item;
}

void DWDrawerBarButtonItem::touchUpInside(Control&)
{
    tap();
}

std::optional<Color> DWDrawerBarButtonItem::menuButtonColorForState(ControlState state) const
{
    return m_buttonView ? m_buttonView->menuButtonColorForState(state) : std::nullopt;
}

void DWDrawerBarButtonItem::setMenuButtonColor(std::optional<Color> color, ControlState state)
{
    if (m_buttonView)
        m_buttonView->setMenuButtonColor(color, state);
}

std::optional<Color> DWDrawerBarButtonItem::shadowColorForState(ControlState state) const
{
    return m_buttonView ? m_buttonView->shadowColorForState(state) : std::nullopt;
}

void DWDrawerBarButtonItem::setShadowColor(std::optional<Color> color, ControlState state)
{
    if (m_buttonView)
        m_buttonView->setShadowColor(color, state);
}

void DWDrawerBarButtonItem::setTintColor(std::optional<Color> color)
{
    BarButtonItem::setTintColor(color);
    if (m_buttonView)
        m_buttonView->setTintColor(color);
}

std::shared_ptr<Image> DWDrawerBarButtonItem::drawerButtonItemImage()
{
    // A function-local static is made once, safely across threads.
    static const std::shared_ptr<Image> image = [] {
        ImageContext canvas(Size { 26, 26 }, Opaque::No, Screen::main().scale());
        GraphicsContext& context = canvas.context();
        context.setFillColor(Color::white());
        double x = std::floor(10 * 0.5 + 0.5);
        for (double fraction : { 0.72, 0.48, 0.24 })
            context.fillRect(Rect(x, std::floor(25 * fraction + 0.5), 16, 1));
        return canvas.image();
    }();
    return image;
}

} // namespace morvix
