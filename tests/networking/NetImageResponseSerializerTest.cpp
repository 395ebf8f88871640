#include "networking/NetCompoundResponseSerializer.h"
#include "networking/NetImageResponseSerializer.h"
#include "networking/NetJSONResponseSerializer.h"

#include "platform/graphics/Image.h"
#include "tests/networking/SerializerTestSupport.h"

#include <gtest/gtest.h>

// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <jpeglib.h>

#include <random>

using namespace morvix;
using morvix::testing::fixture;
using morvix::testing::responseWithContentType;
using morvix::platform::Error;
using morvix::platform::Image;

namespace {

// Encodes a solid picture with libjpeg's encoder; `components` 3 writes RGB (stored as
// YCbCr), 4 writes CMYK.
std::string encodeJPEG(int width, int height, int components, const std::vector<std::uint8_t>& pixel)
{
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    if (components == 4)
        jpeg_set_colorspace(&info, JCS_CMYK);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row;
    for (int x = 0; x < width; ++x)
        row.insert(row.end(), pixel.begin(), pixel.end());
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string result(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return result;
}

std::shared_ptr<Image> decode(const NetImageResponseSerializer& serializer, const std::string& type, const std::string& body,
    std::optional<Error>* error = nullptr)
{
    std::any object = serializer.responseObjectForResponse(responseWithContentType(200, type), &body, error);
    return object.has_value() ? std::any_cast<std::shared_ptr<Image>>(object) : nullptr;
}

} // namespace

TEST(NetImageResponseSerializerTest, DecodesAPNGAtTheSerializerScale)
{
    auto serializer = NetImageResponseSerializer::serializer();
    serializer->setImageScale(3);
    auto image = decode(*serializer, "image/png", fixture("rgb-4x3.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 4);
    EXPECT_EQ(image->pixelHeight(), 3);
    EXPECT_EQ(image->scale(), 3);
    EXPECT_EQ(image->pixelAt(3, 2), (platform::Pixel { 0x10, 0x20, 0x30, 0xff }));

    auto translucent = decode(*serializer, "image/png", fixture("rgba-2x2.png"));
    ASSERT_TRUE(translucent);
    platform::Pixel pixel = translucent->pixelAt(0, 0);
    EXPECT_EQ(pixel.alpha, 0x80);
    EXPECT_NEAR(pixel.red, 0xff, 2);

    serializer->setAutomaticallyInflatesResponseImage(false);
    auto plain = decode(*serializer, "image/png", fixture("rgb-4x3.png"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->scale(), 3);
}

TEST(NetImageResponseSerializerTest, JPEGsFromAnotherEncoderDecodeWhateverTheirColourModel)
{
    auto serializer = NetImageResponseSerializer::serializer();
    std::string rgb = encodeJPEG(8, 6, 3, { 200, 100, 50 });
    std::string cmyk = encodeJPEG(8, 6, 4, { 0, 255, 255, 0 });

    auto info = NetImageBitmapInfoForData(cmyk);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->colorModel, NetImageBitmapInfo::ColorModel::CMYK);
    EXPECT_EQ(NetImageBitmapInfoForData(rgb)->colorModel, NetImageBitmapInfo::ColorModel::RGB);

    auto image = decode(*serializer, "image/jpeg", rgb);
    ASSERT_TRUE(image);
    platform::Pixel pixel = image->pixelAt(4, 3);
    EXPECT_NEAR(pixel.red, 200, 4);
    EXPECT_NEAR(pixel.green, 100, 4);
    EXPECT_NEAR(pixel.blue, 50, 4);

    // A CMYK JPEG skips the direct decoder and still arrives as an image.
    auto fromCMYK = decode(*serializer, "image/jpeg", cmyk);
    ASSERT_TRUE(fromCMYK);
    EXPECT_EQ(fromCMYK->pixelWidth(), 8);
}

TEST(NetImageResponseSerializerTest, InflationStopsAboveAMegapixelAndAboveEightBits)
{
    auto square = NetImageBitmapInfoForData(fixture("rgb-1024x1024.png"));
    auto wider = NetImageBitmapInfoForData(fixture("rgb-1025x1024.png"));
    auto deep = NetImageBitmapInfoForData(fixture("rgb16-3x2.png"));
    ASSERT_TRUE(square && wider && deep);
    EXPECT_TRUE(NetImageResponseSerializer::inflationApplies(*square, 1024, 1024));
    EXPECT_FALSE(NetImageResponseSerializer::inflationApplies(*wider, 1025, 1024));
    EXPECT_EQ(deep->bitsPerComponent, 16);
    EXPECT_FALSE(NetImageResponseSerializer::inflationApplies(*deep, 3, 2));
    EXPECT_TRUE(NetImageBitmapInfoForData(fixture("rgba-2x2.png"))->hasAlpha);
    EXPECT_FALSE(square->hasAlpha);

    auto serializer = NetImageResponseSerializer::serializer();
    for (const char* name : { "rgb-1024x1024.png", "rgb-1025x1024.png", "rgb16-3x2.png" }) {
        auto image = decode(*serializer, "image/png", fixture(name));
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(image->scale(), serializer->imageScale());
    }
}

TEST(NetImageResponseSerializerTest, FormatsWithoutADecoderAndRejectionsGiveNothing)
{
    auto serializer = NetImageResponseSerializer::serializer();
    std::optional<Error> error;
    std::string gif = "GIF89a\x01\x00\x01\x00\x00\x00\x00;";
    EXPECT_FALSE(decode(*serializer, "image/gif", gif, &error));
    EXPECT_FALSE(error);
    EXPECT_FALSE(decode(*serializer, "image/png", std::string(), &error));

    EXPECT_FALSE(decode(*serializer, "text/html", fixture("rgb-4x3.png"), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1016);

    // A status failure still decodes, with the error beside the image.
    std::string png = fixture("rgb-4x3.png");
    error.reset();
    std::any object = serializer->responseObjectForResponse(responseWithContentType(404, "image/png"), &png, &error);
    EXPECT_TRUE(object.has_value());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1011);
}

TEST(NetImageResponseSerializerTest, APNGUnderAnotherImageTypeDecodesThroughTheGeneralPath)
{
    auto serializer = NetImageResponseSerializer::serializer();
    // Both types are accepted, so the body reaches the decoder, which goes by its bytes.
    for (const char* type : { "image/x-icon", "image/webp" }) {
        auto image = decode(*serializer, type, fixture("rgb-4x3.png"));
        ASSERT_TRUE(image) << type;
        EXPECT_EQ(image->pixelWidth(), 4);
    }
}

TEST(NetImageResponseSerializerTest, CompoundOfJSONAndImageGivesTheImage)
{
    auto compound = NetCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        { NetJSONResponseSerializer::serializer(), NetImageResponseSerializer::serializer() });
    std::string png = fixture("rgb-4x3.png");
    std::optional<Error> error;
    std::any object = compound->responseObjectForResponse(responseWithContentType(200, "image/png"), &png, &error);
    ASSERT_TRUE(object.has_value());
    EXPECT_TRUE(std::any_cast<std::shared_ptr<Image>>(object));
    EXPECT_FALSE(error);
}

TEST(NetImageResponseSerializerTest, TruncatedAndCorruptedImagesNeverCrash)
{
    auto serializer = NetImageResponseSerializer::serializer();
    std::mt19937 random(2024);
    std::vector<std::pair<std::string, std::string>> inputs = {
        { "image/png", fixture("rgba-2x2.png") },
        { "image/png", fixture("rgb16-3x2.png") },
        { "image/jpeg", encodeJPEG(16, 16, 3, { 1, 2, 3 }) },
        { "image/jpeg", encodeJPEG(16, 16, 4, { 1, 2, 3, 4 }) },
    };
    for (const auto& [type, body] : inputs) {
        for (std::size_t length = 0; length < body.size(); length += 3)
            decode(*serializer, type, body.substr(0, length));
        for (int round = 0; round < 300; ++round) {
            std::string mutated = body;
            for (int flips = 0; flips < 3; ++flips)
                mutated[random() % mutated.size()] = static_cast<char>(random());
            decode(*serializer, type, mutated);
            (void)NetImageBitmapInfoForData(mutated);
        }
    }
}

TEST(NetImageResponseSerializerTest, HugeDeclaredSizesAreRefusedBeforeAllocating)
{
    // A PNG header that claims 30000 x 30000 pixels, with almost no data behind it.
    std::string png = fixture("rgb-4x3.png");
    auto setBigEndian = [&](std::size_t at, std::uint32_t value) {
        for (int index = 0; index < 4; ++index)
            png[at + index] = static_cast<char>(value >> (24 - 8 * index));
    };
    setBigEndian(16, 30000);
    setBigEndian(20, 30000);
    auto serializer = NetImageResponseSerializer::serializer();
    EXPECT_FALSE(decode(*serializer, "image/png", png));
}
