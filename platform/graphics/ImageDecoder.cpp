#include "platform/graphics/ImageDecoder.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <png.h>
// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

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
    jpeg_progress_mgr progress {};
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

// A progressive JPEG may repeat its scans without end, and each one costs a pass over the
// whole picture; no encoder writes anywhere near this many.
constexpr int kMaximumJpegScans = 100;

void limitScans(j_common_ptr info)
{
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaximumJpegScans)
        jpegErrorExit(info);
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
    job->progress.progress_monitor = limitScans;
    job->info.progress = &job->progress;
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

// ---- gdk-pixbuf ----------------------------------------------------------------------------

// The loader announces the picture's size through "size-prepared" before it allocates the
// pixels; a size of 0 x 0 set there makes it stop instead (as gdk-pixbuf's own reader of a
// file's size and format stops its loader).
struct PixbufSizeCheck {
    const ImageDecoder::Limits& limits;
    bool refused = false;
};

void refuseOversizedPicture(GdkPixbufLoader* loader, int width, int height, gpointer data)
{
    auto* check = static_cast<PixbufSizeCheck*>(data);
    if (withinLimits(width, height, check->limits))
        return;
    check->refused = true;
    gdk_pixbuf_loader_set_size(loader, 0, 0);
}

// A little-endian number of up to four bytes at `at`; nothing past the end of the data.
std::optional<std::uint32_t> readLittleEndian(std::span<const std::uint8_t> data, std::size_t at, std::size_t length)
{
    return TiffReader(data, false).read(at, length);
}

// Skips a run of GIF data sub-blocks (a length byte and that many bytes each, ended by a 0).
std::size_t skipGifSubBlocks(std::span<const std::uint8_t> gif, std::size_t at)
{
    while (at < gif.size()) {
        std::size_t length = gif[at];
        at += 1 + length;
        if (length == 0)
            break;
    }
    return at;
}

std::size_t gifColorTableBytes(std::uint8_t flags)
{
    return (flags & 0x80) ? std::size_t(3) << ((flags & 7) + 1) : 0;
}

// The loader announces only the logical screen's size, but sizes each frame's buffers by the
// frame's own descriptor, and trips assertions of its own on an empty frame or on one that
// reaches past the screen. So the frame must be non-empty and lie within the screen, which must
// be within the limits. The walk follows the loader's: bytes that start no block are skipped, a
// ';' ends the picture. It stops after the first frame, the one that is shown: `firstFrameEnd`
// is where its data ends, nothing when the data is cut short before (left to the loader).
struct GifWalk {
    bool fits = true;
    std::optional<std::size_t> firstFrameEnd;
};

GifWalk walkGif(std::span<const std::uint8_t> gif, const ImageDecoder::Limits& limits)
{
    static constexpr std::size_t kScreenDescriptorEnd = 13;
    if (gif.size() < kScreenDescriptorEnd)
        return {};
    long screenWidth = long(*readLittleEndian(gif, 6, 2));
    long screenHeight = long(*readLittleEndian(gif, 8, 2));
    if (!withinLimits(screenWidth, screenHeight, limits))
        return { false, std::nullopt };
    std::size_t at = kScreenDescriptorEnd + gifColorTableBytes(gif[10]);
    while (at < gif.size()) {
        std::uint8_t introducer = gif[at];
        if (introducer == ';')
            return {};
        if (introducer == '!') {  // an extension: its label, then sub-blocks
            at = skipGifSubBlocks(gif, at + 2);
            continue;
        }
        if (introducer != ',') {
            ++at;
            continue;
        }
        if (at + 10 > gif.size())
            return {};
        long left = long(*readLittleEndian(gif, at + 1, 2)), top = long(*readLittleEndian(gif, at + 3, 2));
        long width = long(*readLittleEndian(gif, at + 5, 2)), height = long(*readLittleEndian(gif, at + 7, 2));
        if (width == 0 || height == 0 || left + width > screenWidth || top + height > screenHeight)
            return { false, std::nullopt };
        // The local colour table, the LZW code size, then the compressed sub-blocks.
        std::size_t end = skipGifSubBlocks(gif, at + 10 + gifColorTableBytes(gif[at + 9]) + 1);
        return { true, end <= gif.size() ? std::optional(end) : std::nullopt };
    }
    return {};
}

