#include "platform/graphics/GraphicsContext.h"

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageContext.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace morvix::platform;

namespace {

const Color kRed = Color::fromRGBA(1, 0, 0);
const Color kBlue = Color::fromRGBA(0, 0, 1);

class GraphicsContextTest : public ::testing::Test {
protected:
    Pixel at(int x, int y) { return bitmap.image()->pixelAt(x, y); }

    BitmapContext bitmap { 40, 40 };
    GraphicsContext& gc = bitmap.context();
};

bool near(int a, int b, int tolerance = 3)
{
    return std::abs(a - b) <= tolerance;
}

} // namespace

TEST_F(GraphicsContextTest, FillConsumesThePathButRectangleCallsKeepIt)
{
    gc.addRect({ 0, 0, 10, 10 });
    gc.setFillColor(kRed);
    gc.fillRect({ 20, 20, 5, 5 });  // leaves the square's path in place
    EXPECT_TRUE(gc.hasCurrentPoint());
    EXPECT_EQ(gc.path().boundingBox(), Rect(0, 0, 10, 10));
    gc.fillPath();
    EXPECT_FALSE(gc.hasCurrentPoint());
    EXPECT_TRUE(gc.path().isEmpty());
    EXPECT_EQ(at(5, 5), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(at(22, 22), (Pixel { 255, 0, 0, 255 }));
}

TEST_F(GraphicsContextTest, PathCopiedOutCanBeStrokedAfterAFill)
{
    gc.addRect({ 10, 10, 20, 20 });
    Path kept = gc.path();
    gc.setFillColor(kRed);
    gc.fillPath();
    gc.addPath(kept);
    gc.setStrokeColor(kBlue);
    gc.setLineWidth(2);
    gc.strokePath();
    EXPECT_EQ(at(20, 20), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(at(10, 20), (Pixel { 0, 0, 255, 255 }));  // on the outline
    EXPECT_EQ(at(5, 5), Pixel {});
}

TEST_F(GraphicsContextTest, SaveRestoreCoversColoursAlphaTransformAndClip)
{
    gc.setFillColor(kRed);
    gc.save();
    gc.setFillColor(kBlue);
    gc.setAlpha(0.5);
    gc.translate(20, 0);
    gc.clipToRect({ 0, 0, 5, 5 });
    EXPECT_EQ(gc.saveDepth(), 1u);
    gc.restore();
    gc.restore();  // unbalanced: nothing happens
    EXPECT_EQ(gc.saveDepth(), 0u);
    EXPECT_EQ(gc.fillColor(), kRed);
    EXPECT_EQ(gc.alpha(), 1);
    EXPECT_TRUE(gc.ctm().isIdentity());
    gc.fillRect({ 0, 0, 40, 40 });
    EXPECT_EQ(at(39, 39), (Pixel { 255, 0, 0, 255 }));
}

TEST_F(GraphicsContextTest, AlphaMultipliesColoursImagesAndGradients)
{
    gc.setAlpha(0.5);
    gc.setFillColor(kRed.withAlpha(0.5));
    gc.fillRect({ 0, 0, 10, 10 });
    EXPECT_TRUE(near(at(5, 5).alpha, 64));

    auto solid = Image::createTransparent(1, 1);
    {
        BitmapContext source(1, 1);
        source.context().setFillColor(kBlue);
        source.context().fillRect({ 0, 0, 1, 1 });
        solid = source.image();
    }
    gc.drawImage(*solid, { 10, 0, 10, 10 });
    EXPECT_TRUE(near(at(15, 5).alpha, 128));

    gc.save();
    gc.clipToRect({ 20, 0, 10, 10 });
    gc.drawLinearGradient(Gradient::evenlySpaced({ kBlue, kBlue }), { 20, 0 }, { 30, 0 }, GradientExtent::None);
    gc.restore();
    EXPECT_TRUE(near(at(25, 5).alpha, 128));
}

TEST_F(GraphicsContextTest, ClearRectAndClipLimitDrawing)
{
    gc.setFillColor(kRed);
    gc.fillRect({ 0, 0, 40, 40 });
    gc.clearRect({ 0, 0, 10, 10 });
    EXPECT_EQ(at(5, 5), Pixel {});
    gc.save();
    gc.addEllipse({ 20, 20, 20, 20 });
    gc.clip();
    gc.setFillColor(kBlue);
    gc.fillRect({ 0, 0, 40, 40 });
    gc.restore();
    EXPECT_EQ(at(30, 30), (Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(at(21, 21), (Pixel { 255, 0, 0, 255 }));  // outside the circle
}

TEST_F(GraphicsContextTest, LinearGradientExtentsCoverTheRightSides)
{
    auto gradient = Gradient::evenlySpaced({ Color::black(), Color::white() });
    gc.drawLinearGradient(gradient, { 10, 0 }, { 30, 0 }, GradientExtent::None);
    EXPECT_EQ(at(5, 5), Pixel {});
    EXPECT_EQ(at(35, 5), Pixel {});
    EXPECT_LT(at(12, 5).red, at(28, 5).red);

    BitmapContext before(40, 1);
    before.context().drawLinearGradient(gradient, { 10, 0 }, { 30, 0 }, GradientExtent::BeforeStart);
    EXPECT_EQ(before.image()->pixelAt(2, 0), (Pixel { 0, 0, 0, 255 }));
    EXPECT_EQ(before.image()->pixelAt(35, 0), Pixel {});

    BitmapContext after(40, 1);
    after.context().drawLinearGradient(gradient, { 10, 0 }, { 30, 0 }, GradientExtent::AfterEnd);
    EXPECT_EQ(after.image()->pixelAt(2, 0), Pixel {});
    EXPECT_EQ(after.image()->pixelAt(35, 0), (Pixel { 255, 255, 255, 255 }));

    BitmapContext radial(40, 40);
    radial.context().drawRadialGradient(Gradient::evenlySpaced({ kRed, kBlue }), { 20, 20 }, 0, { 20, 20 }, 10, GradientExtent::None);
    EXPECT_GT(radial.image()->pixelAt(20, 20).red, 200);
    EXPECT_GT(radial.image()->pixelAt(28, 20).blue, 150);
    EXPECT_EQ(radial.image()->pixelAt(2, 2), Pixel {});
}

TEST_F(GraphicsContextTest, ArcDirectionIsAsSeenWithYDown)
{
    gc.setFillColor(kRed);
    gc.moveTo({ 20, 20 });
    gc.arc({ 20, 20 }, 15, 0, M_PI / 2, ArcDirection::IncreasingAngle);  // the lower right quarter
    gc.closePath();
    gc.fillPath();
    EXPECT_EQ(at(26, 26), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(at(26, 14), Pixel {});

    BitmapContext other(40, 40);
    other.context().moveTo({ 20, 20 });
    other.context().arc({ 20, 20 }, 15, 0, M_PI / 2, ArcDirection::DecreasingAngle);  // three quarters
    other.context().fillPath();
    EXPECT_EQ(other.image()->pixelAt(26, 26), Pixel {});
    EXPECT_EQ(other.image()->pixelAt(26, 14).alpha, 255);
}

TEST_F(GraphicsContextTest, TransparencyLayerCompositesOnceWithItsAlpha)
{
    gc.setAlpha(0.5);
    gc.beginTransparencyLayer();
    gc.setFillColor(kRed);
    gc.fillRect({ 0, 0, 20, 20 });
    gc.fillRect({ 10, 10, 20, 20 });  // overlaps: stays one layer of red inside
    gc.endTransparencyLayer();
    EXPECT_TRUE(near(at(15, 15).alpha, 128));
    EXPECT_TRUE(near(at(5, 5).alpha, 128));
    EXPECT_EQ(gc.saveDepth(), 0u);
    EXPECT_EQ(gc.alpha(), 0.5);
}

TEST_F(GraphicsContextTest, UnbalancedSavesInsideALayerLeaveItWhole)
{
    gc.beginTransparencyLayer();
    gc.setFillColor(kRed);
    gc.restore();  // no save inside the layer: must not end the layer's group halfway
    gc.restore();
    gc.fillRect({ 0, 0, 10, 10 });
    gc.save();
    gc.save();  // left open: ending the layer closes them
    gc.translate(100, 100);
    gc.endTransparencyLayer(0.5);
    EXPECT_EQ(gc.saveDepth(), 0u);
    EXPECT_TRUE(near(at(5, 5).alpha, 128));

    // The context still draws, with the transform from before the layer.
    gc.setFillColor(kBlue);
    gc.fillRect({ 20, 20, 5, 5 });
    EXPECT_EQ(at(22, 22), (Pixel { 0, 0, 255, 255 }));
}

TEST_F(GraphicsContextTest, SourceInRecoloursWhatIsThereAndLeavesTheRestAlone)
{
    // An icon recoloured in one colour: its shape, with its transparency, in the fill colour.
    gc.setFillColor(kRed);
    gc.fillRect({ 0, 0, 10, 10 });
    gc.setFillColor(kRed.withAlpha(0.5f));
    gc.fillRect({ 10, 0, 10, 10 });
    gc.setFillColor(kBlue);
    gc.fillRect({ 30, 30, 5, 5 });  // outside the shape filled below

    gc.save();
    gc.setBlendMode(BlendMode::SourceIn);
    gc.setFillColor(Color::fromRGBA(0, 1, 0));
    gc.fillRect({ 0, 0, 25, 25 });
    gc.restore();
    EXPECT_EQ(gc.blendMode(), BlendMode::Normal);
    EXPECT_EQ(at(5, 5), (Pixel { 0, 255, 0, 255 }));
    Pixel half = at(15, 5);
    EXPECT_TRUE(half.green == 255 && near(half.alpha, 128) && half.red == 0) << int(half.red) << " " << int(half.alpha);
    EXPECT_EQ(at(5, 15), Pixel {});                      // nothing was there
    EXPECT_EQ(at(32, 32), (Pixel { 0, 0, 255, 255 }));  // untouched

    // Images take the blend mode too: a picture drawn source-in shows only over the red.
    BitmapContext picture(40, 40);
    picture.context().setFillColor(kBlue);
    picture.context().fillRect({ 0, 0, 40, 40 });
    gc.setBlendMode(BlendMode::SourceIn);
    gc.drawImage(*picture.image(), { 0, 0, 10, 20 });
    EXPECT_EQ(at(5, 5), (Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(at(5, 15), Pixel {});
    EXPECT_EQ(at(32, 32), (Pixel { 0, 0, 255, 255 }));
}

TEST(GraphicsContextShadowTest, ShadowFallsAtItsOffsetInBaseSpace)
{
    ImageContext points({ 40, 40 }, Opaque::No, 2);
    GraphicsContext& gc = points.context();
    gc.setShadow(Shadow { .offset = { 5, 5 }, .blur = 0, .color = Color::black() });
    gc.save();
    gc.scale(2, 2);  // the offset stays 5 points whatever the transform
    gc.setFillColor(kRed);
    gc.fillRect({ 5, 5, 5, 5 });  // 10 to 20 points
    gc.restore();
    auto image = points.image();
    EXPECT_EQ(image->pixelAt(2 * 15, 2 * 15), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(image->pixelAt(2 * 22, 2 * 22), (Pixel { 0, 0, 0, 255 }));  // shadow, 5 points down and right
    EXPECT_EQ(image->pixelAt(2 * 8, 2 * 8), Pixel {});
    EXPECT_EQ(image->pixelAt(2 * 26, 2 * 26), Pixel {});

    // Blurred: full inside, partial at the edge; saved and restored with the state.
    gc.save();
    gc.setShadow(Shadow { .offset = { 0, 0 }, .blur = 4, .color = Color::black() });
    gc.setFillColor(kRed.withAlpha(0));
    gc.setStrokeColor(kBlue);
    gc.setLineWidth(6);
    gc.moveTo({ 30, 2 });
    gc.lineTo({ 30, 38 });
    gc.strokePath();
    gc.restore();
    EXPECT_EQ(gc.shadow()->blur, 0);
    image = points.image();
    EXPECT_EQ(image->pixelAt(2 * 30, 2 * 20), (Pixel { 0, 0, 255, 255 }));
    Pixel edge = image->pixelAt(2 * 33 + 1, 2 * 20);
    EXPECT_TRUE(edge.alpha > 20 && edge.alpha < 235 && edge.red == 0 && edge.blue == 0) << int(edge.alpha);
    EXPECT_EQ(image->pixelAt(2 * 37, 2 * 20), Pixel {});

    // No shadow while recolouring.
    gc.setBlendMode(BlendMode::SourceIn);
    gc.setFillColor(kRed);
    gc.fillRect({ 0, 0, 40, 40 });
    image = points.image();
    EXPECT_EQ(image->pixelAt(2 * 30, 2 * 20), (Pixel { 255, 0, 0, 255 }));  // the stroke, recoloured
    EXPECT_EQ(image->pixelAt(2 * 6, 2 * 36), Pixel {});
}

TEST(ResizableImageTest, CapsKeepTheirSizeAndTheMiddleStretchesOrTiles)
{
    // 10 x 10: a red left cap and a blue right cap, 3 wide; a middle of green then yellow.
    BitmapContext bitmap(10, 10);
    const std::pair<Rect, Color> stripes[] = { { { 0, 0, 3, 10 }, kRed }, { { 3, 0, 2, 10 }, Color::fromRGBA(0, 1, 0) },
        { { 5, 0, 2, 10 }, Color::fromRGBA(1, 1, 0) }, { { 7, 0, 3, 10 }, kBlue } };
    for (const auto& [rect, color] : stripes) {
        bitmap.context().setFillColor(color);
        bitmap.context().fillRect(rect);
    }
    const Pixel red { 255, 0, 0, 255 }, green { 0, 255, 0, 255 }, yellow { 255, 255, 0, 255 }, blue { 0, 0, 255, 255 };
    auto plain = bitmap.image();
    auto draw = [](const Image& image, double width) {
        ImageContext context({ 40, 10 }, Opaque::No, 1);
        context.context().setInterpolation(Interpolation::None);
        context.context().drawImage(image, { 0, 0, width, 10 });
        return context.image();
    };

    auto stretched = draw(*plain->resizable({ 0, 3, 0, 3 }, ResizingMode::Stretch), 40);
    EXPECT_EQ(stretched->pixelAt(2, 5), red);
    EXPECT_EQ(stretched->pixelAt(3, 5), green);
    EXPECT_EQ(stretched->pixelAt(19, 5), green);
    EXPECT_EQ(stretched->pixelAt(21, 5), yellow);
    EXPECT_EQ(stretched->pixelAt(36, 5), yellow);
    EXPECT_EQ(stretched->pixelAt(37, 5), blue);

    auto tiled = draw(*plain->resizable({ 0, 3, 0, 3 }), 40);
    EXPECT_EQ(tiled->pixelAt(3, 5), green);
    EXPECT_EQ(tiled->pixelAt(5, 5), yellow);
    EXPECT_EQ(tiled->pixelAt(7, 5), green);  // the middle repeats
    EXPECT_EQ(tiled->pixelAt(37, 5), blue);

    auto narrow = draw(*plain->resizable({ 0, 3, 0, 3 }, ResizingMode::Stretch), 4);  // caps shrink to 2 each
    EXPECT_EQ(narrow->pixelAt(1, 5), red);
    EXPECT_EQ(narrow->pixelAt(2, 5), blue);
    EXPECT_EQ(narrow->pixelAt(4, 5), Pixel {});

    auto unchanged = draw(*plain, 40);  // not resizable: stretched whole
    EXPECT_EQ(unchanged->pixelAt(10, 5), red);
    EXPECT_FALSE(plain->capInsets());
    EXPECT_EQ(plain->resizable({ -1, 2, 0, 0 })->capInsets(), (EdgeInsets { 0, 2, 0, 0 }));
}

TEST(OffscreenContextTest, LinesStartOnePointWide)
{
    // Thin outlines drawn without setting a width (cell separators, borders of custom drawing)
    // are one point wide on the platform; cairo's own default is two.
    ImageContext points({ 10, 10 }, Opaque::No, 2);
    EXPECT_EQ(points.context().lineWidth(), 1);
    points.context().moveTo({ 0, 5 });
    points.context().lineTo({ 10, 5 });
    points.context().strokePath();
    auto image = points.image();
    EXPECT_EQ(image->pixelAt(4, 9).alpha, 255);
    EXPECT_EQ(image->pixelAt(4, 10).alpha, 255);
    EXPECT_EQ(image->pixelAt(4, 8).alpha, 0);
    EXPECT_EQ(image->pixelAt(4, 11).alpha, 0);
    EXPECT_EQ(BitmapContext(4, 4).context().lineWidth(), 1);
}

TEST_F(GraphicsContextTest, LayerMaskShowsOnlyWhereTheMaskIsOpaque)
{
    BitmapContext maskBitmap(2, 1);
    maskBitmap.context().setFillColor(Color::black());
    maskBitmap.context().fillRect({ 0, 0, 1, 1 });  // left half opaque, right half clear
    auto mask = maskBitmap.image();

    gc.beginTransparencyLayer();
    gc.setFillColor(kBlue);
    gc.fillRect({ 0, 0, 40, 40 });
    gc.endTransparencyLayerWithMask(*mask, { 0, 0, 20, 20 });
    EXPECT_EQ(at(3, 10), (Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(at(17, 10), Pixel {});
    EXPECT_EQ(at(30, 30), Pixel {});  // outside the mask's rectangle
}

TEST_F(GraphicsContextTest, TiledImageRepeatsAtPointSize)
{
    BitmapContext tileBitmap(4, 4);
    tileBitmap.context().setFillColor(kRed);
    tileBitmap.context().fillRect({ 0, 0, 2, 2 });
    auto tile = tileBitmap.image(2);  // 2 x 2 points, red in the top-left point
    gc.drawTiledImage(*tile, { 0, 0, 8, 8 });
    EXPECT_EQ(at(0, 0), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(at(1, 1), Pixel {});
    EXPECT_EQ(at(2, 2), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(at(9, 0), Pixel {});
}

TEST(ImageContextTest, ScaledContextDrawsInPointsAndSnapshotsAreCopies)
{
    ImageContext context({ 10, 5.5 }, Opaque::No, 2);
    ASSERT_TRUE(context.isValid());
    EXPECT_EQ(context.pixelWidth(), 20);
    EXPECT_EQ(context.pixelHeight(), 11);
    context.context().setFillColor(kRed);
    context.context().fillRect({ 0, 0, 1, 1 });
    auto first = context.image();
    EXPECT_EQ(first->scale(), 2);
    EXPECT_EQ(first->size(), (Size { 10, 5.5 }));
    EXPECT_EQ(first->pixelAt(1, 1), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(first->pixelAt(2, 2), Pixel {});
    context.context().fillRect({ 0, 0, 10, 10 });
    EXPECT_EQ(first->pixelAt(2, 2), Pixel {});  // the earlier picture did not change

    ImageContext opaque({ 1, 1 }, Opaque::Yes, 1);
    EXPECT_EQ(opaque.image()->pixelAt(0, 0).alpha, 255);
    EXPECT_FALSE(ImageContext({ 0, 10 }, Opaque::No, 1).isValid());
    EXPECT_FALSE(ImageContext({ NAN, 10 }, Opaque::No, 1).image());
    EXPECT_FALSE(ImageContext({ 1e6, 1e6 }, Opaque::No, 1).isValid());
    EXPECT_FALSE(BitmapContext(0, 3).isValid());
}

TEST(PathTest, ShapesAndCurvesHaveTheirBounds)
{
    EXPECT_EQ(Path::roundedRect({ 0, 0, 10, 4 }, 50).boundingBox(), Rect(0, 0, 10, 4));  // radius clamped to 2
    EXPECT_EQ(Path::ellipse({ 2, 2, 6, 4 }).boundingBox(), Rect(2, 2, 6, 4));
    Path path;
    path.lineTo({ 1, 1 });  // no current point: becomes a move
    EXPECT_EQ(path.elements().front().type, Path::ElementType::MoveTo);
    path.quadCurveTo({ 4, 1 }, { 4, 4 });
    const auto& curve = path.elements().back();
    EXPECT_EQ(curve.points[0], (Point { 3, 1 }));
    EXPECT_EQ(curve.points[1], (Point { 4, 2 }));
    Path empty;
    empty.close();
    EXPECT_TRUE(empty.isEmpty());
}

namespace {

// The box around the pixels darker than mid grey; an empty rectangle when there are none.
Rect inkBox(const Image& image)
{
    int minX = image.pixelWidth(), minY = image.pixelHeight(), maxX = -1, maxY = -1;
    for (int y = 0; y < image.pixelHeight(); ++y) {
        for (int x = 0; x < image.pixelWidth(); ++x) {
            if (image.pixelAt(x, y).alpha < 128)
                continue;
            minX = std::min(minX, x), minY = std::min(minY, y);
            maxX = std::max(maxX, x), maxY = std::max(maxY, y);
        }
    }
    if (maxX < 0)
        return {};
    return { double(minX), double(minY), double(maxX - minX + 1), double(maxY - minY + 1) };
}

} // namespace

TEST(GraphicsContextTextTest, TextLandsInsideTheBoxItsLayoutMeasures)
{
    AttributedString text("Hello there", { .font = Font::system(20) });
    TextLayout layout(text, {});
    ImageContext context({ 200, 60 }, Opaque::No, 1);
    context.context().drawText(text, {}, { 10, 5 });
    Rect ink = inkBox(*context.image());
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.minX(), 10);
    EXPECT_GE(ink.minY(), 5);
    EXPECT_LE(ink.maxX(), 10 + layout.size().width + 1);
    EXPECT_LE(ink.maxY(), 5 + layout.size().height + 1);
    EXPECT_GT(ink.width(), layout.size().width * 0.7);
}

TEST(GraphicsContextTextTest, LineLimitAlignmentAndRunColoursAreHonoured)
{
    AttributedString text("one two three four five six", { .font = Font::system(16) });
    TextLayout::Options options { .wrapWidth = 60, .lineLimit = 1, .alignment = TextAlignment::Right };
    TextLayout layout(text, options);
    ASSERT_EQ(layout.lineCount(), 1u);
    ImageContext context({ 100, 100 }, Opaque::No, 1);
    context.context().drawText(text, options, { 0, 0 });
    Rect ink = inkBox(*context.image());
    EXPECT_LE(ink.maxY(), layout.lines()[0].height + 1);  // nothing from the second line
    EXPECT_GT(ink.maxX(), 50);                             // pushed right, within the 60 wide box
    EXPECT_LE(ink.maxX(), 61);

    AttributedString red("Red", { .font = Font::system(30), .foregroundColor = Color::fromRGBA(1, 0, 0) });
    ImageContext colours({ 80, 40 }, Opaque::No, 1);
    colours.context().setFillColor(Color::fromRGBA(0, 0, 1));
    colours.context().drawText(red, {}, { 0, 0 });
    auto image = colours.image();
    Rect redInk = inkBox(*image);
    bool sawRed = false, sawBlue = false;
    for (int y = int(redInk.minY()); y < int(redInk.maxY()); ++y) {
        for (int x = int(redInk.minX()); x < int(redInk.maxX()); ++x) {
            Pixel p = image->pixelAt(x, y);
            sawRed |= p.alpha > 200 && p.red > 200;
            sawBlue |= p.alpha > 200 && p.blue > 200;
        }
    }
    EXPECT_TRUE(sawRed);
    EXPECT_FALSE(sawBlue);
}

TEST(GraphicsContextTextTest, StrokedTextOutlinesWithTheStrokeColour)
{
    AttributedString text("O", { .font = Font::system(60) });
    ImageContext context({ 80, 80 }, Opaque::No, 1);
    auto& gc = context.context();
    gc.setStrokeColor(Color::fromRGBA(0, 1, 0));
    gc.setLineWidth(1);
    gc.addRect({ 0, 0, 1, 1 });
    gc.drawText(text, {}, { 5, 0 }, TextDrawingMode::Stroke);
    EXPECT_EQ(gc.path().boundingBox(), Rect(0, 0, 1, 1));  // the caller's path survives
    auto image = context.image();
    Rect ink = inkBox(*image);
    ASSERT_FALSE(ink.isEmpty());
    // The middle of the letter stays empty, the outline is green.
    EXPECT_EQ(image->pixelAt(int(ink.midX()), int(ink.midY())).alpha, 0);
    AttributedString empty;
    gc.drawText(empty, {}, { 0, 0 });  // nothing happens
}
