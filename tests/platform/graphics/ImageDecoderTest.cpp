#include "platform/graphics/ImageDecoder.h"

#include "platform/graphics/ImageContext.h"
#include "tests/platform/graphics/PixbufTestPictures.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <cstdlib>
#include <random>

using namespace morvix::platform;

namespace {

// A 4 x 2 picture: red, green, blue, half-transparent red on the top row, white below.
std::shared_ptr<Image> samplePicture()
{
    ImageContext context({ 4, 2 }, Opaque::No, 1);
    auto& gc = context.context();
    const Color colors[] = { Color::fromRGBA(1, 0, 0), Color::fromRGBA(0, 1, 0), Color::fromRGBA(0, 0, 1), Color::fromRGBA(1, 0, 0, 0.5) };
    for (int x = 0; x < 4; ++x) {
        gc.setFillColor(colors[x]);
        gc.fillRect({ double(x), 0, 1, 1 });
    }
    gc.setFillColor(Color::white());
    gc.fillRect({ 0, 1, 4, 1 });
    return context.image();
}

struct JpegOptions {
    int width = 16;
    int height = 8;
    J_COLOR_SPACE space = JCS_RGB;
    int components = 3;
    std::vector<std::uint8_t> exif {};  // APP1 payload
    std::vector<std::uint8_t> fill = { 200, 40, 40 };
    std::vector<std::uint8_t> rightHalfFill {};  // the right half's colour when given
    bool progressive = false;
};

std::vector<std::uint8_t> encodeJpeg(const JpegOptions& options)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = options.width;
    info.image_height = options.height;
    info.input_components = options.components;
    info.in_color_space = options.space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (options.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (!options.exif.empty())
        jpeg_write_marker(&info, JPEG_APP0 + 1, options.exif.data(), unsigned(options.exif.size()));
    std::vector<std::uint8_t> row;
    for (int x = 0; x < options.width; ++x) {
        const auto& fill = x >= options.width / 2 && !options.rightHalfFill.empty() ? options.rightHalfFill : options.fill;
        row.insert(row.end(), fill.begin(), fill.end());
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

// An EXIF block with one IFD0 entry: the Orientation tag.
std::vector<std::uint8_t> exifBlock(int orientation, bool bigEndian, int type = 3)
{
    auto put16 = [&](std::vector<std::uint8_t>& out, unsigned value) {
        if (bigEndian)
            out.insert(out.end(), { std::uint8_t(value >> 8), std::uint8_t(value) });
        else
            out.insert(out.end(), { std::uint8_t(value), std::uint8_t(value >> 8) });
    };
    auto put32 = [&](std::vector<std::uint8_t>& out, unsigned value) {
        if (bigEndian) {
            put16(out, value >> 16);
            put16(out, value & 0xffff);
        } else {
            put16(out, value & 0xffff);
            put16(out, value >> 16);
        }
    };
    std::vector<std::uint8_t> block = { 'E', 'x', 'i', 'f', 0, 0 };
    block.insert(block.end(), bigEndian ? std::initializer_list<std::uint8_t> { 'M', 'M' } : std::initializer_list<std::uint8_t> { 'I', 'I' });
    put16(block, 42);
    put32(block, 8);
    put16(block, 2);  // two entries: an unrelated one first
    put16(block, 0x010f), put16(block, 2), put32(block, 4), put32(block, 0);
    put16(block, 0x0112), put16(block, unsigned(type)), put32(block, 1), put16(block, unsigned(orientation)), put16(block, 0);
    put32(block, 0);
    return block;
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t crc = 0xffffffff;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

// Rewrites the PNG header's dimensions (with a valid checksum), as a hostile file would.
std::vector<std::uint8_t> withPngDimensions(std::vector<std::uint8_t> png, std::uint32_t width, std::uint32_t height)
{
    auto put = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = std::uint8_t(value >> (24 - 8 * i));
    };
    put(16, width);
    put(20, height);
    put(29, crc32(&png[12], 17));
    return png;
}

bool near(std::uint8_t a, int b, int tolerance = 6)
{
    return std::abs(int(a) - b) <= tolerance;
}

} // namespace

TEST(ImageDecoderTest, PngRoundTripKeepsColoursAndStraightAlpha)
{
    auto png = samplePicture()->pngData();
    ASSERT_EQ(ImageDecoder::sniff(png), ImageDecoder::Format::PNG);
    auto image = ImageDecoder::decode(png, 2);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 4);
    EXPECT_EQ(image->pixelHeight(), 2);
    EXPECT_EQ(image->size(), (Size { 2, 1 }));
    EXPECT_EQ(image->pixelAt(0, 0), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(image->pixelAt(1, 0), (Pixel { 0, 255, 0, 255 }));
    EXPECT_EQ(image->pixelAt(2, 0), (Pixel { 0, 0, 255, 255 }));
    Pixel half = image->pixelAt(3, 0);
    EXPECT_TRUE(near(half.red, 255, 2) && half.green == 0 && near(half.alpha, 128, 1)) << int(half.red) << " " << int(half.alpha);
    EXPECT_EQ(image->pixelAt(2, 1), (Pixel { 255, 255, 255, 255 }));
}

TEST(ImageDecoderTest, JpegDecodesColourGreyAndAdobeCmyk)
{
    auto rgb = ImageDecoder::decode(encodeJpeg({}));
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->pixelWidth(), 16);
    EXPECT_EQ(rgb->pixelHeight(), 8);
    EXPECT_EQ(rgb->orientation(), ImageOrientation::Up);
    Pixel p = rgb->pixelAt(5, 5);
    EXPECT_TRUE(near(p.red, 200) && near(p.green, 40) && near(p.blue, 40) && p.alpha == 255);

    auto grey = ImageDecoder::decodeJPEG(encodeJpeg({ .space = JCS_GRAYSCALE, .components = 1, .fill = { 90 } }));
    ASSERT_TRUE(grey);
    p = grey->pixelAt(0, 0);
    EXPECT_TRUE(near(p.red, 90) && near(p.green, 90) && near(p.blue, 90) && p.alpha == 255);

    // libjpeg writes CMYK with an Adobe marker, whose values are inverted: 0 is full ink. Full
    // cyan and nothing else is cyan on screen.
    auto cmyk = ImageDecoder::decodeJPEG(encodeJpeg({ .space = JCS_CMYK, .components = 4, .fill = { 0, 255, 255, 255 } }));
    ASSERT_TRUE(cmyk);
    p = cmyk->pixelAt(3, 3);
    EXPECT_TRUE(near(p.red, 0, 10) && near(p.green, 255, 10) && near(p.blue, 255, 10)) << int(p.red) << " " << int(p.green) << " " << int(p.blue);
}

TEST(ImageDecoderTest, JpegColorSpaceComesFromTheHeaderAlone)
{
    EXPECT_EQ(ImageDecoder::jpegColorSpace(encodeJpeg({})), ImageDecoder::JpegColorSpace::Color);
    auto grey = encodeJpeg({ .space = JCS_GRAYSCALE, .components = 1, .fill = { 90 } });
    EXPECT_EQ(ImageDecoder::jpegColorSpace(grey), ImageDecoder::JpegColorSpace::Grayscale);
    auto cmyk = encodeJpeg({ .space = JCS_CMYK, .components = 4, .fill = { 0, 255, 255, 255 } });
    EXPECT_EQ(ImageDecoder::jpegColorSpace(cmyk), ImageDecoder::JpegColorSpace::CMYK);
    // The header is enough: cutting the data off right after the start-of-scan segment
    // still answers.
    const std::uint8_t startOfScan[] = { 0xff, 0xda };
    auto scan = std::search(cmyk.begin(), cmyk.end(), std::begin(startOfScan), std::end(startOfScan));
    ASSERT_NE(scan, cmyk.end());
    std::size_t scanLength = std::size_t(scan[2]) << 8 | scan[3];
    cmyk.resize(std::size_t(scan - cmyk.begin()) + 2 + scanLength);
    EXPECT_EQ(ImageDecoder::jpegColorSpace(cmyk), ImageDecoder::JpegColorSpace::CMYK);

    EXPECT_FALSE(ImageDecoder::jpegColorSpace({}));
    const std::uint8_t startOnly[] = { 0xff, 0xd8, 0xff };
    EXPECT_FALSE(ImageDecoder::jpegColorSpace(startOnly));
    const std::uint8_t notJpeg[] = { 'G', 'I', 'F', '8', '9', 'a', 0, 0 };
    EXPECT_FALSE(ImageDecoder::jpegColorSpace(notJpeg));
}

TEST(ImageDecoderTest, JpegExifOrientationTiltsThePointSize)
{
    auto image = ImageDecoder::decode(encodeJpeg({ .width = 16, .height = 8, .exif = exifBlock(6, true) }), 2);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->orientation(), ImageOrientation::Right);
    EXPECT_EQ(image->pixelWidth(), 16);
    EXPECT_EQ(image->size(), (Size { 4, 8 }));
    auto mirrored = ImageDecoder::decode(encodeJpeg({ .exif = exifBlock(5, false) }));
    ASSERT_TRUE(mirrored);
    EXPECT_EQ(mirrored->orientation(), ImageOrientation::LeftMirrored);
}