// The loader decodes every frame of an animation, each at a cost that grows with the logical
// screen, though only the first is shown: a picture of thousands of frames would take seconds.
// So the bytes after the first frame do not reach it; the trailer ends the picture there.
std::span<const std::uint8_t> gifUpToFirstFrame(std::span<const std::uint8_t> gif, const ImageDecoder::Limits& limits,
    std::vector<std::uint8_t>& storage)
{
    auto end = walkGif(gif, limits).firstFrameEnd;
    if (!end || *end + 1 >= gif.size())
        return gif;
    storage.assign(gif.begin(), gif.begin() + std::ptrdiff_t(*end));
    storage.push_back(';');
    return storage;
}

// The BMP and icon loaders size buffers by the header's own length, its colour count, a bitmap's
// pixel offset and an icon's picture offsets before they read what those describe. All of it must lie within the
// bytes given (the whole file is given at once), so a header cannot make them reserve
// gigabytes for a few bytes of input.
bool bitmapInfoFits(std::span<const std::uint8_t> data, std::size_t header)
{
    auto headerSize = readLittleEndian(data, header, 4);
    if (!headerSize)
        return true;  // truncated: the loader refuses it
    if (*headerSize > data.size() - header)
        return false;
    auto colors = *headerSize >= 36 ? readLittleEndian(data, header + 32, 4) : std::nullopt;
    return !colors || std::uint64_t(*colors) * 4 <= data.size();
}

// The BMP loader fills the rows a file lacks, so a header of a few bytes could have it paint
// millions of pixels: the rows the header announces must be in the file. An uncompressed row
// takes its padded length; a run-length coded row at least one two-byte run per 255 pixels.
bool bmpRowsFit(std::span<const std::uint8_t> bmp, std::uint32_t pixelOffset)
{
    static constexpr std::size_t kInfoHeader = 14;
    auto headerSize = readLittleEndian(bmp, kInfoHeader, 4);
    bool core = headerSize == 12u; // the old header: 16-bit sizes, no compression
    auto width = readLittleEndian(bmp, kInfoHeader + 4, core ? 2 : 4);
    auto height = readLittleEndian(bmp, kInfoHeader + (core ? 6 : 8), core ? 2 : 4);
    auto bitsPerPixel = readLittleEndian(bmp, kInfoHeader + (core ? 10 : 14), 2);
    auto compression = core ? std::optional<std::uint32_t>(0) : readLittleEndian(bmp, kInfoHeader + 16, 4);
    if (!width || !height || !bitsPerPixel || !compression)
        return true;  // truncated: the loader refuses it
    std::int64_t columns = core ? std::int64_t(*width) : std::int64_t(std::int32_t(*width));
    std::int64_t rows = core ? std::int64_t(*height) : std::int64_t(std::int32_t(*height));
    rows = rows < 0 ? -rows : rows;  // a negative height lists the rows top down
    if (columns <= 0 || rows == 0)
        return false;
    std::uint64_t rowBytes;
    switch (*compression) {
    case 0:  // uncompressed
    case 3:  // bit fields
    case 6:  // bit fields with alpha
        rowBytes = (std::uint64_t(columns) * *bitsPerPixel + 31) / 32 * 4;
        break;
    case 1:  // RLE8
    case 2:  // RLE4
        rowBytes = (std::uint64_t(columns) + 254) / 255 * 2;
        break;
    default:
        return false;  // JPEG or PNG inside, which the loader does not read
    }
    return std::uint64_t(rows) * rowBytes <= bmp.size() - pixelOffset;
}

