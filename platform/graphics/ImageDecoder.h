#pragma once
// Picture decoding into Images: PNG and JPEG by their own libraries, other formats by gdk-pixbuf.

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

/// Decodes untrusted bytes into Images: PNG with libpng, JPEG with libjpeg, and GIF, TIFF, ICO,
/// BMP and WebP through gdk-pixbuf's loader for that format (WebP only where one is installed).
/// Every decoder reads the picture's dimensions first and refuses pictures beyond the limits
/// before allocating pixels; broken or truncated input gives null (a truncated JPEG may give the
/// part that arrived, as libjpeg fills the missing rows). The work a picture can cause is bounded
/// by its size in bytes as well: a BMP must hold the rows its header announces, a JPEG may have
/// at most 100 scans, and of a GIF only the first frame is read. JPEG and TIFF pictures keep their
/// recorded orientation as the image's orientation; the pixels are not turned. Failures are not
/// logged: the callers report a picture that did not decode. Stateless; any thread.
class ImageDecoder final {
public:
    /// The formats read by libraries of their own; every other format counts as Unknown here.
    enum class Format { Unknown, PNG, JPEG };
    /// The formats read through gdk-pixbuf.
    enum class PixbufFormat { GIF, TIFF, ICO, BMP, WebP };

    using Limits = ImageDecodeLimits;

    /// The format by the leading signature bytes.
    static Format sniff(std::span<const std::uint8_t> data);
    /// The gdk-pixbuf format by the leading signature bytes; nothing for any other format.
    static std::optional<PixbufFormat> sniffPixbuf(std::span<const std::uint8_t> data);

    /// Decodes by signature; null for unknown formats and undecodable input.
    static std::shared_ptr<Image> decode(std::span<const std::uint8_t> data, double scale = 1, const Limits& limits = {});
    static std::shared_ptr<Image> decodePNG(std::span<const std::uint8_t> data, double scale = 1, const Limits& limits = {});
    /// Colour (YCbCr, RGB), grey and CMYK JPEGs are decoded; one of more than 100 scans is not.
    static std::shared_ptr<Image> decodeJPEG(std::span<const std::uint8_t> data, double scale = 1, const Limits& limits = {});
    /// Decodes a picture in one of the PixbufFormats, found by its signature: a GIF's first frame
    /// (the bytes after it are not read), a TIFF's first page, an icon's largest picture, a BMP
    /// whose rows are all in the data. Null for other formats, and for a format whose loader is
    /// not installed.
    static std::shared_ptr<Image> decodeWithPixbuf(std::span<const std::uint8_t> data, double scale = 1, const Limits& limits = {});

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
