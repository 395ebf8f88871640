#include "platform/graphics/Image.h"

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageContext.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace morvix::platform;

namespace {

const Pixel kRed { 255, 0, 0, 255 };
const Pixel kGreen { 0, 255, 0, 255 };

// A 3 x 2 pixel picture, transparent but for red at (0, 0) and green at (1, 0).
std::shared_ptr<Image> markedPicture(ImageOrientation orientation, double scale = 1)
{
    BitmapContext bitmap(3, 2);
    bitmap.context().setFillColor(Color::fromRGBA(1, 0, 0));
    bitmap.context().fillRect({ 0, 0, 1, 1 });
    bitmap.context().setFillColor(Color::fromRGBA(0, 1, 0));
    bitmap.context().fillRect({ 1, 0, 1, 1 });
    return bitmap.image(scale, orientation);
}

struct OrientationCase {
    ImageOrientation orientation;
    int redX, redY, greenX, greenY;
};

// Where the two marks land once upright; from the orientation's definition (the Right image is
// turned a quarter clockwise to be seen, its first row becoming the right-hand column).
const OrientationCase kOrientationCases[] = {
    { ImageOrientation::Up, 0, 0, 1, 0 },
    { ImageOrientation::Down, 2, 1, 1, 1 },
    { ImageOrientation::Left, 0, 2, 0, 1 },
    { ImageOrientation::Right, 1, 0, 1, 1 },
    { ImageOrientation::UpMirrored, 2, 0, 1, 0 },
    { ImageOrientation::DownMirrored, 0, 1, 1, 1 },
    { ImageOrientation::LeftMirrored, 0, 0, 0, 1 },
    { ImageOrientation::RightMirrored, 1, 2, 1, 1 },
};

} // namespace

TEST(ImageTest, PointSizeDividesByScaleAndTurnsWhenTilted)
{
    auto up = markedPicture(ImageOrientation::Up, 2);
    EXPECT_EQ(up->size(), (Size { 1.5, 1 }));
    EXPECT_FALSE(up->isTilted());
    auto left = up->withScale(1, ImageOrientation::Left);
    EXPECT_TRUE(left->isTilted());
    EXPECT_EQ(left->size(), (Size { 2, 3 }));
    EXPECT_EQ(left->surface(), up->surface());  // shared, not copied
    EXPECT_FALSE(up->withScale(0, ImageOrientation::Up));
}

TEST(ImageTest, UprightAndDrawingFollowEveryOrientation)
{
    for (const auto& c : kOrientationCases) {
        SCOPED_TRACE(int(c.orientation));
        auto image = markedPicture(c.orientation);
        auto upright = image->upright();
        ASSERT_TRUE(upright);
        EXPECT_EQ(upright->orientation(), ImageOrientation::Up);
        EXPECT_EQ(upright->pixelWidth(), image->isTilted() ? 2 : 3);
        EXPECT_EQ(upright->pixelAt(c.redX, c.redY), kRed);
        EXPECT_EQ(upright->pixelAt(c.greenX, c.greenY), kGreen);

        // Drawing the oriented image gives the same picture as its upright pixels.
        ImageContext context(image->size(), Opaque::No, 1);
        context.context().setInterpolation(Interpolation::None);
        context.context().drawImage(*image, { { 0, 0 }, image->size() });
        auto drawn = context.image();
        EXPECT_EQ(drawn->pixelAt(c.redX, c.redY), kRed);
        EXPECT_EQ(drawn->pixelAt(c.greenX, c.greenY), kGreen);
    }
}

TEST(ImageTest, CropClipsToThePictureAndPixelAtOutsideIsClear)
{
    auto image = markedPicture(ImageOrientation::Up, 2);
    auto crop = image->cropped({ 1, -5, 10, 6 });
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->pixelWidth(), 2);
    EXPECT_EQ(crop->pixelHeight(), 1);
    EXPECT_EQ(crop->scale(), 2);
    EXPECT_EQ(crop->pixelAt(0, 0), kGreen);
    EXPECT_FALSE(image->cropped({ 5, 5, 2, 2 }));
    EXPECT_EQ(image->pixelAt(-1, 0), Pixel {});
    EXPECT_EQ(image->pixelAt(3, 0), Pixel {});
}

TEST(ImageTest, TransparentImagesRefuseEmptyAndHugeSizes)
{
    auto clear = Image::createTransparent(2, 3, 2);
    ASSERT_TRUE(clear);
    EXPECT_EQ(clear->pixelAt(1, 1), Pixel {});
    EXPECT_EQ(clear->size(), (Size { 1, 1.5 }));
    EXPECT_FALSE(Image::createTransparent(0, 3));
    EXPECT_FALSE(Image::createTransparent(-4, 3));
    EXPECT_FALSE(Image::createTransparent(Image::kMaxSide + 1, 1));
    EXPECT_FALSE(Image::createTransparent(10000, 10000));
    EXPECT_FALSE(Image::adopt(nullptr));
}

TEST(ImageTest, WritePngStoresTheUprightPictureAndReadsBack)
{
    auto directory = std::filesystem::temp_directory_path() / ("morvix-image-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    auto path = (directory / "right.png").string();
    ASSERT_TRUE(markedPicture(ImageOrientation::Right)->writePNG(path));
    auto back = Image::readFile(path, 2);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixelWidth(), 2);
    EXPECT_EQ(back->pixelHeight(), 3);
    EXPECT_EQ(back->scale(), 2);
    EXPECT_EQ(back->pixelAt(1, 0), kRed);
    EXPECT_FALSE(markedPicture(ImageOrientation::Up)->writePNG((directory / "missing" / "x.png").string()));
    EXPECT_FALSE(Image::readFile((directory / "none.png").string()));
    auto huge = directory / "huge.png";  // sparse: takes no disk space
    std::filesystem::copy_file(path, huge);
    std::filesystem::resize_file(huge, Image::kMaxFileBytes + 1);
    EXPECT_FALSE(Image::readFile(huge.string()));
    std::filesystem::remove_all(directory);
}
