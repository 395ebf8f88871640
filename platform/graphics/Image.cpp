#include "platform/graphics/Image.h"

#include "platform/graphics/ImageDecoder.h"

#include <cairo.h>
#include <cstdio> // before jpeglib.h, which needs FILE
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace morvix::platform {

bool isTiltedOrientation(ImageOrientation orientation)
{
    switch (orientation) {
    case ImageOrientation::Left:
    case ImageOrientation::Right:
    case ImageOrientation::LeftMirrored:
    case ImageOrientation::RightMirrored:
        return true;
    case ImageOrientation::Up:
    case ImageOrientation::Down:
    case ImageOrientation::UpMirrored:
    case ImageOrientation::DownMirrored:
        return false;
    }
    return false;
}

AffineTransform orientationTransform(ImageOrientation orientation, int pixelWidth, int pixelHeight)
{
    const double w = pixelWidth;
    const double h = pixelHeight;
    switch (orientation) {
    case ImageOrientation::Up:
        return AffineTransform::identity();
    case ImageOrientation::Down:
        return { -1, 0, 0, -1, w, h };
    case ImageOrientation::Left:
        return { 0, -1, 1, 0, 0, w };
    case ImageOrientation::Right:
        return { 0, 1, -1, 0, h, 0 };
    case ImageOrientation::UpMirrored:
        return { -1, 0, 0, 1, w, 0 };
    case ImageOrientation::DownMirrored:
        return { 1, 0, 0, -1, 0, h };
    case ImageOrientation::LeftMirrored:
        return { 0, 1, 1, 0, 0, 0 };
    case ImageOrientation::RightMirrored:
        return { 0, -1, -1, 0, h, w };
    }
    return AffineTransform::identity();
}

namespace {

bool isUsable(cairo_surface_t* surface)
{
    return surface && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
}

// Redraws any surface as ARGB32 so that every image has the one pixel layout the rest of the
// layer reads.
cairo_surface_t* toARGB32(cairo_surface_t* surface)
{
    if (cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE
        && cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32)
        return surface;
    int width = cairo_image_surface_get_width(surface);
    int height = cairo_image_surface_get_height(surface);
    cairo_surface_t* converted = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(converted);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return converted;
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length)
{
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::shared_ptr<Image> Image::adopt(cairo_surface_t* surface, double scale, ImageOrientation orientation)
{
    if (!isUsable(surface) || !(scale > 0)) {
        if (surface)
            cairo_surface_destroy(surface);
        return nullptr;
    }
    surface = toARGB32(surface);
    if (!isUsable(surface)) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return std::make_shared<Image>(Token {}, surface, scale, orientation);
}

std::shared_ptr<Image> Image::createTransparent(int pixelWidth, int pixelHeight, double scale)
{
    if (pixelWidth < 1 || pixelHeight < 1 || pixelWidth > kMaxSide || pixelHeight > kMaxSide
        || long(pixelWidth) * pixelHeight > kMaxPixels)
        return nullptr;
    // New image surfaces are cleared to transparent black.
    return adopt(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight), scale);
}

std::shared_ptr<Image> Image::decode(std::span<const std::uint8_t> data, double scale)
{
    return ImageDecoder::decode(data, scale);
}

std::shared_ptr<Image> Image::readFile(const std::string& path, double scale)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return nullptr;
    // A file this large holds no picture the decoders accept; do not read it into memory.
    auto length = file.tellg();
    if (length < 0 || static_cast<long long>(length) > kMaxFileBytes)
        return nullptr;
    file.seekg(0);
    std::vector<std::uint8_t> bytes { std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>() };
    return decode(bytes, scale);
}

Image::Image(Token, cairo_surface_t* surface, double scale, ImageOrientation orientation)
    : m_surface(surface)
    , m_scale(scale)
    , m_orientation(orientation)
{
}

Image::~Image()
{
    cairo_surface_destroy(m_surface);
}

int Image::pixelWidth() const
{
    return cairo_image_surface_get_width(m_surface);
}

int Image::pixelHeight() const
{
    return cairo_image_surface_get_height(m_surface);
}

bool Image::isTilted() const
{
    return isTiltedOrientation(m_orientation);
}

Size Image::size() const
{
    Size pixels { pixelWidth() / m_scale, pixelHeight() / m_scale };
    if (isTilted())
        return { pixels.height, pixels.width };
    return pixels;
}

std::shared_ptr<Image> Image::withScale(double scale, ImageOrientation orientation) const
{
    if (!(scale > 0))
        return nullptr;
    return std::make_shared<Image>(Token {}, cairo_surface_reference(m_surface), scale, orientation);
}

std::shared_ptr<Image> Image::resizable(EdgeInsets capInsets, ResizingMode mode) const
{
    auto image = withScale(m_scale, m_orientation);
    auto positive = [](double inset) { return std::isfinite(inset) ? std::max(0.0, inset) : 0.0; };
    image->m_capInsets = EdgeInsets { positive(capInsets.top), positive(capInsets.left), positive(capInsets.bottom),
        positive(capInsets.right) };
    image->m_resizingMode = mode;
    return image;
}

std::shared_ptr<Image> Image::upright() const
{
    if (m_orientation == ImageOrientation::Up)
        return withScale(m_scale, m_orientation);
    int width = isTilted() ? pixelHeight() : pixelWidth();
    int height = isTilted() ? pixelWidth() : pixelHeight();
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(target);
    AffineTransform t = orientationTransform(m_orientation, pixelWidth(), pixelHeight());
    cairo_matrix_t matrix { t.a, t.b, t.c, t.d, t.tx, t.ty };
    cairo_transform(cr, &matrix);
    cairo_set_source_surface(cr, m_surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    return adopt(target, m_scale);
}

std::shared_ptr<Image> Image::cropped(const Rect& pixelRect) const
{
    Rect inside = pixelRect.standardized().integral().intersection(Rect(0, 0, pixelWidth(), pixelHeight()));
    if (inside.width() < 1 || inside.height() < 1)
        return nullptr;
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(inside.width()), int(inside.height()));
    cairo_t* cr = cairo_create(target);
    cairo_set_source_surface(cr, m_surface, -inside.x(), -inside.y());
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    return adopt(target, m_scale);
}

Pixel Image::pixelAt(int x, int y) const
{
    if (x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight())
        return {};
    cairo_surface_flush(m_surface);
    const unsigned char* row = cairo_image_surface_get_data(m_surface) + std::size_t(y) * cairo_image_surface_get_stride(m_surface);
    std::uint32_t argb;
    std::memcpy(&argb, row + std::size_t(x) * 4, 4);
    std::uint8_t alpha = argb >> 24;
    if (alpha == 0)
        return {};
    auto unpremultiply = [alpha](std::uint32_t component) {
        return std::uint8_t((component * 255 + alpha / 2) / alpha);
    };
    return { unpremultiply((argb >> 16) & 0xff), unpremultiply((argb >> 8) & 0xff), unpremultiply(argb & 0xff), alpha };
}

std::vector<std::uint8_t> Image::pngData() const
{
    auto picture = upright();
    std::vector<std::uint8_t> bytes;
    if (!picture || cairo_surface_write_to_png_stream(picture->surface(), appendBytes, &bytes) != CAIRO_STATUS_SUCCESS)
        return {};
    return bytes;
}

bool Image::writePNG(const std::string& path) const
{
    auto bytes = pngData();
    if (bytes.empty())
        return false;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    // A full disk often shows only when the buffered bytes are flushed at close.
    file.close();
    return !file.fail();
}

namespace {

// Everything the encoder reads after its jump point lives in this one object, whose address
// libjpeg holds, so that a long jump back from an error cannot leave stale copies in registers.
struct JPEGJob {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    const unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    int quality = 100;
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    std::vector<JSAMPLE> row;
};

bool compressJPEG(JPEGJob& job)
{
    jpeg_compress_struct info {};
    info.err = jpeg_std_error(&job.manager);
    job.manager.error_exit = [](j_common_ptr common) { std::longjmp(reinterpret_cast<JPEGJob*>(common->err)->jump, 1); };
    job.row.assign(std::size_t(job.width) * 3, 0);
    if (setjmp(job.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &job.output, &job.outputSize);
    info.image_width = JDIMENSION(job.width);
    info.image_height = JDIMENSION(job.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, job.quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // Cairo's ARGB32 is a native-endian 32-bit word per pixel, premultiplied.
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(job.pixels + std::size_t(info.next_scanline) * std::size_t(job.stride));
        for (std::size_t x = 0; x < std::size_t(job.width); ++x) {
            job.row[x * 3] = JSAMPLE((pixels[x] >> 16) & 0xFF);
            job.row[x * 3 + 1] = JSAMPLE((pixels[x] >> 8) & 0xFF);
            job.row[x * 3 + 2] = JSAMPLE(pixels[x] & 0xFF);
        }
        JSAMPROW rows[] = { job.row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

std::vector<std::uint8_t> Image::encodeJPEG(double quality) const
{
    auto picture = upright();
    if (!picture)
        return {};
    cairo_surface_flush(picture->surface());
    JPEGJob job;
    job.pixels = cairo_image_surface_get_data(picture->surface());
    job.width = picture->pixelWidth();
    job.height = picture->pixelHeight();
    job.stride = cairo_image_surface_get_stride(picture->surface());
    job.quality = int(std::lround((std::isnan(quality) ? 1.0 : std::clamp(quality, 0.0, 1.0)) * 100));
    if (!job.pixels || job.width < 1 || job.height < 1)
        return {};
    bool done = compressJPEG(job);
    std::vector<std::uint8_t> bytes;
    if (done && job.output)
        bytes.assign(job.output, job.output + job.outputSize);
    std::free(job.output);
    return bytes;
}

} // namespace morvix::platform
