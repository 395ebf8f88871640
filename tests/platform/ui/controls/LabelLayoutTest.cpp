// Labels as the layout pass and the renderer see them: baselines of labels whose height the
// pass solves, and the ink of a slanted last letter.

#include "platform/graphics/Image.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace morvix::platform;

namespace {

class LabelLayoutTest : public ::testing::Test {
protected:
    std::shared_ptr<Label> label(const char* text, double fontSize)
    {
        auto made = Label::create();
        made->setText(text);
        made->setFont(Font::system(fontSize));
        made->setTranslatesAutoresizingMaskIntoConstraints(false);
        harness.window()->addSubview(made);
        return made;
    }
    void pin(const std::shared_ptr<View>& view, LayoutAttribute attribute, double constant)
    {
        harness.window()->addConstraint(
            LayoutConstraint::create(view, attribute, LayoutRelation::Equal, nullptr, LayoutAttribute::NotAnAttribute, 1, constant));
    }
    // Where the label's first baseline lies in the window: the text is centred vertically.
    static double textBaseline(const Label& label)
    {
        double textHeight = label.textRect(label.bounds(), label.numberOfLines()).height();
        return label.frame().y() + (label.frame().height() - textHeight) / 2 + label.font().ascent();
    }
    // Whether any pixel of the column x, over the rows from top to bottom, is inked.
    static bool inkInColumn(const Image& image, int x, int top, int bottom)
    {
        for (int y = top; y < bottom; ++y) {
            if (image.pixelAt(x, y).alpha > 64)
                return true;
        }
        return false;
    }

    UITestHarness harness { { 320, 568 }, 1 };
};

TEST_F(LabelLayoutTest, BaselinesMeetWhereTheSolvedHeightsPutTheText)
{
    // Both labels start at zero size; the pass gives them heights far from their text's.
    auto big = label("Big", 30);
    auto small = label("small", 12);
    pin(big, LayoutAttribute::Top, 10);
    pin(big, LayoutAttribute::Left, 0);
    pin(big, LayoutAttribute::Height, 100);
    pin(small, LayoutAttribute::Left, 150);
    pin(small, LayoutAttribute::Height, 40);
    harness.window()->addConstraint(
        LayoutConstraint::create(small, LayoutAttribute::Baseline, LayoutRelation::Equal, big, LayoutAttribute::Baseline));
    harness.runUntilIdle();
    ASSERT_EQ(big->frame().height(), 100);
    ASSERT_EQ(small->frame().height(), 40);
    EXPECT_NEAR(textBaseline(*small), textBaseline(*big), 1e-6);
    EXPECT_NEAR(big->frame().maxY() - big->baselineOffsetFromBottom(), textBaseline(*big), 1e-6);

    // A later change of height moves the attached label along.
    for (const auto& constraint : harness.window()->constraints()) {
        if (constraint->firstItem() == big && constraint->firstAttribute() == LayoutAttribute::Height)
            constraint->setConstant(60);
    }
    harness.runUntilIdle();
    ASSERT_EQ(big->frame().height(), 60);
    EXPECT_NEAR(textBaseline(*small), textBaseline(*big), 1e-6);
}

TEST_F(LabelLayoutTest, NaturalWidthHoldsTheInkOfASlantedLastLetter)
{
    auto slanted = Label::create();
    AttributedString text("leaf");
    text.setFont(Font::system(40, { .italic = true }), 0, text.length());
    slanted->setAttributedText(text);
    Size natural = slanted->intrinsicContentSize();
    EXPECT_EQ(slanted->sizeThatFits({}), natural);
    // Drawn in a wider frame, the ink ends inside the natural width.
    slanted->setFrame({ 0, 0, natural.width + 20, natural.height });
    auto picture = Renderer::render(*slanted, { .scale = 1 });
    ASSERT_TRUE(picture);
    int rightmost = -1;
    for (int x = 0; x < picture->pixelWidth(); ++x) {
        if (inkInColumn(*picture, x, 0, picture->pixelHeight()))
            rightmost = x;
    }
    ASSERT_GT(rightmost, 0);
    EXPECT_LT(rightmost, natural.width) << "the slanted f leans out of its advance";

    // An upright text gains nothing.
    auto upright = Label::create();
    upright->setText("lean");
    upright->setFont(Font::system(40));
    EXPECT_EQ(upright->intrinsicContentSize().width, std::ceil(upright->textRect({ 0, 0, 1000, 1000 }, 1).width()));
}

} // namespace
