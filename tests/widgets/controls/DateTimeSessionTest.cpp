// Date fields in a script session: a value too long for its field keeps its start and gives up
// its end for the ellipsis.

#include "widgets/controls/DateTime.h"

#include "platform/graphics/Image.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/delegating/DelegatingButton.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

class DateTimeSessionTest : public testing::ScriptSessionFixture { };

// Two fields of one width whose dates differ only at their end (the year's last digits): when the
// value is cut at its end, both show the same start and their pictures are the same; a cut in the
// middle keeps the end in sight ("31.1… 024" and "31.1… 031"), and a field wide enough shows the
// whole dates, which differ.
TEST_F(DateTimeSessionTest, AValueTooLongForTheFieldIsCutAtItsEnd)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568], background: [255, 255, 255]});
        [['narrow24', 2024, 70], ['narrow31', 2031, 70], ['wide24', 2024, 300], ['wide31', 2031, 300]].forEach(
            function (field, index) {
                client.create(field[0], 'zub.widgets.DateTime', {parent: 'w1', bounds: [10, 10 + 50 * index, field[2], 30],
                    style: ['DATE'], datePattern: 'DMY', dateSeparator: '.', year: field[1], month: 11, day: 31});
            });)");
    auto field = [&](const char* id) { return std::dynamic_pointer_cast<DateTime>(object(id)); };
    ASSERT_TRUE(field("narrow24") && field("narrow31") && field("wide24") && field("wide31"));
    EXPECT_EQ(field("narrow24")->text(), "31.12.2024") << "the title is whole; only its drawing is cut";
    const auto& label = field("narrow24")->button()->titleLabel();
    ASSERT_GT(label->intrinsicContentSize().width, label->bounds().width()) << "the value does not fit";

    auto picture = [&](const char* id) { return platform::Renderer::render(*field(id)->view(), { .scale = 2 }); };
    auto narrow24 = picture("narrow24"), narrow31 = picture("narrow31");
    auto wide24 = picture("wide24"), wide31 = picture("wide31");
    ASSERT_TRUE(narrow24 && narrow31 && wide24 && wide31);
    EXPECT_NE(wide24->pngData(), wide31->pngData()) << "whole, the years show";
    EXPECT_EQ(narrow24->pngData(), narrow31->pngData()) << "cut, only the start shows, and the starts are the same";
}

} // namespace
} // namespace morvix
