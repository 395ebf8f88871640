#include "networking/NetImageResponseSerializer.h"

#include "networking/NetArchiving.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageDecoder.h"
#include "platform/net/URLResponse.h"

#include <cairo.h>

#include <atomic>
#include <cmath>
#include <span>

namespace morvix {

namespace {

std::atomic<double> s_defaultImageScale { 2.0 };

std::span<const std::uint8_t> bytesOf(std::string_view data)
{
    return { reinterpret_cast<const std::uint8_t*>(data.data()), data.size() };
}

std::uint32_t bigEndian32(const unsigned char* at)
{
    return std::uint32_t(at[0]) << 24 | std::uint32_t(at[1]) << 16 | std::uint32_t(at[2]) << 8 | at[3];
}

std::optional<NetImageBitmapInfo> pngInfo(std::string_view data)
{
    // Signature (8), IHDR length and type (8), width, height, depth, colour type.
    if (data.size() < 26 || data.substr(12, 4) != "IHDR")
        return std::nullopt;
    auto bytes = reinterpret_cast<const unsigned char*>(data.data());
    NetImageBitmapInfo info;
    info.bitsPerComponent = bytes[24] == 16 ? 16 : 8;
    int colorType = bytes[25];
    info.hasAlpha = (colorType & 4) != 0;
    info.colorModel = (colorType & 2) ? NetImageBitmapInfo::ColorModel::RGB : NetImageBitmapInfo::ColorModel::Monochrome;
    // A tRNS chunk gives a palette or single colour transparency; look through the chunks
    // that precede the image data.
    std::size_t at = 8;
    while (at + 8 <= data.size()) {
        std::uint32_t length = bigEndian32(bytes + at);
        std::string_view type = data.substr(at + 4, 4);
        if (type == "IDAT" || type == "IEND")
            break;
        if (type == "tRNS")
            info.hasAlpha = true;
        if (length > data.size())
            break;
        at += 12 + std::size_t(length);
    }
    return info;
}

std::optional<NetImageBitmapInfo> jpegInfo(std::string_view data)
{
    auto space = platform::ImageDecoder::jpegColorSpace(bytesOf(data));
    if (!space)
        return std::nullopt;
    NetImageBitmapInfo result;
    switch (*space) {
    case platform::ImageDecoder::JpegColorSpace::Grayscale:
        result.colorModel = NetImageBitmapInfo::ColorModel::Monochrome;
        break;
    case platform::ImageDecoder::JpegColorSpace::Color:
        result.colorModel = NetImageBitmapInfo::ColorModel::RGB;
        break;
    case platform::ImageDecoder::JpegColorSpace::CMYK:
        result.colorModel = NetImageBitmapInfo::ColorModel::CMYK;
        break;
    }
    return result;
}

// Draws `bitmap` once into a new premultiplied ARGB bitmap of the same size; null when the
// context cannot be made.
std::shared_ptr<platform::Image> inflate(const platform::Image& bitmap, double scale, platform::ImageOrientation orientation)
{
    int width = bitmap.pixelWidth();
    int height = bitmap.pixelHeight();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_t* context = cairo_create(surface);
    cairo_set_operator(context, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(context, bitmap.surface(), 0, 0);
    cairo_rectangle(context, 0, 0, width, height);
    cairo_fill(context);
    cairo_destroy(context);
    cairo_surface_flush(surface);
    return platform::Image::adopt(surface, scale, orientation);
}

} // namespace

void NetImageResponseSerializer::setDefaultImageScale(double scale)
{
    s_defaultImageScale = scale;
}

std::shared_ptr<NetImageResponseSerializer> NetImageResponseSerializer::serializer()
{
    return std::shared_ptr<NetImageResponseSerializer>(new NetImageResponseSerializer);
}

NetImageResponseSerializer::NetImageResponseSerializer()
    : m_imageScale(s_defaultImageScale.load())
{
    setAcceptableContentTypes(std::set<std::string> { "image/tiff", "image/jpeg", "image/gif", "image/png", "image/ico",
        "image/x-icon", "image/bmp", "image/x-bmp", "image/x-xbitmap", "image/x-win-bitmap", "image/webp" });
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetImageResponseSerializer>(NetHTTPResponseSerializer::kArchiveClassName,
    [](platform::KeyedUnarchiver&) { return NetImageResponseSerializer::serializer(); });

} // namespace

void NetImageResponseSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    NetHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeDouble(m_imageScale, "imageScale");
    coder.encodeBool(m_automaticallyInflatesResponseImage, "automaticallyInflatesResponseImage");
}

void NetImageResponseSerializer::decodeWithCoder(platform::KeyedUnarchiver& coder)
{
    NetHTTPResponseSerializer::decodeWithCoder(coder);
    auto scale = coder.decodeDouble("imageScale");
    auto inflates = coder.decodeBool("automaticallyInflatesResponseImage");
    if (!scale || !inflates)
        return;
    // Images are sized by dividing by the scale.
    if (!std::isfinite(*scale) || *scale <= 0) {
        coder.fail(platform::kKeyedArchiveValueError, "\"imageScale\" is not a positive number");
        return;
    }
    m_imageScale = *scale;
    m_automaticallyInflatesResponseImage = *inflates;
}

std::shared_ptr<NetHTTPResponseSerializer> NetImageResponseSerializer::copy() const
{
    auto other = serializer();
    other->m_imageScale = m_imageScale;
    other->m_automaticallyInflatesResponseImage = m_automaticallyInflatesResponseImage;
    return other;
}

std::any NetImageResponseSerializer::responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
    const std::string* data, std::optional<platform::Error>* error) const
{
    if (!shouldDecode(response, data, error))
        return {};
    std::string_view bytes = data ? std::string_view(*data) : std::string_view();
    if (!m_automaticallyInflatesResponseImage) {
        auto image = NetImageWithDataAtScale(bytes, m_imageScale);
        return image ? std::any(image) : std::any();
    }
    if (bytes.empty())
        return {};

    // Decoded directly only when the response says exactly which format it is.
    std::shared_ptr<platform::Image> bitmap;
    std::optional<NetImageBitmapInfo> info;
    std::optional<std::string> mimeType = response ? response->mimeType() : std::nullopt;
    if (mimeType == "image/png") {
        bitmap = platform::ImageDecoder::decodePNG(bytesOf(bytes));
        info = pngInfo(bytes);
    } else if (mimeType == "image/jpeg") {
        info = jpegInfo(bytes);
        bool cmyk = info && info->colorModel == NetImageBitmapInfo::ColorModel::CMYK;
        if (!cmyk)
            bitmap = platform::ImageDecoder::decodeJPEG(bytesOf(bytes));
    }
    // A picture decoded above serves as the image too: each body is decoded once.
    auto image = bitmap ? bitmap->withScale(m_imageScale, bitmap->orientation()) : NetImageWithDataAtScale(bytes, m_imageScale);
    if (!bitmap || !info) {
        if (!image)
            return {};
        bitmap = image;
        info = NetImageBitmapInfoForData(bytes);
    }
    if (!info || !inflationApplies(*info, bitmap->pixelWidth(), bitmap->pixelHeight()))
        return image ? std::any(image) : std::any();
    auto orientation = image ? image->orientation() : platform::ImageOrientation::Up;
    if (auto inflated = inflate(*bitmap, m_imageScale, orientation))
        return inflated;
    return image ? std::any(image) : std::any();
}

bool NetImageResponseSerializer::inflationApplies(const NetImageBitmapInfo& info, int pixelWidth, int pixelHeight)
{
    return long(pixelWidth) * pixelHeight <= kMaxInflatedPixels && info.bitsPerComponent <= 8;
}

std::optional<NetImageBitmapInfo> NetImageBitmapInfoForData(std::string_view data)
{
    switch (platform::ImageDecoder::sniff(bytesOf(data))) {
    case platform::ImageDecoder::Format::PNG:
        return pngInfo(data);
    case platform::ImageDecoder::Format::JPEG:
        return jpegInfo(data);
    case platform::ImageDecoder::Format::Unknown:
        return std::nullopt;
    }
    return std::nullopt;
}

std::shared_ptr<platform::Image> NetSafeImageWithData(std::string_view data)
{
    // The decoders keep no shared state, so pictures decode side by side: one slow picture
    // holds back no other.
    return platform::ImageDecoder::decode(bytesOf(data));
}

std::shared_ptr<platform::Image> NetImageWithDataAtScale(std::string_view data, double scale)
{
    auto image = NetSafeImageWithData(data);
    if (!image)
        return nullptr;
    return image->withScale(scale, image->orientation());
}

} // namespace morvix
