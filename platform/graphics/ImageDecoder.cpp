#include "platform/graphics/ImageDecoder.h"

#include <cairo.h>
#include <png.h>
// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace morvix::platform {

namespace {

bool withinLimits(long width, long height, const ImageDecoder::Limits& limits)
{
    return width > 0 && height > 0 && width <= limits.maxSide && height <= limits.maxSide
        && width * height <= limits.maxPixels;
}

std::uint8_t premultiply(std::uint8_t component, std::uint8_t alpha)
{
    return std::uint8_t((unsigned(component) * alpha + 127) / 255);
}

// Creates the target surface; null when cairo refuses the size.
cairo_surface_t* createSurface(int width, int height)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS)
        return surface;
    cairo_surface_destroy(surface);
    return nullptr;
}

std::uint32_t packARGB(std::uint8_t alpha, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return std::uint32_t(alpha) << 24 | std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | blue;
}

// ---- JPEG ----------------------------------------------------------------------------------

// libjpeg reports fatal errors by calling error_exit, which must not return. We jump back to
// the decoding function; everything that needs freeing afterwards lives in this struct, never
// in an automatic C++ object of the jumping frame.
struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void jpegErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

void jpegSilentMessage(j_common_ptr) { }

struct JpegJob {
    jpeg_decompress_struct info;
    JpegErrorManager error;
    cairo_surface_t* surface = nullptr;
    unsigned char* row = nullptr;
    std::optional<ImageOrientation> orientation;
    bool cmyk = false;
    bool adobeInverted = false;
};

void readOrientation(JpegJob& job)
{
    for (jpeg_saved_marker_ptr marker = job.info.marker_list; marker; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1)
            continue;
        job.orientation = ImageDecoder::exifOrientation({ marker->data, marker->data_length });
        if (job.orientation)
            return;
    }
}

void convertRow(const JpegJob& job, const unsigned char* source, std::uint32_t* target, unsigned width)
{
    if (!job.cmyk) {
        // JCS_EXT_BGRA writes B, G, R, 255, which on little-endian hosts is ARGB32 with opaque
        // alpha; go through packARGB so that big-endian hosts get it right too.
        for (unsigned x = 0; x < width; ++x, source += 4)
            target[x] = packARGB(255, source[2], source[1], source[0]);
        return;
    }
    for (unsigned x = 0; x < width; ++x, source += 4) {
        unsigned c = source[0], m = source[1], y = source[2], k = source[3];
        // Adobe writes CMYK inverted (0 = full ink); other writers store ink amounts.
        if (!job.adobeInverted) {
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        }
        target[x] = packARGB(255, std::uint8_t(c * k / 255), std::uint8_t(m * k / 255), std::uint8_t(y * k / 255));
    }
}

bool isCmyk(J_COLOR_SPACE space)
{
    return space == JCS_CMYK || space == JCS_YCCK;
}