TEST(ImageDecoderTest, JpegWithExifOrientationIsSeenUpright)
{
    // Stored 16 x 8: the left half red, the right half blue, as a camera held sideways writes it.
    struct Case {
        int exifCode;
        Point red, blue;  // where each half lands in the upright picture
    };
    const Case cases[] = {
        { 1, { 3, 4 }, { 12, 4 } },
        { 3, { 12, 4 }, { 3, 4 } },   // turned half round: left and right swap
        { 6, { 4, 3 }, { 4, 12 } },   // turned a quarter clockwise: the left half goes to the top
        { 8, { 4, 12 }, { 4, 3 } },   // a quarter anticlockwise: the left half goes to the bottom
        { 2, { 12, 4 }, { 3, 4 } },   // mirrored
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exifCode);
        auto image = ImageDecoder::decode(
            encodeJpeg({ .exif = exifBlock(c.exifCode, c.exifCode % 2 == 0), .fill = { 255, 0, 0 }, .rightHalfFill = { 0, 0, 255 } }));
        ASSERT_TRUE(image);
        auto isRed = [](Pixel p) { return p.red > 200 && p.blue < 60; };
        auto isBlue = [](Pixel p) { return p.blue > 200 && p.red < 60; };

        auto upright = image->upright();
        EXPECT_EQ(upright->pixelWidth(), image->isTilted() ? 8 : 16);
        EXPECT_TRUE(isRed(upright->pixelAt(int(c.red.x), int(c.red.y))));
        EXPECT_TRUE(isBlue(upright->pixelAt(int(c.blue.x), int(c.blue.y))));

        // Drawing the decoded image gives the same upright picture.
        ImageContext drawn(image->size(), Opaque::No, 1);
        drawn.context().drawImage(*image, { { 0, 0 }, image->size() });
        auto picture = drawn.image();
        EXPECT_TRUE(isRed(picture->pixelAt(int(c.red.x), int(c.red.y))));
        EXPECT_TRUE(isBlue(picture->pixelAt(int(c.blue.x), int(c.blue.y))));
    }
}

