// A "FLAT" tool bar as a script draws it: each titled button is a box of the bar's colour ringed
// in the foreground, shorter than the bar, so that the bar's colour shows above, below and between
// the buttons and the bar does not read as one segmented strip.

#include "widgets/containers/ToolBar.h"

#include "platform/graphics/Image.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/containers/ToolItem.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

using platform::Pixel;

class FlatToolBarSessionTest : public testing::ScriptSessionFixture { };

TEST_F(FlatToolBarSessionTest, TitledButtonsAreBoxesInsideTheBar)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568], background: [255, 255, 255]});
        client.create('bar', 'zub.widgets.ToolBar', {parent: 'w1', bounds: [0, 20, 320, 44], style: ['FLAT'],
            background: [0, 0, 255], foreground: [255, 255, 255]});
        [['back', '&Back'], ['separator', '', 'SEPARATOR'], ['mail', 'Mail'], ['edit', 'Edit']].forEach(function (item, index) {
            client.create(item[0], 'zub.widgets.ToolItem', {parent: 'bar', index: index, text: item[1],
                style: [item[2] || 'PUSH'], data: item[0] === 'mail' ? {title: true} : {}});
        });)");
    auto bar = std::dynamic_pointer_cast<ToolBar>(object("bar"));
    ASSERT_TRUE(bar);
    auto picture = platform::Renderer::render(*bar->view(), { .scale = 1 });
    ASSERT_TRUE(picture);
    const Pixel blue { 0, 0, 255, 255 }, white { 255, 255, 255, 255 };
    for (const char* id : { "back", "edit" }) {
        auto frame = std::dynamic_pointer_cast<ToolItem>(object(id))->item()->view()->frame();
        ASSERT_EQ(frame.height(), 44) << id;
        int left = int(frame.minX()), right = int(frame.maxX()) - 1, middle = int(frame.midY());
        int top = int((44 - platform::BarButtonItem::kBackgroundHeight) / 2);
        int bottom = top + int(platform::BarButtonItem::kBackgroundHeight) - 1;
        EXPECT_EQ(picture->pixelAt(left + 4, top - 2), blue) << id << ": the bar shows above the box";
        EXPECT_EQ(picture->pixelAt(left + 4, bottom + 2), blue) << id << ": and below it";
        EXPECT_EQ(picture->pixelAt(left + 4, top), white) << id << ": the box's top edge";
        EXPECT_EQ(picture->pixelAt(left + 4, bottom), white) << id << ": its bottom edge";
        EXPECT_EQ(picture->pixelAt(left, middle), white) << id << ": its left edge";
        EXPECT_EQ(picture->pixelAt(right, middle), white) << id << ": its right edge";
        EXPECT_EQ(picture->pixelAt(left + 2, top + 2), blue) << id << ": inside, the bar's colour";
    }
    EXPECT_EQ(picture->pixelAt(2, 22), blue) << "the bar's colour at its ends";
    EXPECT_EQ(picture->pixelAt(317, 22), blue);
}

} // namespace
} // namespace morvix
