#include "platform/ui/controls/ImageView.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"

#include <algorithm>

namespace morvix::platform {

std::shared_ptr<ImageView> ImageView::create(const Rect& frame)
{
    return std::shared_ptr<ImageView>(new ImageView(frame));
}

std::shared_ptr<ImageView> ImageView::create(std::shared_ptr<Image> image)
{
    Rect frame = image ? Rect({}, image->size()) : Rect();
    auto view = create(frame);
    view->setImage(std::move(image));
    return view;
}

ImageView::ImageView(const Rect& frame)
    : View(frame)
{
    setUserInteractionEnabled(false);
    setOpaque(false);
}

void ImageView::setImage(std::shared_ptr<Image> image)
{
    if (m_image == image)
        return;
    m_image = std::move(image);
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void ImageView::setHighlightedImage(std::shared_ptr<Image> image)
{
    m_highlightedImage = std::move(image);
    setNeedsDisplay();
}

void ImageView::setHighlighted(bool highlighted)
{
    m_highlighted = highlighted;
    setNeedsDisplay();
}

void ImageView::setContentMode(ContentMode mode)
{
    m_contentMode = mode;
    setNeedsDisplay();
}

const std::shared_ptr<Image>& ImageView::shownImage() const
{
    if (m_highlighted && m_highlightedImage)
        return m_highlightedImage;
    return m_image;
}

Size ImageView::intrinsicContentSize() const
{
    if (!m_image)
        return { kNoIntrinsicMetric, kNoIntrinsicMetric };
    return m_image->size();
}

Size ImageView::sizeThatFits(Size size) const
{
    if (!m_image)
        return View::sizeThatFits(size);
    return m_image->size();
}

Rect ImageView::placement(Size image, const Rect& bounds, ContentMode mode)
{
    double left = bounds.x();
    double top = bounds.y();
    double centerX = bounds.x() + (bounds.width() - image.width) / 2;
    double centerY = bounds.y() + (bounds.height() - image.height) / 2;
    double right = bounds.maxX() - image.width;
    double bottom = bounds.maxY() - image.height;
    switch (mode) {
    case ContentMode::ScaleToFill:
    case ContentMode::Redraw:
        return bounds;
    case ContentMode::ScaleAspectFit:
    case ContentMode::ScaleAspectFill: {
        if (image.width <= 0 || image.height <= 0)
            return bounds;
        double sx = bounds.width() / image.width;
        double sy = bounds.height() / image.height;
        double ratio = mode == ContentMode::ScaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
        Size scaled { image.width * ratio, image.height * ratio };
        return { bounds.x() + (bounds.width() - scaled.width) / 2, bounds.y() + (bounds.height() - scaled.height) / 2, scaled.width, scaled.height };
    }
    case ContentMode::Center:
        return { centerX, centerY, image.width, image.height };
    case ContentMode::Top:
        return { centerX, top, image.width, image.height };
    case ContentMode::Bottom:
        return { centerX, bottom, image.width, image.height };
    case ContentMode::Left:
        return { left, centerY, image.width, image.height };
    case ContentMode::Right:
        return { right, centerY, image.width, image.height };
    case ContentMode::TopLeft:
        return { left, top, image.width, image.height };
    case ContentMode::TopRight:
        return { right, top, image.width, image.height };
    case ContentMode::BottomLeft:
        return { left, bottom, image.width, image.height };
    case ContentMode::BottomRight:
        return { right, bottom, image.width, image.height };
    }
    return bounds;
}

void ImageView::draw(GraphicsContext& context, const Rect& rect)
{
    (void)rect;
    const auto& image = shownImage();
    if (!image)
        return;
    context.drawImage(*image, placement(image->size(), bounds(), m_contentMode));
}

} // namespace morvix::platform