TEST(ImageDecoderTest, ExifReaderMapsEveryCodeAndRejectsMalformedBlocks)
{
    const ImageOrientation expected[] = { ImageOrientation::Up, ImageOrientation::UpMirrored, ImageOrientation::Down,
        ImageOrientation::DownMirrored, ImageOrientation::LeftMirrored, ImageOrientation::Right,
        ImageOrientation::RightMirrored, ImageOrientation::Left };
    for (int code = 1; code <= 8; ++code) {
        EXPECT_EQ(ImageDecoder::exifOrientation(exifBlock(code, true)), expected[code - 1]) << code;
        EXPECT_EQ(ImageDecoder::exifOrientation(exifBlock(code, false)), expected[code - 1]) << code;
    }
    EXPECT_EQ(ImageDecoder::exifOrientation(exifBlock(0, true)), std::nullopt);
    EXPECT_EQ(ImageDecoder::exifOrientation(exifBlock(9, true)), std::nullopt);
    EXPECT_EQ(ImageDecoder::exifOrientation(exifBlock(6, true, 4)), std::nullopt);  // not a SHORT

    auto block = exifBlock(6, false);
    for (std::size_t length = 0; length < 38; ++length)  // the value ends at byte 38
        EXPECT_EQ(ImageDecoder::exifOrientation(std::span(block).first(length)), std::nullopt) << length;
    auto farOffset = block;
    farOffset[10] = 0xff, farOffset[11] = 0xff, farOffset[12] = 0xff, farOffset[13] = 0x7f;  // IFD offset far away
    EXPECT_EQ(ImageDecoder::exifOrientation(farOffset), std::nullopt);
    auto manyEntries = block;
    manyEntries[14] = 0xff, manyEntries[15] = 0xff;  // 65535 entries in a few bytes
    manyEntries[28] = 0x13;  // and no Orientation tag among those present
    EXPECT_EQ(ImageDecoder::exifOrientation(manyEntries), std::nullopt);
}

TEST(ImageDecoderTest, PicturesBeyondTheLimitsAreRefusedBeforeDecoding)
{
    auto png = samplePicture()->pngData();
    EXPECT_FALSE(ImageDecoder::decodePNG(png, 1, { .maxPixels = 7 }));
    EXPECT_FALSE(ImageDecoder::decodePNG(png, 1, { .maxSide = 3 }));
    EXPECT_TRUE(ImageDecoder::decodePNG(png, 1, { .maxPixels = 8 }));
    // A header that claims 100000 x 100000 pixels must not make us allocate 40 GB.
    EXPECT_FALSE(ImageDecoder::decode(withPngDimensions(png, 100000, 100000)));
    EXPECT_FALSE(ImageDecoder::decode(withPngDimensions(png, 16000, 16000)));  // sides fine, area not

    auto jpeg = encodeJpeg({ .width = 64, .height = 64 });
    EXPECT_FALSE(ImageDecoder::decodeJPEG(jpeg, 1, { .maxPixels = 64 * 63 }));
    EXPECT_TRUE(ImageDecoder::decodeJPEG(jpeg, 1, { .maxPixels = 64 * 64 }));
}

