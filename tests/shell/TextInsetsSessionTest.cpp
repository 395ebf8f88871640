// The peer's text inputs as a person sees them: the text keeps the platform's room inside the
// control (a bordered field's padding; a text view's container inset and line padding), and the
// caret stands where the text is drawn.

#include "platform/graphics/Image.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/KeyInput.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/controls/TextView.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/shell/KeptPicture.h"
#include "tests/support/ScriptSessionFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace morvix {
namespace {

using platform::Rect;

constexpr const char* kTexts = R"(
    client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568], background: [255, 255, 255]});
    client.create('t1', 'zub.widgets.Text', {parent: 'w1', bounds: [16, 10, 288, 60], style: ['MULTI', 'V_SCROLL', 'BORDER'],
        text: 'Multi-line text'});
    client.create('t2', 'morvix.TextInput', {parent: 'w1', bounds: [16, 80, 288, 40], type: 'multiline', text: 'Multi-line input'});
    client.create('t3', 'zub.widgets.Text', {parent: 'w1', bounds: [16, 130, 288, 30], style: ['BORDER'], text: 'Single line'});
)";

// The first view in `view`'s subtree (itself included) that takes typing.
std::shared_ptr<platform::View> keyInputIn(const std::shared_ptr<platform::View>& view)
{
    if (dynamic_cast<platform::KeyInput*>(view.get()))
        return view;
    for (const auto& subview : view->subviews()) {
        if (auto found = keyInputIn(subview))
            return found;
    }
    return nullptr;
}

// The leftmost column and the top row of dark pixels inside `area` (points), in points.
std::pair<double, double> inkStart(const platform::Image& picture, const Rect& area)
{
    double scale = picture.scale();
    int left = -1;
    int top = -1;
    for (int y = int(area.minY() * scale); y < int(area.maxY() * scale); ++y) {
        for (int x = int(area.minX() * scale); x < int(area.maxX() * scale); ++x) {
            auto pixel = picture.pixelAt(x, y);
            if (pixel.alpha == 0 || pixel.red >= 128)
                continue;
            left = left < 0 ? x : std::min(left, x);
            top = top < 0 ? y : top;
        }
    }
    return { left / scale, top / scale };
}

class TextInsetsSessionTest : public testing::ScriptSessionFixture { };

TEST_F(TextInsetsSessionTest, TextKeepsItsInsetsInsideTheControlAndTheCaretStandsAtIt)
{
    start(kTexts);
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
    ASSERT_TRUE(picture);
    testing::keepPicture(*picture, "text-insets");
    struct Case {
        const char* id;
        double left; // the least room left of the text
        double top;  // the least room above it; 0 where the text is centred down the height
    };
    for (Case each : { Case { "t1", 5, 8 }, Case { "t2", 5, 8 }, Case { "t3", 5, 0 } }) {
        SCOPED_TRACE(each.id);
        auto view = keyInputIn(widget(each.id)->view());
        ASSERT_TRUE(view);
        Rect frame = view->convertRectTo(view->bounds(), harness.window().get());
        auto [left, top] = inkStart(*picture, frame.insetBy(1, 1));
        ASSERT_GE(left, 0) << "the text shows";
        EXPECT_GE(left - frame.minX(), each.left) << "room between the border and the text";
        EXPECT_GE(top - frame.minY(), each.top);
        // The caret before the first character stands at the text's start, as drawn.
        auto* input = dynamic_cast<platform::KeyInput*>(view.get());
        Rect caret = view->convertRectTo(input->caretRect(0), harness.window().get());
        EXPECT_NEAR(caret.minX(), left, 2);
        EXPECT_LE(caret.minY(), top);
        EXPECT_GE(caret.maxY(), top);
    }

    // A text view's text wraps inside the same room on the right: a long word never reaches
    // the right border.
    run("client.set('t1', {text: 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx'});");
    auto view = keyInputIn(widget("t1")->view());
    auto wrapped = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
    Rect frame = view->convertRectTo(view->bounds(), harness.window().get());
    Rect rightEdge { frame.maxX() - 5, frame.minY() + 1, 4, frame.height() - 2 };
    EXPECT_LT(inkStart(*wrapped, rightEdge).first, 0) << "no ink in the padding at the right";
    EXPECT_GE(inkStart(*wrapped, { frame.minX(), frame.minY() + 30, frame.width(), frame.height() - 31 }).first, 0) << "a second line";
}

} // namespace
} // namespace morvix
