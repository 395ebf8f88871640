#pragma once
// PNG and JPEG decoding into Images.

#include "platform/graphics/Image.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace morvix::platform {

/// Upper bounds that decoders check before any pixel memory is allocated.
struct ImageDecodeLimits {
    long maxPixels = Image::kMaxPixels;
    int maxSide = Image::kMaxSide;
};

/// Decodes untrusted bytes into Images with libpng and libjpeg. Every decoder reads the
/// picture's dimensions first and refuses pictures beyond the limits before allocating pixels;
/// broken or truncated input gives null (a truncated JPEG may give the part that arrived, as
/// libjpeg fills the missing rows). JPEG pictures keep their EXIF orientation as the image's
/// orientation; the pixels are not turned. Stateless; any thread.
class ImageDecoder final {
public:
    enum class Format { Unknown, PNG, JPEG };

    using Limits = ImageDecodeLimits;

    /// The format by the leading signature bytes.
    static Format sniff(std::span<const std::uint8_t> data);

    /// Decodes by signature; null for unknown formats and undecodable input.
    static std::shared_ptr<Image> decode(std::span<const std::uint8_t> data, double scale = 1, const Limits& limits = {});
    static std::shared_ptr<Image> decodePNG(std::span<const std::uint8_t> data, double scale = 1, const Limits& limits = {});
    /// Colour (YCbCr, RGB), grey and CMYK JPEGs are decoded.
    static std::shared_ptr<Image> decodeJPEG(std::span<const std::uint8_t> data, double scale = 1, const Limits& limits = {});

    /// What a JPEG's header says its samples are, without decoding them.
    enum class JpegColorSpace { Grayscale, Color, CMYK };

    /// The colour space recorded in a JPEG's header: CMYK for CMYK and YCCK; Color for YCbCr,
    /// RGB and anything else that is neither grey nor CMYK. Nothing when the header cannot be
    /// read (not a JPEG, or cut off before its first scan).
    static std::optional<JpegColorSpace> jpegColorSpace(std::span<const std::uint8_t> data);

    /// The orientation recorded in an EXIF block (the payload of an APP1 segment, starting with
    /// "Exif\0\0"); nothing when the block is malformed or has no valid Orientation tag.
    static std::optional<ImageOrientation> exifOrientation(std::span<const std::uint8_t> app1Payload);
};

} // namespace morvix::platform
