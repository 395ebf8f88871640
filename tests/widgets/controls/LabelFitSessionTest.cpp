// Labels whose text does not fit them, drawn as the window shows them: the last letter is never
// cut through at the edge, and a text cut after its lines ends with "…".

#include "widgets/controls/Label.h"

#include "platform/graphics/Image.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace morvix {
namespace {

constexpr double kScale = 2;

class LabelFitSessionTest : public testing::ScriptSessionFixture {
protected:
    std::shared_ptr<Label> label(const char* id) { return std::dynamic_pointer_cast<Label>(object(id)); }

    // The rows the ink of the rightmost inked columns spans, in points, between the rows `top`
    // and `bottom` (points) of the label's picture: small for the dots of "…", as tall as the
    // x-height or more for a letter.
    double inkHeightAtTheEnd(const char* id, double top, double bottom)
    {
        auto picture = platform::Renderer::render(*label(id)->view(), { .scale = kScale });
        if (!picture)
            return -1;
        int first = static_cast<int>(top * kScale);
        int last = std::min(static_cast<int>(bottom * kScale), picture->pixelHeight());
        auto inked = [&](int x, int y) { return picture->pixelAt(x, y).alpha > 96; };
        int right = -1;
        for (int x = 0; x < picture->pixelWidth(); ++x) {
            for (int y = first; y < last; ++y) {
                if (inked(x, y))
                    right = x;
            }
        }
        if (right < 0)
            return -1;
        int highest = last;
        int lowest = first;
        for (int x = std::max(right - 2, 0); x <= right; ++x) {
            for (int y = first; y < last; ++y) {
                if (inked(x, y)) {
                    highest = std::min(highest, y);
                    lowest = std::max(lowest, y);
                }
            }
        }
        return (lowest - highest + 1) / kScale;
    }
};

TEST_F(LabelFitSessionTest, TextTooLongForItsLabelEndsWithAnEllipsis)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('l1', 'zub.widgets.Label', {parent: 'w1', bounds: [168, 8, 136, 24], markupEnabled: true,
            text: '<b>Bold</b>, <i>italic</i> and <big>big</big>'});
        client.create('l2', 'zub.widgets.Label', {parent: 'w1', bounds: [168, 40, 136, 40], style: ['WRAP'], maxLines: 2,
            text: 'A label cut after two lines ends its last line with an ellipsis.'});
        client.create('l3', 'zub.widgets.Label', {parent: 'w1', bounds: [16, 8, 136, 24], text: 'Fits'});)");
    double size = label("l1")->textView()->font().pointSize();

    // One line too long for the label: the text view keeps to the label and ends with "…"
    // instead of the label cutting "big" through.
    EXPECT_EQ(label("l1")->textView()->frame().width(), 136);
    double end = inkHeightAtTheEnd("l1", 0, 24);
    EXPECT_GT(end, 0);
    EXPECT_LT(end, size * 0.3) << "dots, not a letter cut at the edge";

    // Two lines at most of a text that needs more: the second ends with "…".
    auto cut = label("l2")->textView();
    EXPECT_EQ(cut->numberOfLines(), 2);
    EXPECT_EQ(cut->lineBreakMode(), platform::LineBreakMode::TruncateTail);
    double lineHeight = cut->font().lineHeight();
    double top = (cut->frame().height() - 2 * lineHeight) / 2;
    end = inkHeightAtTheEnd("l2", top + lineHeight, top + 2 * lineHeight);
    EXPECT_GT(end, 0);
    EXPECT_LT(end, size * 0.3) << "the second line ends with dots";

    // A text that fits ends with its last letter.
    EXPECT_GT(inkHeightAtTheEnd("l3", 0, 24), size * 0.4);

    // Limits from the wire: far too many lines are clamped, a boolean reads as a number, and
    // no limit wraps between words to the end.
    run("client.set('l2', {maxLines: 1e300});");
    EXPECT_EQ(cut->numberOfLines(), 1000000);
    run("client.set('l2', {maxLines: true});");
    EXPECT_EQ(cut->numberOfLines(), 1);
    EXPECT_EQ(cut->lineBreakMode(), platform::LineBreakMode::TruncateTail);
    run("client.set('l2', {maxLines: null});");
    EXPECT_EQ(cut->numberOfLines(), 0);
    EXPECT_EQ(cut->lineBreakMode(), platform::LineBreakMode::WordWrap);
}

} // namespace
} // namespace morvix
