#include "platform/graphics/ImageContext.h"

#include "platform/graphics/Image.h"

#include <cairo.h>

#include <cassert>
#include <cmath>

namespace morvix::platform {

namespace {

// Whole pixels for a side of `points` at `scale`; 0 when unusable. The small tolerance keeps a
// side like 3 x 1.1 (3.3000000000000003) from growing to 4 pixels.
int pixelSide(double points, double scale)
{
    double pixels = points * scale;
    if (!std::isfinite(pixels) || pixels <= 0 || pixels > Image::kMaxSide)
        return 0;
    return int(std::ceil(pixels - 1e-9));
}

} // namespace

ImageContext::ImageContext(Size size, Opaque opaque, double scale)
    : m_scale(scale > 0 && std::isfinite(scale) ? scale : 1)
{
    int width = pixelSide(size.width, m_scale);
    int height = pixelSide(size.height, m_scale);
    if (width == 0 || height == 0 || long(width) * height > Image::kMaxPixels)
        return;
    m_surface = cairo_image_surface_create(opaque == Opaque::Yes ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(m_surface) != CAIRO_STATUS_SUCCESS)
        return;
    m_pixelWidth = width;
    m_pixelHeight = height;
    cairo_t* cr = cairo_create(m_surface);
    cairo_scale(cr, m_scale, m_scale);
    cairo_set_line_width(cr, 1);  // the platform's default; cairo's own is 2
    m_context = std::make_unique<GraphicsContext>(cr);
    cairo_destroy(cr);
}

ImageContext::~ImageContext()
{
    m_context.reset();
    if (m_surface)
        cairo_surface_destroy(m_surface);
}

GraphicsContext& ImageContext::context()
{
    assert(m_context && "drawing into an invalid image context");
    return *m_context;
}

std::shared_ptr<Image> ImageContext::image() const
{
    if (!m_context)
        return nullptr;
    cairo_surface_flush(m_surface);
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, m_pixelWidth, m_pixelHeight);
    cairo_t* cr = cairo_create(copy);
    cairo_set_source_surface(cr, m_surface, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    return Image::adopt(copy, m_scale);
}

} // namespace morvix::platform
