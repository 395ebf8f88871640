#pragma once
// An offscreen drawing surface sized in pixels.

#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"

#include <memory>

namespace morvix::platform {

/// A transparent ARGB32 bitmap of a given pixel size (8 bits per component, premultiplied
/// alpha), drawn through a GraphicsContext whose user space is in pixels with the origin at the
/// top left (lines start 1 pixel wide); callers that want points scale the context themselves.
/// Images drawn into it come out upright, so code that flips a bottom-up bitmap to keep a
/// picture upright simply omits the flip here. A size below 1 pixel or beyond Image::kMaxPixels
/// makes an invalid context: image() is null. Not copyable; one thread at a time.
class BitmapContext final {
public:
    BitmapContext(int pixelWidth, int pixelHeight);
    ~BitmapContext();
    BitmapContext(const BitmapContext&) = delete;
    BitmapContext& operator=(const BitmapContext&) = delete;

    bool isValid() const { return m_context != nullptr; }
    /// The drawing context. Only when valid.
    GraphicsContext& context();
    /// A copy of the pixels as an image of the given scale and orientation; null when invalid.
    std::shared_ptr<Image> image(double scale = 1, ImageOrientation orientation = ImageOrientation::Up) const;

    int pixelWidth() const { return m_pixelWidth; }
    int pixelHeight() const { return m_pixelHeight; }

private:
    std::shared_ptr<Image> m_pixels;
    std::unique_ptr<GraphicsContext> m_context;
    int m_pixelWidth = 0;
    int m_pixelHeight = 0;
};

} // namespace morvix::platform