// Reads the header (with the APP1 markers that may carry EXIF) into `job->info`; returns false
// after a libjpeg error. The caller destroys `job->info` either way. Only `job` is touched
// between setjmp and longjmp, so nothing needs a destructor when the jump happens.
bool readJpegHeader(JpegJob* job, std::span<const std::uint8_t> data)
{
    job->info.err = jpeg_std_error(&job->error.base);
    job->error.base.error_exit = jpegErrorExit;
    job->error.base.output_message = jpegSilentMessage;
    job->error.base.emit_message = [](j_common_ptr, int) { };
    if (setjmp(job->error.jump))
        return false;
    jpeg_create_decompress(&job->info);
    jpeg_mem_src(&job->info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_save_markers(&job->info, JPEG_APP0 + 1, 0xffff);
    return jpeg_read_header(&job->info, TRUE) == JPEG_HEADER_OK;
}

// Runs the whole decompression; returns false after a libjpeg error. As in readJpegHeader,
// only `job` is touched between setjmp and longjmp.
bool runJpeg(JpegJob* job, std::span<const std::uint8_t> data, const ImageDecoder::Limits& limits)
{
    if (!readJpegHeader(job, data))
        return false;
    // The header reader's jump target is gone with its frame; errors from here on land here.
    if (setjmp(job->error.jump))
        return false;
    if (!withinLimits(job->info.image_width, job->info.image_height, limits))
        return false;
    readOrientation(*job);
    job->cmyk = isCmyk(job->info.jpeg_color_space);
    job->adobeInverted = job->cmyk && job->info.saw_Adobe_marker;
    job->info.out_color_space = job->cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&job->info);
    unsigned width = job->info.output_width;
    job->surface = createSurface(int(width), int(job->info.output_height));
    job->row = static_cast<unsigned char*>(std::malloc(std::size_t(width) * 4));
    if (!job->surface || !job->row)
        return false;
    unsigned char* pixels = cairo_image_surface_get_data(job->surface);
    int stride = cairo_image_surface_get_stride(job->surface);
    while (job->info.output_scanline < job->info.output_height) {
        unsigned y = job->info.output_scanline;
        JSAMPROW rows[1] = { job->row };
        if (jpeg_read_scanlines(&job->info, rows, 1) != 1)
            return false;
        convertRow(*job, job->row, reinterpret_cast<std::uint32_t*>(pixels + std::size_t(y) * stride), width);
    }
    jpeg_finish_decompress(&job->info);
    return true;
}

// ---- EXIF ----------------------------------------------------------------------------------

class TiffReader {
public:
    TiffReader(std::span<const std::uint8_t> tiff, bool bigEndian) : m_tiff(tiff), m_bigEndian(bigEndian) { }

    std::optional<std::uint32_t> read(std::size_t offset, std::size_t length) const
    {
        if (offset > m_tiff.size() || length > m_tiff.size() - offset)
            return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < length; ++i) {
            std::size_t index = m_bigEndian ? offset + i : offset + length - 1 - i;
            value = value << 8 | m_tiff[index];
        }
        return value;
    }

private:
    std::span<const std::uint8_t> m_tiff;
    bool m_bigEndian;
};

std::optional<ImageOrientation> orientationFromExifCode(std::uint32_t code)
{
    switch (code) {
    case 1: return ImageOrientation::Up;
    case 2: return ImageOrientation::UpMirrored;
    case 3: return ImageOrientation::Down;
    case 4: return ImageOrientation::DownMirrored;
    case 5: return ImageOrientation::LeftMirrored;
    case 6: return ImageOrientation::Right;
    case 7: return ImageOrientation::RightMirrored;
    case 8: return ImageOrientation::Left;
    }
    return std::nullopt;
}

// ---- PNG -----------------------------------------------------------------------------------

// libpng's simplified reader keeps its own error handling inside (no jump reaches us) and
// reports failures through its return value.
struct PngImage {
    png_image image {};
    PngImage() { image.version = PNG_IMAGE_VERSION; }
    ~PngImage() { png_image_free(&image); }
};

} // namespace

ImageDecoder::Format ImageDecoder::sniff(std::span<const std::uint8_t> data)
{
    static constexpr std::uint8_t pngSignature[] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    if (data.size() >= sizeof pngSignature && std::memcmp(data.data(), pngSignature, sizeof pngSignature) == 0)
        return Format::PNG;
    if (data.size() >= 3 && data[0] == 0xff && data[1] == 0xd8 && data[2] == 0xff)
        return Format::JPEG;
    return Format::Unknown;
}

std::shared_ptr<Image> ImageDecoder::decode(std::span<const std::uint8_t> data, double scale, const Limits& limits)
{
    switch (sniff(data)) {
    case Format::PNG:
        return decodePNG(data, scale, limits);
    case Format::JPEG:
        return decodeJPEG(data, scale, limits);
    case Format::Unknown:
        return nullptr;
    }
    return nullptr;
}

