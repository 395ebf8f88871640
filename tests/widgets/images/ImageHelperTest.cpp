// Image geometry: fitting, restricting, placeholders and turning pictures upright.

#include "widgets/images/ImageHelper.h"

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Screen.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

using platform::Image;
using platform::ImageOrientation;
using platform::Pixel;
using platform::Size;

TEST(ImageHelperTest, FittingKeepsTheAspectRatioAndTreatsZeroAsUnbounded)
{
    EXPECT_EQ(ImageHelper::computeSizeByScaling({ 400, 100 }, { 100, 50 }), (Size { 100, 25 }));
    EXPECT_EQ(ImageHelper::computeSizeByScaling({ 400, 100 }, { 100, 0 }), (Size { 100, 25 }));
    EXPECT_EQ(ImageHelper::computeSizeByScaling({ 400, 100 }, { 0, 200 }), (Size { 800, 200 }));
    EXPECT_EQ(ImageHelper::computeSizeByScaling({ 400, 100 }, { 0, 0 }), (Size { 400, 100 }));
    // A picture without area is handed on, never divided by.
    EXPECT_EQ(ImageHelper::computeSizeByScaling({ 0, 100 }, { 50, 50 }), (Size { 0, 100 }));
    EXPECT_EQ(ImageHelper::computeSizeByScaling({ 400, 100 }, 1, 2.0), (Size { 200, 50 }));
    EXPECT_EQ(ImageHelper::computeSizeByScaling({ 400, 100 }, 2, std::nullopt), (Size { 800, 200 }));
    EXPECT_DOUBLE_EQ(ImageHelper::computeScaleToFitRatio({ 400, 100 }, { 100, 100 }), 0.25);
}

TEST(ImageHelperTest, ScalingTruncatesPixelsAndRefusesSizesBeyondTheLimits)
{
    platform::Screen::main().setScale(2);
    auto image = Image::createTransparent(30, 20, 1);
    // Restricting floors the fitted size: 30 x 20 into 10 x 10 is 10 x 6.666 -> 10 x 6.
    auto restricted = ImageHelper::restrictImage(image, { 10, 10 });
    EXPECT_EQ(restricted->size(), (Size { 10, 6 }));
    EXPECT_EQ(restricted->pixelWidth(), 20);
    EXPECT_EQ(ImageHelper::restrictImage(image, { 30, 20 }), image);
    EXPECT_EQ(ImageHelper::projectImage(image, { 0, 0 }, std::nullopt), image);
    auto fitted = ImageHelper::projectImage(image, { 15, 0 }, std::nullopt);
    EXPECT_EQ(fitted->size(), (Size { 15, 10 }));
    EXPECT_EQ(fitted->scale(), 2);

    auto placeholder = ImageHelper::createPlaceholder({ 10.9, 3.2 });
    ASSERT_TRUE(placeholder);
    EXPECT_EQ(placeholder->pixelWidth(), 10);
    EXPECT_EQ(placeholder->pixelHeight(), 3);
    EXPECT_EQ(placeholder->scale(), 1);
    EXPECT_EQ(placeholder->pixelAt(5, 1).alpha, 0);
    EXPECT_EQ(ImageHelper::createPlaceholder({ 0.9, 10 }), nullptr);
    EXPECT_EQ(ImageHelper::scaleImage(image, { 0.4, 10 }), nullptr); // 0.8 pixels wide
    // Beyond the limits nothing is allocated: these would be gigabytes.
    EXPECT_EQ(ImageHelper::createPlaceholder({ 100000, 100000 }), nullptr);
    EXPECT_EQ(ImageHelper::createPlaceholder({ 20000, 10 }), nullptr);
    EXPECT_EQ(ImageHelper::projectImage(image, { 1e300, 1e300 }, std::nullopt), nullptr);
}

// A 3 x 2 picture with four distinct corners, stored as it came off the sensor.
std::shared_ptr<Image> corners()
{
    platform::BitmapContext bitmap(3, 2);
    auto& context = bitmap.context();
    auto paint = [&](double x, double y, platform::Color color) {
        context.setFillColor(color);
        context.fillRect({ x, y, 1, 1 });
    };
    context.setFillColor(platform::Color::fromRGBA(1, 1, 1));
    context.fillRect({ 0, 0, 3, 2 });
    paint(0, 0, platform::Color::fromRGBA(1, 0, 0)); // top left: red
    paint(2, 0, platform::Color::fromRGBA(0, 1, 0)); // top right: green
    paint(0, 1, platform::Color::fromRGBA(0, 0, 1)); // bottom left: blue
    paint(2, 1, platform::Color::fromRGBA(0, 0, 0)); // bottom right: black
    return bitmap.image(1);
}

TEST(ImageHelperTest, FixOrientationPutsEachCornerWhereTheOrientationSays)
{
    const Pixel red { 255, 0, 0, 255 }, green { 0, 255, 0, 255 };
    struct Case {
        ImageOrientation orientation;
        int width, height;           // the upright picture
        int redX, redY, greenX, greenY; // where the stored top corners land
    };
    const Case cases[] = {
        { ImageOrientation::Up, 3, 2, 0, 0, 2, 0 },
        { ImageOrientation::Down, 3, 2, 2, 1, 0, 1 },
        { ImageOrientation::Left, 2, 3, 0, 2, 0, 0 },
        { ImageOrientation::Right, 2, 3, 1, 0, 1, 2 },
        { ImageOrientation::UpMirrored, 3, 2, 2, 0, 0, 0 },
        { ImageOrientation::DownMirrored, 3, 2, 0, 1, 2, 1 },
        { ImageOrientation::LeftMirrored, 2, 3, 0, 0, 0, 2 },
        { ImageOrientation::RightMirrored, 2, 3, 1, 2, 1, 0 },
    };
    auto stored = corners();
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.orientation));
        auto oriented = stored->withScale(1, c.orientation);
        auto fixed = ImageHelper::fixOrientation(oriented);
        ASSERT_TRUE(fixed);
        EXPECT_EQ(fixed->orientation(), ImageOrientation::Up);
        ASSERT_EQ(fixed->pixelWidth(), c.width);
        ASSERT_EQ(fixed->pixelHeight(), c.height);
        EXPECT_EQ(fixed->pixelAt(c.redX, c.redY), red);
        EXPECT_EQ(fixed->pixelAt(c.greenX, c.greenY), green);
        auto upright = oriented->upright();
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                EXPECT_EQ(fixed->pixelAt(x, y), upright->pixelAt(x, y)) << "at " << x << ", " << y;
    }
}

} // namespace
} // namespace morvix
