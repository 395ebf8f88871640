#pragma once
// An offscreen drawing surface sized in points.

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Size.h"

#include <memory>

typedef struct _cairo_surface cairo_surface_t;

namespace morvix::platform {

class Image;

enum class Opaque { No, Yes };

/// An offscreen picture of `size` points at `scale` pixels per point (each side rounded up to
/// whole pixels), drawn through a GraphicsContext whose user space is in points with the origin
/// at the top left. It starts transparent (black when opaque), with lines 1 point wide. A size that gives no pixel, or
/// more than Image::kMaxPixels, makes an invalid context: drawing does nothing and image() is
/// null. Not copyable; one thread at a time.
class ImageContext final {
public:
    ImageContext(Size size, Opaque opaque, double scale);
    ~ImageContext();
    ImageContext(const ImageContext&) = delete;
    ImageContext& operator=(const ImageContext&) = delete;

    bool isValid() const { return m_context != nullptr; }
    /// The drawing context. Only when valid.
    GraphicsContext& context();
    /// A copy of what has been drawn so far, with the context's scale; null when invalid.
    std::shared_ptr<Image> image() const;

    int pixelWidth() const { return m_pixelWidth; }
    int pixelHeight() const { return m_pixelHeight; }
    double scale() const { return m_scale; }

private:
    cairo_surface_t* m_surface = nullptr;
    std::unique_ptr<GraphicsContext> m_context;
    int m_pixelWidth = 0;
    int m_pixelHeight = 0;
    double m_scale = 1;
};

} // namespace morvix::platform
