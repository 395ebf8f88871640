#pragma once
// The geometry of images: fitting, scaling, placeholders and the orientation fix.

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Size.h"

#include <memory>
#include <optional>

namespace morvix {

namespace platform {
class BitmapContext;
class Image;
}

/// Image geometry shared by the image loader and the camera service. Sizes are in points unless
/// a name says pixels. Pixel sizes are truncated to whole numbers; a size that truncates to 0
/// pixels gives no image, and so does one beyond `platform::Image::kMaxPixels` or `kMaxSide`,
/// before anything is allocated. Any thread; the screen's scale is read from
/// `platform::Screen::main()`.
class ImageHelper final {
public:
    using ImagePtr = std::shared_ptr<platform::Image>;

    ImageHelper() = delete;

    /// The image fitted for display: to `toSize` by `computeSizeByScaling(size, toSize)` unless
    /// that is 0 x 0, else by `computeSizeByScaling(size, image scale, scale)`. The image itself
    /// when the size stays the same (or the image has no area); null for null, or when the
    /// fitted bitmap would be beyond the pixel limits.
    static ImagePtr projectImage(const ImagePtr& image, platform::Size toSize, std::optional<double> scale);
    /// The size in points `projectImage` gives the image (its own size when it has no area).
    static platform::Size projectedSize(const platform::Image& image, platform::Size toSize, std::optional<double> scale);
    /// The image itself when it fits into `toSize` (see `doesImage`), else scaled down to the
    /// floor of the fitting size, redrawn upright at `scale` pixels per point (the screen's when
    /// not given). A picture bound for the peer asks for scale 1, so that its pixels are the
    /// size asked for whatever the screen's scale.
    static ImagePtr restrictImage(const ImagePtr& image, platform::Size toSize, std::optional<double> scale = std::nullopt);
    /// The picture redrawn upright (orientation Up) on its own pixel grid, keeping its scale, as
    /// `Image::upright()` turns it; an upright image is returned unchanged.
    static ImagePtr fixOrientation(const ImagePtr& image);
    /// A transparent image of the size at scale 1; null when a side truncates to 0 pixels or
    /// the size is beyond the pixel limits.
    static ImagePtr createPlaceholder(platform::Size size);
    /// The image redrawn upright at `size` at the screen's scale, with high interpolation.
    static ImagePtr scaleImage(const ImagePtr& image, platform::Size size);

    /// `size` scaled into `target`, keeping its aspect ratio (enlarging as well as reducing); a
    /// target side of 0 (or less) is unbounded, a 0 x 0 target or a size without area keeps
    /// the size.
    static platform::Size computeSizeByScaling(platform::Size size, platform::Size target);
    /// `size` x original / required; a missing required scale counts as 1.
    static platform::Size computeSizeByScaling(platform::Size size, double originalScale, std::optional<double> requiredScale);
    /// min(area width / width, area height / height).
    static double computeScaleToFitRatio(platform::Size size, platform::Size area);

    static bool isTilted(const platform::Image& image);
    /// Whether the image's size fits into `size` (with the sides exchanged for tilted images).
    static bool doesImage(const platform::Image& image, platform::Size fitInto);

    /// Extends `transform` by the rotation that turns the image upright when drawn at
    /// `size` (its upright size) in a space whose y axis points up.
    static void applyRotationTo(platform::AffineTransform& transform, const platform::Image& image, platform::Size size);
    /// Extends `transform` by the mirroring of mirrored orientations, as above.
    static void applyMirroringTo(platform::AffineTransform& transform, const platform::Image& image, platform::Size size);
    /// Draws the image's stored pixels at the origin at `pixelSize` (the sides exchanged when
    /// the image is tilted) into `bitmap`, whose space the caller has flipped to point y up,
    /// and answers the bitmap's content as an upright image of `scale`.
    static ImagePtr materialize(const platform::Image& image, platform::BitmapContext& bitmap, platform::Size pixelSize, double scale);

    /// Whether a bitmap of `pixelSize` (not yet truncated) stays within the image limits.
    static bool fitsPixelLimits(platform::Size pixelSize);

private:
    /// Draws the image upright filling a bitmap of `pixelSize` and answers it at `scale`.
    static ImagePtr redrawUpright(const platform::Image& image, platform::Size pixelSize, double scale);
};

} // namespace morvix
