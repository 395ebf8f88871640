#pragma once
// A decoded picture on a cairo image surface.

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/EdgeInsets.h"
#include "platform/graphics/Rect.h"
#include "platform/graphics/Size.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace morvix::platform {

/// How the stored pixels are turned to be seen upright. The values are the platform's codes
/// (0 to 7); tilted orientations (left, right and their mirrors) exchange width and height.
enum class ImageOrientation {
    Up = 0,
    Down = 1,
    Left = 2,
    Right = 3,
    UpMirrored = 4,
    DownMirrored = 5,
    LeftMirrored = 6,
    RightMirrored = 7,
};

/// How the middle parts of a resizable image fill the space between its caps.
enum class ResizingMode { Tile, Stretch };

/// One pixel with straight (not premultiplied) 8-bit components.
struct Pixel {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;

    bool operator==(const Pixel&) const = default;
};

/// An immutable picture: a cairo ARGB32 surface (premultiplied alpha) with a scale (pixels per
/// point) and an orientation. Its size in points is the pixel size divided by the scale, with
/// width and height exchanged when the orientation is tilted. Images are shared by
/// `std::shared_ptr` and never change after creation, so they may be handed between threads;
/// draw one image from one thread at a time, since cairo keeps caches on its source surfaces.
class Image final {
    struct Token { };

public:
    /// Wraps `surface`, taking over the caller's reference. The surface is converted to ARGB32
    /// when it has another format. Null for a null or failed surface, or a scale of 0 or less.
    static std::shared_ptr<Image> adopt(cairo_surface_t* surface, double scale = 1,
        ImageOrientation orientation = ImageOrientation::Up);
    /// A fully transparent image of the given pixel size; null when a side is below 1 or the
    /// size is beyond `kMaxPixels`.
    static std::shared_ptr<Image> createTransparent(int pixelWidth, int pixelHeight, double scale = 1);
    /// Decodes PNG or JPEG bytes (see ImageDecoder); null when the bytes are not a picture.
    static std::shared_ptr<Image> decode(std::span<const std::uint8_t> data, double scale = 1);
    /// Reads and decodes a file; null when it cannot be read or decoded, or is larger than
    /// `kMaxFileBytes`.
    static std::shared_ptr<Image> readFile(const std::string& path, double scale = 1);

    /// The most pixels an image may have: decoders refuse larger pictures before allocating.
    static constexpr long kMaxPixels = 40L * 1000 * 1000;
    /// The longest side in pixels (cairo's own limit is 32767).
    static constexpr int kMaxSide = 16384;
    /// The largest file `readFile` reads: well above any picture within `kMaxPixels`.
    static constexpr long long kMaxFileBytes = 512LL * 1024 * 1024;

    Image(Token, cairo_surface_t* surface, double scale, ImageOrientation orientation);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    int pixelWidth() const;
    int pixelHeight() const;
    double scale() const { return m_scale; }
    ImageOrientation orientation() const { return m_orientation; }
    /// True for left, right, left mirrored and right mirrored.
    bool isTilted() const;
    /// The upright size in points.
    Size size() const;

    /// The pixels in their stored (not yet oriented) grid. Borrowed: valid while the image lives.
    cairo_surface_t* surface() const { return m_surface; }

    /// The same pixels with another scale and orientation (shared, not copied).
    std::shared_ptr<Image> withScale(double scale, ImageOrientation orientation) const;
    /// The picture turned upright: orientation Up, same scale, pixels redrawn. The image itself
    /// (as a new handle on the same pixels) when it is already upright.
    std::shared_ptr<Image> upright() const;
    /// The same pixels, resizable: drawn into a rectangle of another size, the corners inside the
    /// cap insets (in points, measured on the upright picture) keep their size, the edges
    /// between them fill their length and the middle fills the rest, stretched or tiled. Negative
    /// insets count as 0. Caps wider than the rectangle they are drawn into shrink in proportion.
    std::shared_ptr<Image> resizable(EdgeInsets capInsets, ResizingMode mode = ResizingMode::Tile) const;
    /// Set only on images made by `resizable`; images made from this one are not resizable.
    const std::optional<EdgeInsets>& capInsets() const { return m_capInsets; }
    ResizingMode resizingMode() const { return m_resizingMode; }

    /// A copy of a rectangle of the stored pixel grid, clipped to the image; null when nothing
    /// of it lies inside. The copy keeps the scale and has the Up orientation.
    std::shared_ptr<Image> cropped(const Rect& pixelRect) const;

    /// The pixel at (x, y) of the stored grid, unpremultiplied; transparent black outside.
    Pixel pixelAt(int x, int y) const;

    /// The picture as PNG bytes, upright; empty when encoding fails.
    std::vector<std::uint8_t> pngData() const;
    /// Writes the upright picture as a PNG file. False when the file cannot be written.
    [[nodiscard]] bool writePNG(const std::string& path) const;
    /// The picture as baseline JPEG bytes, upright, at `quality` from 0 (smallest) to 1 (best),
    /// clamped to that range and mapped to libjpeg's 0 to 100, rounded. JPEG has no alpha:
    /// translucent pixels come out as if drawn over black. Empty when encoding fails.
    std::vector<std::uint8_t> encodeJPEG(double quality) const;

private:
    cairo_surface_t* m_surface;
    double m_scale;
    ImageOrientation m_orientation;
    std::optional<EdgeInsets> m_capInsets;
    ResizingMode m_resizingMode = ResizingMode::Tile;
};

/// True for the orientations that exchange width and height.
bool isTiltedOrientation(ImageOrientation orientation);

/// Maps the stored pixel grid of a `pixelWidth` x `pixelHeight` picture to its upright grid
/// (y down), for example (u, v) -> (pixelHeight - v, u) for Right.
AffineTransform orientationTransform(ImageOrientation orientation, int pixelWidth, int pixelHeight);

} // namespace morvix::platform
