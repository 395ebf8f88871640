#include "widgets/containers/UIZoomImageView.h"

#include "platform/graphics/Image.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/gestures/TapGestureRecognizer.h"
#include "widgets/images/ImageHelper.h"

#include <algorithm>

namespace morvix {

using platform::LayoutAttribute;
using platform::LayoutConstraint;
using platform::LayoutRelation;

namespace {

constexpr float kDoubleTapZoomFactor = 1.5f;

} // namespace

std::shared_ptr<UIZoomImageView> UIZoomImageView::create(const std::optional<platform::Value>& image,
    std::weak_ptr<ClientContext> client)
{
    (void)image;
    auto zoom = std::shared_ptr<UIZoomImageView>(new UIZoomImageView(std::move(client)));
    zoom->setUp();
    return zoom;
}

UIZoomImageView::UIZoomImageView(std::weak_ptr<ClientContext> client)
    : m_imageScrollView(platform::ScrollView::create())
    , m_imageView(platform::ImageView::create())
    , m_client(std::move(client))
{
}

void UIZoomImageView::setUp()
{
    m_imageScrollView->setAutoresizingMask(platform::AutoresizingFlexibleWidth | platform::AutoresizingFlexibleHeight);
    m_imageScrollView->setTranslatesAutoresizingMaskIntoConstraints(false);
    m_imageScrollView->setDelegate(weak_from_this());

    m_imageView->setTranslatesAutoresizingMaskIntoConstraints(false);
    m_imageScrollView->addSubview(m_imageView);
    m_imageScrollView->addConstraint(LayoutConstraint::create(m_imageView, LayoutAttribute::Top, LayoutRelation::Equal,
        m_imageScrollView, LayoutAttribute::Top, 1.0, 0));
    m_imageScrollView->addConstraint(LayoutConstraint::create(m_imageView, LayoutAttribute::Left, LayoutRelation::Equal,
        m_imageScrollView, LayoutAttribute::Left, 1.0, 0));
    m_imageView->setUserInteractionEnabled(true);
    m_imageView->setContentMode(platform::ContentMode::ScaleAspectFit);

    applyScrollViewSettings();

    std::weak_ptr<UIZoomImageView> weak = weak_from_this();
    m_doubleTap = platform::TapGestureRecognizer::create([weak](platform::GestureRecognizer& recognizer) {
        if (auto self = weak.lock())
            self->handleDoubleTap(recognizer);
    });
    m_doubleTap->setNumberOfTapsRequired(2);
    m_imageView->addGestureRecognizer(m_doubleTap);

    computeZoom();
}

void UIZoomImageView::applyScrollViewSettings()
{
    auto& scroll = *m_imageScrollView;
    scroll.setShowsHorizontalScrollIndicator(true);
    scroll.setShowsVerticalScrollIndicator(true);
    scroll.setScrollEnabled(true);
    scroll.setBounces(true);
    scroll.setBouncesZoom(true);
    scroll.setDelaysContentTouches(true);
    scroll.setCanCancelContentTouches(true);
    scroll.setUserInteractionEnabled(true);
    scroll.setMultipleTouchEnabled(true);
    scroll.setClipsToBounds(true);
    scroll.setAutoresizesSubviews(true);
    scroll.setMinimumZoomScale(1.0);
    scroll.setZoomScale(1.0);
}

std::shared_ptr<platform::View> UIZoomImageView::viewForZooming(platform::ScrollView& scrollView)
{
    (void)scrollView;
    return m_imageView;
}

void UIZoomImageView::setImage(std::shared_ptr<platform::Image> image)
{
    if (!m_imageScrollView)
        return;
    applyScrollViewSettings();
    m_imageView->setImage(std::move(image));
    // The layout pass would size the view from the image too; sizing it now lets the zoom
    // below see the new size at once.
    if (m_imageView->image())
        m_imageView->sizeToFit();
    m_imageScrollView->setNeedsLayout();
    computeZoom();
}

void UIZoomImageView::setSize(platform::Size size)
{
    if (!m_imageScrollView)
        return;
    m_imageScrollView->setFrame({ 0, 0, size.width, size.height });
    computeZoom();
}

void UIZoomImageView::computeZoom()
{
    platform::Size frame = m_imageScrollView->frame().size;
    const auto& image = m_imageView->image();
    platform::Size size = image ? image->size() : platform::Size {};
    // Without a frame or an image there is nothing to fit: dividing would give 0 or no number.
    if (!(frame.width > 0 && frame.height > 0 && size.width > 0 && size.height > 0))
        return;
    double zoom = std::min(frame.width / size.width, frame.height / size.height);
    m_imageScrollView->setMinimumZoomScale(zoom);
    m_imageScrollView->setZoomScale(zoom, platform::Animated::No);
}

void UIZoomImageView::handleDoubleTap(platform::GestureRecognizer& recognizer)
{
    if (!m_imageScrollView)
        return;
    float scale = static_cast<float>(m_imageScrollView->zoomScale()) * kDoubleTapZoomFactor;
    platform::Size size = m_imageScrollView->bounds().size;
    platform::Size zoomed { size.width / scale, size.height / scale };
    platform::Point tap = recognizer.locationIn(m_imageView.get());
    m_imageScrollView->zoomToRect({ tap.x - zoomed.width / 2, tap.y - zoomed.height / 2, zoomed.width, zoomed.height },
        platform::Animated::Yes);
}

void UIZoomImageView::destroy()
{
    if (!m_imageScrollView)
        return;
    m_imageView->setImage(nullptr);
    m_imageView->removeFromSuperview();
    m_imageScrollView->removeFromSuperview();
    m_imageView.reset();
    m_imageScrollView.reset();
}

std::shared_ptr<platform::Image> UIZoomImageView::createPlaceholder(platform::Size size)
{
    return ImageHelper::createPlaceholder(size);
}

} // namespace morvix
