// Where a Shell moves in from, for every kind of edge it touches.

#include "widgets/foundation/AnimationOrigin.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

using platform::Rect;

TEST(AnimationOriginTest, FirstMatchingEdgeRuleGivesTheOriginOnAPhoneScreen)
{
    const platform::Size area { 320, 568 };
    struct Case {
        Rect shell;
        Rect origin;
    };
    const Case cases[] = {
        { { 0, 0, 320, 568 }, { 320, 0, 320, 568 } },     // covers the area: from the right
        { { 0, 0, 200, 100 }, { 0, -100, 200, 100 } },    // top
        { { 20, 400, 280, 168 }, { 20, 568, 280, 168 } }, // bottom
        { { 0, 100, 200, 100 }, { -200, 100, 200, 100 } }, // left
        { { 100, 100, 220, 100 }, { 320, 100, 220, 100 } }, // right
        { { 20, 100, 280, 100 }, { 20, 100, 280, 100 } }, // no edge: a dialog, unchanged
        { { 0, 0, 320, 100 }, { 0, -100, 320, 100 } },    // top wins over left and right
        { { 0, 0, 100, 568 }, { -100, 0, 100, 568 } },    // spans the height: neither top nor bottom
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(::testing::Message() << entry.shell.x() << "," << entry.shell.y() << "," << entry.shell.width() << ","
                                          << entry.shell.height());
        EXPECT_EQ(AnimationOrigin::computeOrigin(entry.shell, area), entry.origin);
    }
}

} // namespace
} // namespace morvix
