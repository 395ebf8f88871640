#include "widgets/images/ImageHelper.h"

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Screen.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <numbers>

namespace morvix {

using platform::AffineTransform;
using platform::Image;
using platform::ImageOrientation;
using platform::Size;

namespace {

// The transforms are built from rotations by multiples of pi/2, whose sines and cosines come
// out a hair off 0 and 1; snapping them keeps the pixels on the grid, so nothing is blended.
AffineTransform snapped(AffineTransform transform)
{
    for (double* value : { &transform.a, &transform.b, &transform.c, &transform.d, &transform.tx, &transform.ty }) {
        double nearest = std::round(*value);
        if (std::abs(*value - nearest) < 1e-9)
            *value = nearest;
    }
    return transform;
}

// What CGAffineTransformTranslate, ...Rotate and ...Scale do: the new step comes first.
void prependTranslation(AffineTransform& transform, double x, double y)
{
    transform = AffineTransform::translation(x, y).concatenated(transform);
}

void prependRotation(AffineTransform& transform, double radians)
{
    transform = AffineTransform::rotation(radians).concatenated(transform);
}

void prependScale(AffineTransform& transform, double sx, double sy)
{
    transform = AffineTransform::scale(sx, sy).concatenated(transform);
}

} // namespace

bool ImageHelper::fitsPixelLimits(Size pixelSize)
{
    double width = std::trunc(pixelSize.width);
    double height = std::trunc(pixelSize.height);
    return width <= Image::kMaxSide && height <= Image::kMaxSide && width * height <= double(Image::kMaxPixels);
}

ImageHelper::ImagePtr ImageHelper::projectImage(const ImagePtr& image, Size toSize, std::optional<double> scale)
{
    if (!image)
        return nullptr;
    Size newSize = projectedSize(*image, toSize, scale);
    if (newSize == image->size())
        return image;
    return scaleImage(image, newSize);
}

Size ImageHelper::projectedSize(const Image& image, Size toSize, std::optional<double> scale)
{
    Size size = image.size();
    // A picture without area is handed on as it is, never divided by.
    if (size.width <= 0 || size.height <= 0)
        return size;
    return toSize == Size() ? computeSizeByScaling(size, image.scale(), scale) : computeSizeByScaling(size, toSize);
}

ImageHelper::ImagePtr ImageHelper::restrictImage(const ImagePtr& image, Size toSize, std::optional<double> scale)
{
    if (!image || doesImage(*image, toSize))
        return image;
    Size size = image->size();
    double ratio = computeScaleToFitRatio(size, toSize);
    Size fitted { std::floor(ratio * size.width), std::floor(ratio * size.height) };
    if (!scale)
        return scaleImage(image, fitted);
    return redrawUpright(*image, { fitted.width * *scale, fitted.height * *scale }, *scale);
}

ImageHelper::ImagePtr ImageHelper::fixOrientation(const ImagePtr& image)
{
    if (!image || image->orientation() == ImageOrientation::Up)
        return image;
    bool tilted = image->isTilted();
    Size pixels { double(tilted ? image->pixelHeight() : image->pixelWidth()), double(tilted ? image->pixelWidth() : image->pixelHeight()) };
    return redrawUpright(*image, pixels, image->scale());
}

ImageHelper::ImagePtr ImageHelper::createPlaceholder(Size size)
{
    if (!(size.width >= 1 && size.height >= 1) || !fitsPixelLimits(size))
        return nullptr;
    return Image::createTransparent(int(size.width), int(size.height), 1);
}

ImageHelper::ImagePtr ImageHelper::scaleImage(const ImagePtr& image, Size size)
{
    if (!image)
        return nullptr;
    double scale = platform::Screen::main().scale();
    return redrawUpright(*image, { size.width * scale, size.height * scale }, scale);
}

ImageHelper::ImagePtr ImageHelper::redrawUpright(const Image& image, Size pixelSize, double scale)
{
    if (!(pixelSize.width >= 1 && pixelSize.height >= 1) || !fitsPixelLimits(pixelSize))
        return nullptr;
    Size pixels { std::trunc(pixelSize.width), std::trunc(pixelSize.height) };
    platform::BitmapContext bitmap(int(pixels.width), int(pixels.height));
    if (!bitmap.isValid())
        return nullptr;
    auto& context = bitmap.context();
    context.setInterpolation(platform::Interpolation::High);
    // The orientation transforms are written for a bitmap whose y axis points up; the bitmap
    // here points y down, so they are applied in a flipped space.
    context.translate(0, pixels.height);
    context.scale(1, -1);
    AffineTransform transform;
    applyRotationTo(transform, image, pixels);
    applyMirroringTo(transform, image, pixels);
    context.concat(snapped(transform));
    return materialize(image, bitmap, pixels, scale);
}

Size ImageHelper::computeSizeByScaling(Size size, Size target)
{
    if (target == Size() || size.width <= 0 || size.height <= 0)
        return size;
    constexpr double kUnbounded = std::numeric_limits<double>::max();
    double width = target.width > 0 ? target.width : kUnbounded;
    double height = target.height > 0 ? target.height : kUnbounded;
    double ratio = std::min(width / size.width, height / size.height);
    return { size.width * ratio, size.height * ratio };
}

Size ImageHelper::computeSizeByScaling(Size size, double originalScale, std::optional<double> requiredScale)
{
    double required = requiredScale.value_or(1.0);
    return { size.width * originalScale / required, size.height * originalScale / required };
}

double ImageHelper::computeScaleToFitRatio(Size size, Size area)
{
    return std::min(area.width / size.width, area.height / size.height);
}

bool ImageHelper::isTilted(const Image& image)
{
    return image.isTilted();
}

bool ImageHelper::doesImage(const Image& image, Size fitInto)
{
    Size size = image.size();
    if (isTilted(image))
        return size.width <= fitInto.height && size.height <= fitInto.width;
    return size.width <= fitInto.width && size.height <= fitInto.height;
}

void ImageHelper::applyRotationTo(AffineTransform& transform, const Image& image, Size size)
{
    switch (image.orientation()) {
    case ImageOrientation::Down:
    case ImageOrientation::DownMirrored:
        prependTranslation(transform, size.width, size.height);
        prependRotation(transform, std::numbers::pi);
        return;
    case ImageOrientation::Left:
    case ImageOrientation::LeftMirrored:
        prependTranslation(transform, size.width, 0);
        prependRotation(transform, std::numbers::pi / 2);
        return;
    case ImageOrientation::Right:
    case ImageOrientation::RightMirrored:
        prependTranslation(transform, 0, size.height);
        prependRotation(transform, -std::numbers::pi / 2);
        return;
    case ImageOrientation::Up:
    case ImageOrientation::UpMirrored:
        return;
    }
}

void ImageHelper::applyMirroringTo(AffineTransform& transform, const Image& image, Size size)
{
    switch (image.orientation()) {
    case ImageOrientation::UpMirrored:
    case ImageOrientation::DownMirrored:
        prependTranslation(transform, size.width, 0);
        prependScale(transform, -1, 1);
        return;
    case ImageOrientation::LeftMirrored:
    case ImageOrientation::RightMirrored:
        prependTranslation(transform, size.height, 0);
        prependScale(transform, -1, 1);
        return;
    case ImageOrientation::Up:
    case ImageOrientation::Down:
    case ImageOrientation::Left:
    case ImageOrientation::Right:
        return;
    }
}

ImageHelper::ImagePtr ImageHelper::materialize(const Image& image, platform::BitmapContext& bitmap, Size pixelSize, double scale)
{
    Size drawn = isTilted(image) ? Size { pixelSize.height, pixelSize.width } : pixelSize;
    auto& context = bitmap.context();
    // Cached images are fitted for several views at once, and cairo keeps caches on the
    // surfaces it draws from: one picture is drawn from one thread at a time.
    static std::mutex drawing;
    std::lock_guard lock(drawing);
    // A bitmap drawn into a y-up space puts its first row at the top of the rectangle.
    context.save();
    context.translate(0, drawn.height);
    context.scale(1, -1);
    context.drawImage(*image.withScale(1, ImageOrientation::Up), { 0, 0, drawn.width, drawn.height });
    context.restore();
    return bitmap.image(scale, ImageOrientation::Up);
}

} // namespace morvix
