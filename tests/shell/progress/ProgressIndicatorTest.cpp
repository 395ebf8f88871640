// The overlay's pie, ring and bar, probed pixel by pixel at scale 2.

#include "shell/progress/POBarProgressView.h"
#include "shell/progress/PORoundProgressView.h"

#include "platform/graphics/Image.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace morvix {
namespace {

using platform::Color;
using platform::Pixel;

constexpr double kScale = 2;

Pixel pixelAt(const platform::Image& image, double x, double y)
{
    return image.pixelAt(static_cast<int>(x * kScale), static_cast<int>(y * kScale));
}

// The point on the ring's centre line at `angle` (radians, 0 pointing right, growing clockwise).
Pixel ringPixel(const platform::Image& image, double angle)
{
    double center = PORoundProgressView::kDefaultSize / 2;
    double radius = (PORoundProgressView::kDefaultSize - PORoundProgressView::kLineWidth) / 2;
    return pixelAt(image, center + radius * std::cos(angle), center + radius * std::sin(angle));
}

std::shared_ptr<platform::Image> render(platform::View& view)
{
    return platform::Renderer::render(view, { .scale = kScale });
}

constexpr double kPi = std::numbers::pi;
// Mid-angles of the four quadrants, clockwise from the top right.
constexpr double kTopRight = -kPi / 4;
constexpr double kBottomRight = kPi / 4;
constexpr double kBottomLeft = 3 * kPi / 4;
constexpr double kTopLeft = 5 * kPi / 4;

bool isTint(const Pixel& pixel) { return pixel.alpha > 230; }
bool isFaint(const Pixel& pixel) { return pixel.alpha > 10 && pixel.alpha < 50; }

TEST(ProgressIndicatorTest, RingFillsClockwiseFromTheTopOverAFaintRing)
{
    platform::UITestHarness harness;
    auto ring = PORoundProgressView::create();
    EXPECT_EQ(ring->frame(), platform::Rect(0, 0, 37, 37));
    EXPECT_FALSE(ring->isOpaque());
    ring->setAnnular(true);

    struct Case {
        float progress;
        bool filled[4]; // top right, bottom right, bottom left, top left
    };
    for (const Case& c : { Case { 0, { false, false, false, false } }, Case { 0.25f, { true, false, false, false } },
             Case { 0.5f, { true, true, false, false } }, Case { 1, { true, true, true, true } },
             Case { 1.5f, { true, true, true, true } } }) {
        SCOPED_TRACE(c.progress);
        ring->setProgress(c.progress);
        auto image = render(*ring);
        ASSERT_TRUE(image);
        const double angles[] = { kTopRight, kBottomRight, kBottomLeft, kTopLeft };
        for (int quadrant = 0; quadrant < 4; ++quadrant) {
            Pixel pixel = ringPixel(*image, angles[quadrant]);
            EXPECT_TRUE(c.filled[quadrant] ? isTint(pixel) : isFaint(pixel)) << "quadrant " << quadrant << " alpha " << int(pixel.alpha);
        }
        EXPECT_EQ(pixelAt(*image, 18.5, 18.5).alpha, 0) << "the ring's inside stays clear";
    }

    // The progress arc ends in a square cap: a quarter reaches one point (half the line) past
    // three o'clock, where the background ring is still faint; at 0 no cap marks the top.
    ring->setProgress(0.25f);
    auto quarter = render(*ring);
    EXPECT_TRUE(isTint(pixelAt(*quarter, 36, 18.5 + 0.75)));
    EXPECT_TRUE(isFaint(pixelAt(*quarter, 36, 18.5 + 2)));
    ring->setProgress(0);
    auto empty = render(*ring);
    EXPECT_TRUE(isFaint(pixelAt(*empty, 18.5 - 0.25, 1)));
}

TEST(ProgressIndicatorTest, PieSectorIsWhiteInsideACircleStrokedInTheTint)
{
    platform::UITestHarness harness;
    auto pie = PORoundProgressView::create();
    pie->setProgressTintColor(Color::fromRGBA(1, 0, 0));
    pie->setProgress(0.25f);
    auto image = render(*pie);
    ASSERT_TRUE(image);
    double center = 18.5;
    Pixel sector = pixelAt(*image, center + 8 * std::cos(kTopRight), center + 8 * std::sin(kTopRight));
    EXPECT_EQ(sector, (Pixel { 255, 255, 255, 255 })) << "filled in white, not in the tint";
    Pixel rest = pixelAt(*image, center + 8 * std::cos(kBottomLeft), center + 8 * std::sin(kBottomLeft));
    EXPECT_TRUE(isFaint(rest)) << "the background tint";
    Pixel outline = pixelAt(*image, center + 16.5 * std::cos(kBottomLeft), center + 16.5 * std::sin(kBottomLeft));
    EXPECT_GT(outline.alpha, 230);
    EXPECT_GT(outline.red, 230);
    EXPECT_LT(outline.green, 30);
    EXPECT_EQ(pixelAt(*image, 0.5, 0.5).alpha, 0) << "the circle is inset from the corners";

    // Switching to a ring redraws: the view asks for display again, and the inside clears.
    pie->clearNeedsDisplay();
    pie->setAnnular(true);
    EXPECT_TRUE(pie->needsDisplay());
    EXPECT_EQ(pixelAt(*render(*pie), center + 8 * std::cos(kTopRight), center + 8 * std::sin(kTopRight)).alpha, 0);
}

TEST(ProgressIndicatorTest, BarFillsFromTheLeftAndClampsItsProgress)
{
    platform::UITestHarness harness;
    auto bar = POBarProgressView::create();
    EXPECT_EQ(bar->frame(), platform::Rect(0, 0, 120, 20));
    bar->setProgressColor(Color::fromRGBA(0, 0, 1));
    bar->setProgress(0.5f);
    auto half = render(*bar);
    ASSERT_TRUE(half);
    // The filled part runs from x = 4 over half of the 112 points inside the outline.
    EXPECT_EQ(pixelAt(*half, 30, 10), (Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(pixelAt(*half, 90, 10).alpha, 0) << "the remaining part is clear";
    EXPECT_GT(pixelAt(*half, 60, 2.25).alpha, 200) << "the outline";
    EXPECT_EQ(pixelAt(*half, 60, 0.5).alpha, 0) << "inset from the bounds";

    bar->setProgress(-1);
    EXPECT_EQ(pixelAt(*render(*bar), 8, 10).alpha, 0);
    bar->setProgress(7);
    auto full = render(*bar);
    EXPECT_EQ(pixelAt(*full, 112, 10), (Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(pixelAt(*full, 116.25, 10).alpha, 0) << "never past the inside of the outline";
}

} // namespace
} // namespace morvix
