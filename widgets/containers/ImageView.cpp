#include "widgets/containers/ImageView.h"

#include "platform/graphics/Image.h"
#include "widgets/delegating/DelegatingImageView.h"
#include "widgets/images/ImageViewMorvix.h"

namespace morvix {

using platform::ContentMode;
using platform::Value;

namespace {

struct ScaleMode {
    std::string_view name;
    ContentMode mode;
};

constexpr ScaleMode kScaleModes[] = {
    { "fit", ContentMode::ScaleAspectFit },
    { "fill", ContentMode::ScaleAspectFill },
    { "stretch", ContentMode::ScaleToFill },
    { "none", ContentMode::Center },
};

} // namespace

const WireTable& ImageView::wire()
{
    static const WireTable table = WireTable::extend(Control::wire()).events(Control::touchEvents());
    return table;
}

const PropertyTable& ImageView::properties()
{
    static const PropertyTable table = PropertyTable::extend<ImageView>(Control::properties())
                                           .array("image", &ImageView::setImage, &ImageView::image)
                                           .string("scaleMode", &ImageView::setScaleMode, &ImageView::scaleMode)
                                           .color("foreground", &ImageView::setForeground, &ImageView::tint)
                                           .boolean("touchstartListener",
                                               [](ImageView& self, bool listen) { self.setTouchListener(&ImageView::m_touchstartListener, listen); },
                                               &ImageView::touchstartListener)
                                           .boolean("touchmoveListener",
                                               [](ImageView& self, bool listen) { self.setTouchListener(&ImageView::m_touchmoveListener, listen); },
                                               &ImageView::touchmoveListener)
                                           .boolean("touchendListener",
                                               [](ImageView& self, bool listen) { self.setTouchListener(&ImageView::m_touchendListener, listen); },
                                               &ImageView::touchendListener)
                                           .boolean("touchcancelListener",
                                               [](ImageView& self, bool listen) { self.setTouchListener(&ImageView::m_touchcancelListener, listen); },
                                               &ImageView::touchcancelListener);
    return table;
}

const PropertyNames& ImageView::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(Control::remoteObjectProperties(), { "image", "scaleMode" });
    return names;
}

ImageView::ImageView(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(id), std::move(client))
    , m_imageView(DelegatingImageView::create())
    , m_loader(platform::ImageView::create())
{
}

ImageView::~ImageView() = default;

void ImageView::didConstruct()
{
    RemoteClass::didConstruct();
    m_imageView->setDelegate(std::static_pointer_cast<ImageView>(shared_from_this()));
    m_imageView->setClipsToBounds(true);
    m_imageView->setUserInteractionEnabled(true);
    updateForAutoScaleMode();
}

std::shared_ptr<platform::View> ImageView::view() const
{
    return m_imageView;
}

void ImageView::setTouchListener(bool Control::*flag, bool listen)
{
    this->*flag = listen;
    m_imageView->setUserInteractionEnabled(hasTouchListener());
}

void ImageView::setForeground(std::optional<platform::Color> color)
{
    m_imageView->setTintColor(color);
}

std::optional<platform::Color> ImageView::tint() const
{
    return m_imageView->tintColor();
}

void ImageView::setScaleMode(std::optional<std::string> mode)
{
    for (const auto& known : kScaleModes) {
        if (mode && *mode == known.name) {
            m_scaleMode = std::move(mode);
            m_imageView->setContentMode(known.mode);
            return;
        }
    }
    m_scaleMode = std::string("auto");
    updateForAutoScaleMode();
}

void ImageView::updateForAutoScaleMode()
{
    if (m_scaleMode != "auto")
        return;
    platform::Size size = m_imageView->image() ? m_imageView->image()->size() : platform::Size {};
    platform::Rect bounds = m_imageView->bounds();
    bool inside = size.width <= bounds.width() && size.height <= bounds.height();
    m_imageView->setContentMode(inside ? ContentMode::Center : ContentMode::ScaleAspectFit);
}

void ImageView::sizeChanged(platform::Size size)
{
    updateForAutoScaleMode();
    RemoteClass::sizeChanged(size);
}

void ImageView::setImage(std::optional<Value> image)
{
    if (image && image->is_null())
        image.reset();
    m_image = image;
    if (!image) {
        ImageViewMorvix::cancelImageRequestOperation(*m_loader);
        m_imageView->setImage(nullptr);
        return;
    }
    std::weak_ptr<ImageView> weak = std::static_pointer_cast<ImageView>(shared_from_this());
    ImageViewMorvix::setImageWithProperties(m_loader, *image, client(),
        [weak](const auto&, const auto&, const std::shared_ptr<platform::Image>& loaded) {
            if (auto self = weak.lock())
                self->showImage(loaded);
        },
        [](const auto&, const auto&, const platform::Error&) { });
}

void ImageView::showImage(const std::shared_ptr<platform::Image>& image)
{
    m_imageView->setImage(image);
    updateForAutoScaleMode();
}

} // namespace morvix
