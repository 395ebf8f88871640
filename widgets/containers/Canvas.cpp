#include "widgets/containers/Canvas.h"

#include "widgets/containers/CanvasView.h"
#include "widgets/containers/GC.h"
#include "widgets/delegating/DelegatingView.h"

namespace morvix {

const EventDeclaration Canvas::kDrawingEvent {
    .name = "Drawing",
    .attributes = R"({"drawings": string})",
    .sentWithoutListen = true,
    .note = "when the user lifts the finger after drawing a stroke on a canvas whose \"data\" had \"clientCanvas\" "
            "true; \"drawings\" is the JSON text of [[\"foreground\", [r, g, b, a]], [\"lineWidth\", [width]], "
            "[\"path\", [x0, y0, x1, y1, ...]]], the stroke as the canvas's \"GC\" draws it",
};

const WireTable& Canvas::wire()
{
    static const WireTable table = WireTable::extend(AbstractComposite::wire()).events(Control::touchEvents()).event(kDrawingEvent);
    return table;
}

Canvas::Canvas(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_baseView(DelegatingView::create())
{
    m_baseView->setClipsToBounds(true);
}

Canvas::~Canvas() = default;

void Canvas::didConstruct()
{
    RemoteClass::didConstruct();
    auto self = std::static_pointer_cast<Canvas>(shared_from_this());
    m_baseView->setDelegate(self);
    m_canvas = CanvasView::create(self);
    m_baseView->addSubview(m_canvas);
}

std::shared_ptr<platform::View> Canvas::view() const
{
    return m_baseView;
}

platform::Size Canvas::intrinsicContentSize()
{
    return m_canvas->intrinsicContentSize();
}

void Canvas::setData(std::optional<platform::Value> data)
{
    RemoteClass::setData(data);
    if (data && data->is_object() && data->contains("clientCanvas")
        && platform::valuesEqual((*data)["clientCanvas"], true))
        enableClientCanvas();
}

void Canvas::setBackgroundImage(std::optional<platform::Value> image)
{
    if (image && image->is_null())
        image.reset();
    bool hasImage = image.has_value();
    RemoteClass::setBackgroundImage(image);
    if (hasImage)
        applyBackgroundImage(image, m_baseView);
    else
        m_baseView->setBackgroundColor(background());
}

void Canvas::sizeChanged(platform::Size size)
{
    m_canvas->setFrame({ 0, 0, size.width, size.height });
    RemoteClass::sizeChanged(size);
}

void Canvas::destroy()
{
    if (isDisposed())
        return;
    m_canvas->destroy();
    RemoteClass::destroy();
}

void Canvas::addObject(std::shared_ptr<RemoteObject> child)
{
    bool context = dynamic_cast<const GC*>(child.get()) != nullptr;
    RemoteClass::addObject(std::move(child));
    if (context)
        contentSizeChanged();
}

void Canvas::removeObject(const RemoteObject& child)
{
    RemoteClass::removeObject(child);
    if (dynamic_cast<const GC*>(&child))
        contentSizeChanged();
}

void Canvas::contentChanged()
{
    m_canvas->setNeedsDisplay();
}

void Canvas::contentSizeChanged()
{
    // The base view hands the canvas view's size on as its own: both are read again.
    m_canvas->invalidateIntrinsicContentSize();
    m_baseView->invalidateIntrinsicContentSize();
}

void Canvas::enableClientCanvas()
{
    m_canvas->enableClientCanvas();
}

} // namespace morvix