bool bmpHeaderFits(std::span<const std::uint8_t> bmp)
{
    static constexpr std::size_t kFileHeaderSize = 14;
    auto pixelOffset = readLittleEndian(bmp, 10, 4);
    if (!pixelOffset)
        return bitmapInfoFits(bmp, kFileHeaderSize);
    return *pixelOffset <= bmp.size() && bitmapInfoFits(bmp, kFileHeaderSize) && bmpRowsFit(bmp, *pixelOffset);
}

bool icoHeadersFit(std::span<const std::uint8_t> ico)
{
    static constexpr std::size_t kDirectorySize = 6, kEntrySize = 16;
    std::uint32_t count = readLittleEndian(ico, 4, 2).value_or(0);
    for (std::size_t i = 0; i < count; ++i) {
        auto offset = readLittleEndian(ico, kDirectorySize + i * kEntrySize + 12, 4);
        if (!offset)
            return true;
        if (*offset >= ico.size() || !bitmapInfoFits(ico, std::size_t(*offset)))
            return false;
    }
    return true;
}

// A WebP canvas may claim up to 2^24 pixels a side; the extended header's canvas size is checked
// here, as the loader, installed separately, may allocate before it announces the size.
bool webpCanvasFits(std::span<const std::uint8_t> webp, const ImageDecoder::Limits& limits)
{
    if (webp.size() < 30 || std::memcmp(webp.data() + 12, "VP8X", 4) != 0)
        return true;
    return withinLimits(long(*readLittleEndian(webp, 24, 3)) + 1, long(*readLittleEndian(webp, 27, 3)) + 1, limits);
}

// What must hold of the headers before the bytes go to the format's loader.
bool pixbufHeadersFit(std::span<const std::uint8_t> data, ImageDecoder::PixbufFormat format, const ImageDecoder::Limits& limits)
{
    switch (format) {
    case ImageDecoder::PixbufFormat::GIF: return walkGif(data, limits).fits;
    case ImageDecoder::PixbufFormat::ICO: return icoHeadersFit(data);
    case ImageDecoder::PixbufFormat::BMP: return bmpHeaderFits(data);
    case ImageDecoder::PixbufFormat::WebP: return webpCanvasFits(data, limits);
    case ImageDecoder::PixbufFormat::TIFF: return true;  // libtiff checks its own offsets
    }
    return false;
}

const char* pixbufTypeName(ImageDecoder::PixbufFormat format)
{
    switch (format) {
    case ImageDecoder::PixbufFormat::GIF: return "gif";
    case ImageDecoder::PixbufFormat::TIFF: return "tiff";
    case ImageDecoder::PixbufFormat::ICO: return "ico";
    case ImageDecoder::PixbufFormat::BMP: return "bmp";
    case ImageDecoder::PixbufFormat::WebP: return "webp";
    }
    return nullptr;
}

// Feeds every byte to a loader of the format and closes it; the picture it made (for an
// animation, the first frame), referenced, or null. The format's own loader is asked for by
// name, so bytes never reach a loader that gdk-pixbuf would pick by guessing.
GdkPixbuf* loadPixbuf(std::span<const std::uint8_t> data, ImageDecoder::PixbufFormat format, const ImageDecoder::Limits& limits)
{
    GError* error = nullptr;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(pixbufTypeName(format), &error);
    g_clear_error(&error);
    if (!loader)
        return nullptr;
    PixbufSizeCheck check { limits };
    g_signal_connect(loader, "size-prepared", G_CALLBACK(refuseOversizedPicture), &check);
    bool written = gdk_pixbuf_loader_write(loader, data.data(), data.size(), &error);
    g_clear_error(&error);
    // A loader must be closed even after a failed write; some formats (TIFF) decode only here.
    bool closed = gdk_pixbuf_loader_close(loader, written ? &error : nullptr);
    g_clear_error(&error);
    GdkPixbuf* pixbuf = written && closed && !check.refused ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pixbuf)
        g_object_ref(pixbuf);
    g_object_unref(loader);
    return pixbuf;
}

// Loaders of some formats record the orientation as an option holding its EXIF code.
ImageOrientation pixbufOrientation(GdkPixbuf* pixbuf)
{
    const char* option = gdk_pixbuf_get_option(pixbuf, "orientation");
    if (!option || option[0] < '1' || option[0] > '8' || option[1] != '\0')
        return ImageOrientation::Up;
    return orientationFromExifCode(std::uint32_t(option[0] - '0')).value_or(ImageOrientation::Up);
}

