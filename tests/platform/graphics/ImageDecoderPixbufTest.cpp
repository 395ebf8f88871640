// GIF, TIFF, ICO and BMP pictures, written byte by byte, decoded through gdk-pixbuf.

#include "platform/graphics/ImageDecoder.h"

#include "tests/platform/graphics/PixbufTestPictures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

using namespace morvix::testing::pictures;

bool near(const Pixel& a, const Pixel& b)
{
    auto close = [](int x, int y) { return std::abs(x - y) <= 2; };
    return close(a.red, b.red) && close(a.green, b.green) && close(a.blue, b.blue) && close(a.alpha, b.alpha);
}

std::string describe(const Pixel& p)
{
    return std::to_string(p.red) + "," + std::to_string(p.green) + "," + std::to_string(p.blue) + "," + std::to_string(p.alpha);
}

// The picture's pixels, with the last one as the format keeps it.
void expectPicture(const std::shared_ptr<Image>& image, Pixel last)
{
    ASSERT_TRUE(image);
    ASSERT_EQ(image->pixelWidth(), 3);
    ASSERT_EQ(image->pixelHeight(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            Pixel expected = x == 2 && y == 1 ? last : kPicture[y][x];
            Pixel actual = image->pixelAt(x, y);
            EXPECT_TRUE(near(actual, expected)) << x << "," << y << ": " << describe(actual) << " not " << describe(expected);
        }
}

} // namespace

TEST(ImageDecoderPixbufTest, GifTiffIcoAndBmpDecodeToTheirPixels)
{
    EXPECT_EQ(ImageDecoder::sniffPixbuf(gif()), ImageDecoder::PixbufFormat::GIF);
    EXPECT_EQ(ImageDecoder::sniffPixbuf(tiff()), ImageDecoder::PixbufFormat::TIFF);
    EXPECT_EQ(ImageDecoder::sniffPixbuf(ico()), ImageDecoder::PixbufFormat::ICO);
    EXPECT_EQ(ImageDecoder::sniffPixbuf(bmp()), ImageDecoder::PixbufFormat::BMP);
    EXPECT_EQ(ImageDecoder::sniff(gif()), ImageDecoder::Format::Unknown);

    auto fromGif = ImageDecoder::decode(gif(), 2);
    expectPicture(fromGif, { 0, 0, 0, 0 });
    EXPECT_EQ(fromGif->size(), (Size { 1.5, 1 }));
    expectPicture(ImageDecoder::decode(bmp()), { 255, 255, 0, 255 });
    // Partial alpha survives: premultiplied once on the way in, so it reads back straight.
    expectPicture(ImageDecoder::decode(ico()), { 255, 255, 0, 128 });
    // The TIFF loader's samples come premultiplied already; multiplying again would darken them.
    expectPicture(ImageDecoder::decode(tiff()), { 255, 255, 0, 128 });

    // A TIFF's orientation is kept, as a JPEG's is: 6 turns the first row into the right column.
    // (The loader mirrors the rows itself and reports what is left to do.)
    auto turned = ImageDecoder::decode(tiff(3, 2, 6));
    ASSERT_TRUE(turned);
    EXPECT_TRUE(turned->isTilted());
    EXPECT_EQ(turned->size(), (Size { 2, 3 }));
    auto upright = turned->upright();
    EXPECT_EQ(upright->pixelAt(1, 0), kPicture[0][0]);
    EXPECT_EQ(upright->pixelAt(1, 1), kPicture[0][1]);
    EXPECT_EQ(upright->pixelAt(0, 0), kPicture[1][0]);
}

TEST(ImageDecoderPixbufTest, OversizedOrBrokenPicturesAreRefusedQuietly)
{
    // Whatever the loaders think of hostile input stays off the terminal.
    testing::internal::CaptureStderr();

    auto hugeBmp = bmp();
    patch32(hugeBmp, 18, 100000), patch32(hugeBmp, 22, 100000);
    EXPECT_FALSE(ImageDecoder::decode(hugeBmp));
    EXPECT_FALSE(ImageDecoder::decode(gif({ .screenWidth = 65535, .screenHeight = 65535 })));
    // The loader sizes a frame by its own descriptor, which the screen's size does not bound;
    // an empty frame would trip an assertion inside it.
    EXPECT_FALSE(ImageDecoder::decode(gif({ .frameWidth = 65535, .frameHeight = 65535 })));
    EXPECT_FALSE(ImageDecoder::decode(gif({ .frameWidth = 3, .frameHeight = 0 })));
    EXPECT_FALSE(ImageDecoder::decode(tiff(20000, 2)));  // too wide, though only 40000 pixels
    auto hugeTiff = tiff(3, 2);
    patch32(hugeTiff, 8 + 24 + 8 + 2 + 8, 8000);  // the width entry's value: 64 million pixels
    patch32(hugeTiff, 8 + 24 + 8 + 2 + 12 + 8, 8000);
    EXPECT_FALSE(ImageDecoder::decode(hugeTiff));
    auto hugeIco = ico();
    patch32(hugeIco, 22 + 4, 100000), patch32(hugeIco, 22 + 8, 200000);
    EXPECT_FALSE(ImageDecoder::decode(hugeIco));
    for (const Bytes& picture : { gif(), tiff(), ico(), bmp() }) {
        EXPECT_FALSE(ImageDecoder::decode(picture, 1, { .maxPixels = 5 }));
        EXPECT_FALSE(ImageDecoder::decode(picture, 1, { .maxSide = 2 }));
        EXPECT_TRUE(ImageDecoder::decode(picture, 1, { .maxPixels = 6, .maxSide = 3 }));
        EXPECT_FALSE(ImageDecoder::decode(picture, 0));
        for (std::size_t length = 0; length < picture.size(); ++length) {
            auto image = ImageDecoder::decode(std::span(picture).first(length));
            if (image) {
                EXPECT_EQ(image->pixelWidth() * image->pixelHeight(), 6) << length;
            }
        }
    }
    const std::uint8_t webpWithoutLoader[] = { 'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B', 'P' };
    EXPECT_FALSE(ImageDecoder::decode(webpWithoutLoader));

    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