std::shared_ptr<Image> ImageDecoder::decodePNG(std::span<const std::uint8_t> data, double scale, const Limits& limits)
{
    if (data.empty() || !(scale > 0))
        return nullptr;
    PngImage png;
    if (!png_image_begin_read_from_memory(&png.image, data.data(), data.size()))
        return nullptr;
    if (!withinLimits(png.image.width, png.image.height, limits))
        return nullptr;
    png.image.format = PNG_FORMAT_BGRA;
    cairo_surface_t* surface = createSurface(int(png.image.width), int(png.image.height));
    if (!surface)
        return nullptr;
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    if (!png_image_finish_read(&png.image, nullptr, pixels, stride, nullptr)) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    // The reader gives straight B, G, R, A bytes; cairo wants premultiplied native-endian words.
    for (unsigned y = 0; y < png.image.height; ++y) {
        unsigned char* row = pixels + std::size_t(y) * stride;
        for (unsigned x = 0; x < png.image.width; ++x) {
            unsigned char* p = row + std::size_t(x) * 4;
            std::uint8_t alpha = p[3];
            std::uint32_t argb = packARGB(alpha, premultiply(p[2], alpha), premultiply(p[1], alpha), premultiply(p[0], alpha));
            std::memcpy(p, &argb, 4);
        }
    }
    cairo_surface_mark_dirty(surface);
    return Image::adopt(surface, scale);
}

std::shared_ptr<Image> ImageDecoder::decodeJPEG(std::span<const std::uint8_t> data, double scale, const Limits& limits)
{
    if (data.empty() || !(scale > 0))
        return nullptr;
    auto job = std::make_unique<JpegJob>();
    bool decoded = runJpeg(job.get(), data, limits);
    jpeg_destroy_decompress(&job->info);
    std::free(job->row);
    if (!decoded) {
        if (job->surface)
            cairo_surface_destroy(job->surface);
        return nullptr;
    }
    cairo_surface_mark_dirty(job->surface);
    return Image::adopt(job->surface, scale, job->orientation.value_or(ImageOrientation::Up));
}

std::optional<ImageDecoder::JpegColorSpace> ImageDecoder::jpegColorSpace(std::span<const std::uint8_t> data)
{
    auto job = std::make_unique<JpegJob>();
    std::optional<JpegColorSpace> space;
    if (readJpegHeader(job.get(), data)) {
        J_COLOR_SPACE recorded = job->info.jpeg_color_space;
        if (isCmyk(recorded))
            space = JpegColorSpace::CMYK;
        else if (recorded == JCS_GRAYSCALE)
            space = JpegColorSpace::Grayscale;
        else
            space = JpegColorSpace::Color;
    }
    jpeg_destroy_decompress(&job->info);
    return space;
}

std::optional<ImageOrientation> ImageDecoder::exifOrientation(std::span<const std::uint8_t> payload)
{
    static constexpr std::uint8_t exifHeader[] = { 'E', 'x', 'i', 'f', 0, 0 };
    if (payload.size() < sizeof exifHeader + 8 || std::memcmp(payload.data(), exifHeader, sizeof exifHeader) != 0)
        return std::nullopt;
    auto tiff = payload.subspan(sizeof exifHeader);
    bool bigEndian;
    if (tiff[0] == 'M' && tiff[1] == 'M')
        bigEndian = true;
    else if (tiff[0] == 'I' && tiff[1] == 'I')
        bigEndian = false;
    else
        return std::nullopt;
    TiffReader reader(tiff, bigEndian);
    if (reader.read(2, 2) != 42u)
        return std::nullopt;
    auto ifd = reader.read(4, 4);
    auto count = ifd ? reader.read(*ifd, 2) : std::nullopt;
    if (!count)
        return std::nullopt;
    for (std::uint32_t i = 0; i < *count; ++i) {
        std::size_t entry = std::size_t(*ifd) + 2 + std::size_t(i) * 12;
        auto tag = reader.read(entry, 2);
        if (!tag)
            return std::nullopt;
        if (*tag != 0x0112)
            continue;
        // Type 3 is SHORT; a count of 1 keeps the value inside the entry's value field.
        if (reader.read(entry + 2, 2) != 3u || reader.read(entry + 4, 4) != 1u)
            return std::nullopt;
        auto value = reader.read(entry + 8, 2);
        return value ? orientationFromExifCode(*value) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace morvix::platform
