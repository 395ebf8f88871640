#pragma once
// Decodes image bodies.

#include "networking/NetHTTPResponseSerializer.h"

#include <memory>
#include <string_view>

namespace morvix::platform {
class Image;
}

namespace morvix {

/// What a bitmap's header says about its samples, before any pixel is decoded.
struct NetImageBitmapInfo {
    enum class ColorModel { Monochrome, RGB, CMYK };
    int bitsPerComponent = 8;
    bool hasAlpha = false;
    ColorModel colorModel = ColorModel::RGB;
};

/// Validates like its base (the image content types) and decodes the body into a
/// `std::shared_ptr<platform::Image>` at `imageScale`. With `automaticallyInflatesResponseImage`
/// the decoded bitmap is drawn once more into a fresh premultiplied bitmap on the processing
/// queue, so that the first draw on the main thread finds it ready; images of more than
/// 1024 x 1024 pixels or more than 8 bits per component are handed on as decoded. PNG and JPEG
/// decode; other image formats (TIFF, GIF, ICO, BMP) have no decoder here and give no object.
/// Any thread; immutable while in use.
class NetImageResponseSerializer : public NetHTTPResponseSerializer {
public:
    static std::shared_ptr<NetImageResponseSerializer> serializer();

    /// Carries `imageScale` and `automaticallyInflatesResponseImage`.
    std::shared_ptr<NetHTTPResponseSerializer> copy() const override;

    /// Archiving: the base class's keys, "imageScale" (a positive finite number) and
    /// "automaticallyInflatesResponseImage".
    static constexpr const char* kArchiveClassName = "NetImageResponseSerializer";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    void decodeWithCoder(platform::KeyedUnarchiver& coder) override;

    double imageScale() const { return m_imageScale; }
    void setImageScale(double scale) { m_imageScale = scale; }
    bool automaticallyInflatesResponseImage() const { return m_automaticallyInflatesResponseImage; }
    void setAutomaticallyInflatesResponseImage(bool inflates) { m_automaticallyInflatesResponseImage = inflates; }

    std::any responseObjectForResponse(const std::shared_ptr<const platform::URLResponse>& response,
        const std::string* data, std::optional<platform::Error>* error) const override;

    /// The largest bitmap that is inflated, in pixels.
    static constexpr long kMaxInflatedPixels = 1024L * 1024;

    /// Whether a decoded bitmap is inflated: at most `kMaxInflatedPixels` pixels and at most 8
    /// bits per component (a 16-bit PNG is handed on as decoded).
    static bool inflationApplies(const NetImageBitmapInfo& info, int pixelWidth, int pixelHeight);

    /// The main screen's scale, which new serializers take as `imageScale`. Set by the
    /// embedding application (2 unless set).
    static void setDefaultImageScale(double scale);

protected:
    NetImageResponseSerializer();

private:
    double m_imageScale;
    bool m_automaticallyInflatesResponseImage = true;
};

/// Reads the header of PNG or JPEG bytes; nothing for anything else or a broken header.
std::optional<NetImageBitmapInfo> NetImageBitmapInfoForData(std::string_view data);

/// An image from data (scale 1). Any thread: decodings run side by side, taking no lock.
std::shared_ptr<platform::Image> NetSafeImageWithData(std::string_view data);

/// `NetSafeImageWithData` with the image given `scale` and its own orientation; null when the
/// data cannot be decoded.
std::shared_ptr<platform::Image> NetImageWithDataAtScale(std::string_view data, double scale);

} // namespace morvix
