// One unbroken word from the peer, far longer than any line: in a wrapping label, in the
// message of a dialog's card and in a measurement at a wrap width of one point. Each lays out
// only the lines that can show (or that measurement measures), in pieces of a few lines, since
// pango's work on one layout grows with the square of its lines.

#include "platform/graphics/Image.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/text/TextSizeMeasurement.h"

#include <gtest/gtest.h>

#include <string>

namespace morvix {
namespace {

using platform::TextLayout;
using platform::Value;

class LongWordSessionTest : public testing::ScriptSessionFixture {
protected:
    // What drawing the window lays out.
    TextLayout::Statistics drawingCost()
    {
        TextLayout::resetStatistics();
        auto picture = platform::Renderer::render(*harness.window(), { .scale = 1 });
        EXPECT_TRUE(picture);
        if (picture)
            m_picture = picture;
        return TextLayout::statistics();
    }
    // Whether dark pixels show inside `area` of the last picture drawn.
    bool showsInk(const platform::Rect& area) const
    {
        for (int y = int(area.minY()); y < int(area.maxY()); ++y) {
            for (int x = int(area.minX()); x < int(area.maxX()); ++x) {
                auto pixel = m_picture->pixelAt(x, y);
                if (pixel.alpha > 0 && pixel.red < 128)
                    return true;
            }
        }
        return false;
    }

    // The whole word is about 2,800 lines at the labels' width and 3,000 at the card's; the
    // screen shows fewer than 40 of either.
    static constexpr std::size_t kMostLinesDrawn = 300;
    static constexpr std::size_t kMostLinesInOnePiece = 64;

private:
    std::shared_ptr<platform::Image> m_picture;
};

TEST_F(LongWordSessionTest, ALabelADialogCardAndAMeasurementLayOutOnlyWhatTheyShowInSmallPieces)
{
    // A wrapping label is as tall as its text, which its natural size measures once; drawing it
    // lays out only the lines the screen shows, and so does a label of at most two lines.
    start(R"(
        var word = new Array(100001).join('x');
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('l1', 'zub.widgets.Label', {parent: 'w1', bounds: [10, 10, 300, 40], style: ['WRAP'], text: word});
        client.create('l2', 'zub.widgets.Label', {parent: 'w1', bounds: [10, 60, 300, 40], style: ['WRAP'], maxLines: 2,
            text: word});)");
    for (int draw = 0; draw < 2; ++draw) {
        SCOPED_TRACE(draw);
        auto cost = drawingCost();
        EXPECT_GT(cost.lines, 0u);
        EXPECT_LT(cost.lines, kMostLinesDrawn);
        EXPECT_LE(cost.mostLinesInOneLayout, kMostLinesInOnePiece);
        EXPECT_TRUE(showsInk({ 10, 10, 300, 40 }));
        EXPECT_TRUE(showsInk({ 10, 60, 300, 40 }));
    }

    // The card of a dialog holds as many lines of the message as the screen leaves it.
    run(R"(
        client.create('d1', 'morvix.ClientDialog', {title: 'Save?', message: new Array(100001).join('x'), buttonOk: 'Yes',
            buttonCancel: 'No'});
        client.call('d1', 'open');)");
    ASSERT_EQ(platform::Application::shared().alerts().size(), 1u);
    auto cost = drawingCost();
    EXPECT_LT(cost.lines, 2 * kMostLinesDrawn);
    EXPECT_LE(cost.mostLinesInOneLayout, kMostLinesInOnePiece);
    EXPECT_TRUE(showsInk({ 40, 200, 240, 100 })) << "the message shows on the card";

    // Measured at a wrap width of 1, a word is a line per character: a fifth of a million
    // characters measure as the lines measurement stops at.
    auto item = [](std::size_t length) {
        return Value::array({ Value::array({ "a", std::string(length, 'x'), Value::array({ "DejaVu Sans" }), 14, false, false, 1, false }) });
    };
    TextLayout::resetStatistics();
    Value huge = TextSizeMeasurement::measure(item(200000));
    cost = TextLayout::statistics();
    EXPECT_LT(cost.lines, TextSizeMeasurement::kMostMeasuredLines * 11u / 10u);
    EXPECT_LE(cost.mostLinesInOneLayout, kMostLinesInOnePiece);
    EXPECT_EQ(huge, TextSizeMeasurement::measure(item(TextSizeMeasurement::kMostMeasuredLines)));
    EXPECT_LT(TextSizeMeasurement::measure(item(100))["a"][1], huge["a"][1]) << "shorter words measure whole";
}

} // namespace
} // namespace morvix
