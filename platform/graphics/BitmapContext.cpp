#include "platform/graphics/BitmapContext.h"

#include <cairo.h>

#include <cassert>

namespace morvix::platform {

BitmapContext::BitmapContext(int pixelWidth, int pixelHeight)
    : m_pixels(Image::createTransparent(pixelWidth, pixelHeight))
{
    if (!m_pixels)
        return;
    m_pixelWidth = pixelWidth;
    m_pixelHeight = pixelHeight;
    cairo_t* cr = cairo_create(m_pixels->surface());
    cairo_set_line_width(cr, 1);  // the platform's default; cairo's own is 2
    m_context = std::make_unique<GraphicsContext>(cr);
    cairo_destroy(cr);
}

BitmapContext::~BitmapContext() = default;

GraphicsContext& BitmapContext::context()
{
    assert(m_context && "drawing into an invalid bitmap context");
    return *m_context;
}

std::shared_ptr<Image> BitmapContext::image(double scale, ImageOrientation orientation) const
{
    if (!m_context)
        return nullptr;
    cairo_surface_flush(m_pixels->surface());
    auto copy = m_pixels->cropped(Rect(0, 0, m_pixelWidth, m_pixelHeight));
    return copy ? copy->withScale(scale, orientation) : nullptr;
}

} // namespace morvix::platform
