#include "widgets/containers/CanvasView.h"

#include "platform/ui/LayoutConstraint.h"
#include "widgets/containers/Canvas.h"
#include "widgets/containers/ClientCanvasView.h"
#include "widgets/containers/GC.h"

namespace morvix {

CanvasView::CanvasView(std::weak_ptr<Canvas> canvas)
    : m_parentObject(std::move(canvas))
{
    setUserInteractionEnabled(true);
    setOpaque(false);
    setBackgroundColor(platform::Color::clear());
}

std::shared_ptr<CanvasView> CanvasView::create(const std::shared_ptr<Canvas>& canvas)
{
    return std::shared_ptr<CanvasView>(new CanvasView(canvas));
}

std::shared_ptr<GC> CanvasView::currentGC(const std::shared_ptr<Canvas>& canvas)
{
    if (!canvas)
        return nullptr;
    for (const auto& child : canvas->objects()) {
        if (auto gc = std::dynamic_pointer_cast<GC>(child))
            return gc;
    }
    return nullptr;
}

std::shared_ptr<GC> CanvasView::currentGC() const
{
    return currentGC(m_parentObject.lock());
}

platform::Size CanvasView::intrinsicContentSize() const
{
    if (auto gc = currentGC())
        return gc->size();
    return { kNoIntrinsicMetric, kNoIntrinsicMetric };
}

void CanvasView::draw(platform::GraphicsContext& context, const platform::Rect&)
{
    // The view draws into a layer of its own, as into its own backing store: the clearing in
    // applyTo must not wipe out the views under it.
    if (auto gc = currentGC()) {
        context.beginTransparencyLayer();
        gc->applyTo(context);
        context.endTransparencyLayer();
    }
    if (m_clientCanvas)
        m_clientCanvas->setNeedsDisplay();
}

void CanvasView::enableClientCanvas()
{
    if (m_clientCanvas)
        return;
    m_clientCanvas = ClientCanvasView::create(m_parentObject.lock());
    addSubview(m_clientCanvas);
    auto self = std::static_pointer_cast<CanvasView>(shared_from_this());
    using platform::LayoutAttribute;
    for (auto attribute : { LayoutAttribute::Top, LayoutAttribute::Bottom, LayoutAttribute::Left, LayoutAttribute::Right })
        addConstraint(platform::LayoutConstraint::create(m_clientCanvas, attribute, platform::LayoutRelation::Equal,
            self, attribute));
}

void CanvasView::destroy()
{
    if (m_clientCanvas)
        m_clientCanvas->destroy();
}

} // namespace morvix