// A progressive JPEG whose last scan is sent `times` more times, as a hostile file repeats it:
// the decoder warns of the odd progression and does the work of every scan again.
std::vector<std::uint8_t> withLastScanRepeated(std::vector<std::uint8_t> jpeg, int times)
{
    std::size_t lastScan = 0;
    for (std::size_t at = 0; at + 1 < jpeg.size(); ++at) {
        if (jpeg[at] == 0xff && jpeg[at + 1] == 0xda)
            lastScan = at;
    }
    std::vector<std::uint8_t> scan(jpeg.begin() + std::ptrdiff_t(lastScan), jpeg.end() - 2);  // up to the EOI
    for (int copy = 0; copy < times; ++copy)
        jpeg.insert(jpeg.end() - 2, scan.begin(), scan.end());
    return jpeg;
}

TEST(ImageDecoderTest, WorkIsBoundedByThePicturesBytes)
{
    using namespace morvix::testing::pictures;
    // A BMP decodes only with all the rows its header announces: the loader would paint the
    // missing ones, millions of them for a header of a few bytes.
    auto bmpOfLies = bmp();
    patch32(bmpOfLies, 18, 4000), patch32(bmpOfLies, 22, 4000);
    EXPECT_FALSE(ImageDecoder::decode(bmpOfLies));
    auto topDown = bmp();
    patch32(topDown, 22, std::uint32_t(-2));
    EXPECT_TRUE(ImageDecoder::decode(topDown));
    topDown.pop_back();
    EXPECT_FALSE(ImageDecoder::decode(topDown)) << "the last row lacks a byte";

    // A progressive JPEG of at most 100 scans decodes; one scan more and it is refused.
    auto progressive = encodeJpeg({ .width = 16, .height = 16, .progressive = true });
    ASSERT_TRUE(ImageDecoder::decode(progressive));
    int scans = 0;
    for (std::size_t at = 0; at + 1 < progressive.size(); ++at)
        scans += progressive[at] == 0xff && progressive[at + 1] == 0xda;
    EXPECT_TRUE(ImageDecoder::decode(withLastScanRepeated(progressive, 100 - scans)));
    EXPECT_FALSE(ImageDecoder::decode(withLastScanRepeated(progressive, 101 - scans)));

    // Of a GIF only the first frame is read: a second one the loader would choke on never
    // reaches it, nor would thousands of frames.
    auto twoFrames = gif();
    auto secondFrame = gif({ .frameWidth = 3, .frameHeight = 0 });
    twoFrames.pop_back();  // the trailer
    twoFrames.insert(twoFrames.end(), secondFrame.begin() + 13 + 24, secondFrame.end());
    auto first = ImageDecoder::decode(twoFrames);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->pixelAt(0, 0), kPicture[0][0]);
}

TEST(ImageDecoderTest, TruncatedAndCorruptedInputNeverCrashes)
{
    auto png = samplePicture()->pngData();
    auto jpeg = encodeJpeg({ .width = 40, .height = 24, .exif = exifBlock(3, true) });
    for (const auto* data : { &png, &jpeg }) {
        int pixels = data == &png ? 4 * 2 : 40 * 24;
        for (std::size_t length = 0; length < data->size(); ++length) {
            // A cut file may decode with its missing rows filled; it must still be whole.
            if (auto image = ImageDecoder::decode(std::span(*data).first(length))) {
                EXPECT_EQ(image->pixelWidth() * image->pixelHeight(), pixels);
            }
        }
    }

    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        auto damaged = round % 2 ? png : jpeg;
        for (int flips = 0; flips < 1 + round % 5; ++flips)
            damaged[8 + random() % (damaged.size() - 8)] ^= std::uint8_t(1 + random() % 255);
        auto image = ImageDecoder::decode(damaged);
        if (image) {
            EXPECT_LE(long(image->pixelWidth()) * image->pixelHeight(), Image::kMaxPixels);
        }
    }
    EXPECT_FALSE(ImageDecoder::decode({}));
    const std::uint8_t junk[] = { 'G', 'I', 'F', '8', '9', 'a' };
    EXPECT_FALSE(ImageDecoder::decode(junk));
    EXPECT_FALSE(ImageDecoder::decode(png, 0));  // no scale
}
