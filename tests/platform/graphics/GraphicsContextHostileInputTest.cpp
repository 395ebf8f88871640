// Transforms, pictures and numbers no drawing should meet: the context draws nothing for them
// and goes on drawing afterwards, never leaving cairo in its error state.

#include "platform/graphics/GraphicsContext.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Font.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace morvix::platform;

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const Color kRed = Color::fromRGBA(1, 0, 0);

using Step = std::pair<const char*, std::function<void(GraphicsContext&)>>;

// Runs `step` inside a save on a fresh 20 x 20 bitmap, then checks that a red fill after the
// restore covers it and cairo never failed. Returns the pixel at (10, 10) before that fill.
Pixel afterRestore(const Step& step)
{
    BitmapContext bitmap(20, 20);
    auto& gc = bitmap.context();
    gc.save();
    step.second(gc);
    Pixel during = bitmap.image()->pixelAt(10, 10);
    EXPECT_EQ(cairo_status(gc.cairo()), CAIRO_STATUS_SUCCESS) << step.first << ": " << cairo_status_to_string(cairo_status(gc.cairo()));
    gc.restore();
    EXPECT_FALSE(gc.isCollapsed()) << step.first;
    gc.setFillColor(kRed);
    gc.fillRect({ 0, 0, 20, 20 });
    EXPECT_EQ(bitmap.image()->pixelAt(10, 10), (Pixel { 255, 0, 0, 255 })) << step.first << ": drawing goes on after the restore";
    return during;
}

} // namespace

TEST(GraphicsContextHostileInputTest, TransformsOutOfRangeDrawNothingUntilTheirRestore)
{
    auto repeat = [](int times, std::function<void(GraphicsContext&)> transform) {
        return [=](GraphicsContext& gc) {
            for (int i = 0; i < times; ++i)
                transform(gc);
        };
    };
    const std::vector<Step> steps = {
        { "tiny scales", repeat(6, [](GraphicsContext& gc) { gc.scale(1e-30, 1e-30); }) },
        { "huge scales", repeat(6, [](GraphicsContext& gc) { gc.scale(1e30, 1e30); }) },
        { "zero scales", repeat(40, [](GraphicsContext& gc) { gc.scale(0, 1); }) },
        { "scale NaN", [](GraphicsContext& gc) { gc.scale(kNaN, 1); } },
        { "scale infinity", [](GraphicsContext& gc) { gc.scale(1, kInfinity); } },
        { "translate NaN", [](GraphicsContext& gc) { gc.translate(kNaN, 0); } },
        { "translate infinity", [](GraphicsContext& gc) { gc.translate(0, -kInfinity); } },
        { "translate beyond the range", repeat(2, [](GraphicsContext& gc) { gc.translate(1e308, 1e308); }) },
        { "rotate NaN", [](GraphicsContext& gc) { gc.rotate(kNaN); } },
        { "rotate infinity", [](GraphicsContext& gc) { gc.rotate(kInfinity); } },
        { "concat singular", [](GraphicsContext& gc) { gc.concat({ 1, 2, 2, 4, 0, 0 }); } },
        { "concat NaN", [](GraphicsContext& gc) { gc.concat({ 1, 0, 0, 1, kNaN, 0 }); } },
    };
    for (const auto& [name, transform] : steps) {
        Pixel during = afterRestore({ name, [&, name = name](GraphicsContext& gc) {
            transform(gc);
            EXPECT_TRUE(gc.isCollapsed()) << name;
            // Further transforms, paths and drawing of every kind add nothing meanwhile.
            gc.scale(1e30, 1e-30);
            gc.setFillColor(kRed);
            gc.addRect({ 0, 0, 20, 20 });
            EXPECT_FALSE(gc.hasCurrentPoint()) << name;
            gc.fillRect({ 0, 0, 20, 20 });
            cairo_paint(gc.cairo());  // as a caller drawing through cairo() itself
        } });
        EXPECT_EQ(during.alpha, 0) << name;
    }

    // A transform within the range is honoured, however small its steps.
    Pixel drawn = afterRestore({ "small steps", [](GraphicsContext& gc) {
        gc.scale(1e-6, 1e-6);
        gc.scale(1e6, 1e6);
        EXPECT_FALSE(gc.isCollapsed());
        gc.setFillColor(kRed);
        gc.fillRect({ 5, 5, 10, 10 });
    } });
    EXPECT_EQ(drawn.alpha, 255);

    // Without a save, nothing brings the context back: it stays empty, but cairo is unharmed.
    BitmapContext bitmap(20, 20);
    auto& gc = bitmap.context();
    gc.scale(0, 0);
    gc.restore();
    gc.fillRect({ 0, 0, 20, 20 });
    EXPECT_EQ(bitmap.image()->pixelAt(10, 10).alpha, 0);
    EXPECT_EQ(cairo_status(gc.cairo()), CAIRO_STATUS_SUCCESS);
}