// Copies 8-bit RGB or RGBA into premultiplied ARGB32. `premultiplied` says that the samples
// already are: the TIFF loader hands on what libtiff's RGBA reader gives, which multiplies
// colour by alpha, with the pixbuf marked straight all the same. Such samples are clamped to
// their alpha, as cairo requires.
cairo_surface_t* surfaceFromPixbuf(const GdkPixbuf* pixbuf, bool premultiplied, const ImageDecoder::Limits& limits)
{
    int width = gdk_pixbuf_get_width(pixbuf);
    int height = gdk_pixbuf_get_height(pixbuf);
    bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    if (gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8
        || channels != (alpha ? 4 : 3) || !withinLimits(width, height, limits))
        return nullptr;
    cairo_surface_t* surface = createSurface(width, height);
    if (!surface)
        return nullptr;
    const std::uint8_t* source = gdk_pixbuf_read_pixels(pixbuf);
    int sourceStride = gdk_pixbuf_get_rowstride(pixbuf);
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = source + std::size_t(y) * sourceStride;
        auto* to = reinterpret_cast<std::uint32_t*>(pixels + std::size_t(y) * stride);
        for (int x = 0; x < width; ++x, from += channels) {
            std::uint8_t a = alpha ? from[3] : 255;
            auto component = [&](std::uint8_t value) { return premultiplied ? std::min(value, a) : premultiply(value, a); };
            to[x] = packARGB(a, component(from[0]), component(from[1]), component(from[2]));
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

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

std::optional<ImageDecoder::PixbufFormat> ImageDecoder::sniffPixbuf(std::span<const std::uint8_t> data)
{
    auto startsWith = [&](std::string_view signature, std::size_t at = 0) {
        return data.size() >= at + signature.size() && std::memcmp(data.data() + at, signature.data(), signature.size()) == 0;
    };
    using namespace std::string_view_literals;
    if (startsWith("GIF87a") || startsWith("GIF89a"))
        return PixbufFormat::GIF;
    if (startsWith("II*\0"sv) || startsWith("MM\0*"sv))
        return PixbufFormat::TIFF;
    if (startsWith("\0\0\1\0"sv))  // reserved 0, type 1 (an icon, not a cursor)
        return PixbufFormat::ICO;
    if (startsWith("BM"))
        return PixbufFormat::BMP;
    if (startsWith("RIFF") && startsWith("WEBP", 8))
        return PixbufFormat::WebP;
    return std::nullopt;
}

std::shared_ptr<Image> ImageDecoder::decode(std::span<const std::uint8_t> data, double scale, const Limits& limits)
{
    switch (sniff(data)) {
    case Format::PNG:
        return decodePNG(data, scale, limits);
    case Format::JPEG:
        return decodeJPEG(data, scale, limits);
    case Format::Unknown:
        return decodeWithPixbuf(data, scale, limits);
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

std::shared_ptr<Image> ImageDecoder::decodeWithPixbuf(std::span<const std::uint8_t> data, double scale, const Limits& limits)
{
    auto format = sniffPixbuf(data);
    if (!format || !(scale > 0))
        return nullptr;
    if (!pixbufHeadersFit(data, *format, limits))
        return nullptr;
    std::vector<std::uint8_t> firstFrame;
    if (*format == PixbufFormat::GIF)
        data = gifUpToFirstFrame(data, limits, firstFrame);
    GdkPixbuf* pixbuf = loadPixbuf(data, *format, limits);
    if (!pixbuf)
        return nullptr;
    cairo_surface_t* surface = surfaceFromPixbuf(pixbuf, *format == PixbufFormat::TIFF, limits);
    ImageOrientation orientation = pixbufOrientation(pixbuf);
    g_object_unref(pixbuf);
    return surface ? Image::adopt(surface, scale, orientation) : nullptr;
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