TEST(GraphicsContextHostileInputTest, PicturesMasksShadowsAndStopsOutOfRangeDrawNothing)
{
    BitmapContext picture(4, 4);
    picture.context().setFillColor(kRed);
    picture.context().fillRect({ 0, 0, 4, 4 });
    auto image = picture.image();
    Gradient stops;
    stops.stops = { { kNaN, kRed }, { 1, kRed } };
    const std::vector<Step> steps = {
        { "picture stretched beyond the range", [&](GraphicsContext& gc) { gc.drawImage(*image, { 0, 0, 1e300, 1e300 }); } },
        { "picture shrunk beyond the range", [&](GraphicsContext& gc) {
             gc.scale(1e-11, 1e-11);
             gc.drawImage(*image, { 0, 0, 1e-11, 1e-11 });
         } },
        { "picture at NaN", [&](GraphicsContext& gc) { gc.drawImage(*image, { kNaN, 0, kInfinity, kNaN }); } },
        { "tiles at NaN", [&](GraphicsContext& gc) { gc.drawTiledImage(*image, { kNaN, 0, kInfinity, 5 }); } },
        { "mask at NaN", [&](GraphicsContext& gc) {
             gc.beginTransparencyLayer();
             gc.fillRect({ 0, 0, 20, 20 });
             gc.endTransparencyLayerWithMask(*image, { kNaN, 0, kInfinity, 1 });
         } },
        { "shadow thrown to infinity", [&](GraphicsContext& gc) {
             gc.setShadow(Shadow { { kInfinity, kNaN }, kInfinity });
             gc.drawImage(*image, { 0, 0, 1, 1 });
         } },
    };
    for (const auto& step : steps)
        EXPECT_EQ(afterRestore(step).alpha, 0) << step.first;

    // A stop at NaN stands at the start, and the gradient still paints.
    Pixel painted = afterRestore({ "stop at NaN", [&](GraphicsContext& gc) {
        gc.drawLinearGradient(stops, { 0, 0 }, { 20, 0 }, GradientExtent::Both);
    } });
    EXPECT_EQ(painted, (Pixel { 255, 0, 0, 255 }));
}

TEST(GraphicsContextHostileInputTest, TextTooLargeForTheFontEngineDrawsNothingAndSpoilsNoLaterText)
{
    // 10 points stretched 6554 times: past the 65535 pixels the font engine takes at most.
    const double kTooLarge = 6554;
    AttributedString text("Hi", { .font = Font::system(10) });
    AttributedString mixed("small", { .font = Font::system(1e-3) });
    mixed.append(text);
    for (auto mode : { TextDrawingMode::Fill, TextDrawingMode::Stroke }) {
        afterRestore({ "text too large", [&](GraphicsContext& gc) {
            gc.scale(kTooLarge, kTooLarge);
            gc.drawText(text, {}, { 0, 0 }, mode);
            gc.drawText(mixed, {}, { 0, 0 }, mode);
        } });
        afterRestore({ "default font too large", [&](GraphicsContext& gc) {
            gc.scale(1e12, 1);
            gc.drawText(AttributedString("Hi"), {}, { 0, 0 }, mode);
        } });
    }
    // Text at the bound is within what the font engine takes, and the next text drawn in
    // another context finds it unharmed.
    afterRestore({ "text at the bound", [&](GraphicsContext& gc) {
        gc.scale(GraphicsContext::kLargestGlyphPixels / 10, GraphicsContext::kLargestGlyphPixels / 10);
        gc.drawText(text, {}, { 0, 0 });
    } });
    BitmapContext bitmap(40, 20);
    bitmap.context().drawText(text, {}, { 0, 0 });
    EXPECT_EQ(cairo_status(bitmap.context().cairo()), CAIRO_STATUS_SUCCESS);
}
