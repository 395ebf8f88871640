// Zooming in the scroll view, and the tail ellipsis of a label whose line limit cuts lines off.

#include "platform/ui/ScrollView.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <cmath>

namespace morvix::platform {
namespace {

class ZoomDelegate final : public ScrollViewDelegate {
public:
    std::shared_ptr<View> viewForZooming(ScrollView&) override { return zoomed; }
    std::shared_ptr<View> zoomed;
};

std::shared_ptr<Image> filledImage(Size size, Color color)
{
    ImageContext canvas(size, Opaque::Yes, 1);
    canvas.context().setFillColor(color);
    canvas.context().fillRect({ 0, 0, size.width, size.height });
    return canvas.image();
}

class ScrollViewZoomTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scroll = ScrollView::create({ 10, 20, 300, 200 });
        harness.window()->addSubview(scroll);
        image = ImageView::create(filledImage({ 600, 600 }, Color::fromRGBA(0.2f, 0.4f, 0.9f)));
        image->setTranslatesAutoresizingMaskIntoConstraints(false);
        scroll->addSubview(image);
        scroll->addConstraint(LayoutConstraint::create(image, LayoutAttribute::Top, LayoutRelation::Equal, scroll, LayoutAttribute::Top));
        scroll->addConstraint(LayoutConstraint::create(image, LayoutAttribute::Left, LayoutRelation::Equal, scroll, LayoutAttribute::Left));
        delegate->zoomed = image;
        scroll->setDelegate(delegate);
        harness.runUntilIdle();
    }

    UITestHarness harness;
    std::shared_ptr<ScrollView> scroll;
    std::shared_ptr<ImageView> image;
    std::shared_ptr<ZoomDelegate> delegate = std::make_shared<ZoomDelegate>();
};

TEST_F(ScrollViewZoomTest, ZoomIsClampedAndScalesTheZoomingViewFromTheContentOrigin)
{
    EXPECT_EQ(scroll->maximumZoomScale(), 1.0);
    EXPECT_EQ(scroll->zoomScale(), 1.0);
    scroll->setZoomScale(0.5);
    EXPECT_EQ(scroll->zoomScale(), 1.0) << "the minimum is 1 by default";

    scroll->setMinimumZoomScale(1.0 / 3);
    scroll->setZoomScale(0.1);
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 1.0 / 3);
    EXPECT_EQ(image->bounds().size, (Size { 600, 600 })) << "the zoomed view keeps its bounds";
    EXPECT_EQ(image->frame(), (Rect { 0, 0, 200, 200 }));
    EXPECT_EQ(scroll->contentSize(), (Size { 200, 200 }));
    scroll->setZoomScale(std::nan(""));
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 1.0 / 3) << "no number is ignored";

    // A later layout pass (the constraints pin the view's top left corner) keeps the geometry.
    scroll->setFrame({ 10, 20, 300, 210 });
    harness.runUntilIdle();
    EXPECT_EQ(image->frame(), (Rect { 0, 0, 200, 200 }));
    EXPECT_EQ(scroll->contentSize(), (Size { 200, 200 }));
    scroll->setFrame({ 10, 20, 300, 200 });
    harness.runUntilIdle();

    // Zooming to a rectangle: 600 x 400 at (0, 100) fills the 300 x 200 view at zoom 0.5.
    scroll->zoomToRect({ 0, 100, 600, 400 }, Animated::Yes);
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 0.5);
    EXPECT_EQ(scroll->contentOffset(), (Point { 0, 50 }));
    EXPECT_EQ(scroll->contentSize(), (Size { 300, 300 }));
    harness.advance(0.5);

    // A small rectangle asks for more than the maximum; the offset stays in the content.
    scroll->zoomToRect({ 550, 550, 50, 50 });
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 1.0);
    EXPECT_EQ(scroll->contentOffset(), (Point { 300, 400 }));
    scroll->zoomToRect({ 10, 10, 0, 50 });
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 1.0) << "a rectangle without area changes nothing";

    // The renderer draws the view scaled: at zoom 1/3 the image covers 200 x 200 points.
    scroll->setZoomScale(1.0 / 3);
    scroll->setContentOffset({ 0, 0 });
    harness.runUntilIdle();
    auto picture = Renderer::render(*scroll, { .scale = 1, .backdrop = Color::white() });
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelAt(190, 190).blue, 230);
    EXPECT_EQ(picture->pixelAt(210, 100).blue, 255);
    EXPECT_EQ(picture->pixelAt(210, 100).red, 255) << "white beyond the zoomed image";
}

TEST(LabelTruncationTest, ALineLimitThatCutsParagraphsEndsTheLastShownLineWithAnEllipsis)
{
    UITestHarness harness;
    auto label = Label::create({ 0, 0, 300, 100 });
    Font font = Font::system(14);
    label->setFont(font);
    auto width = [&](const char* text) {
        TextLayout::Options options;
        return std::ceil(TextLayout(AttributedString(text, { .font = font }), options).size().width);
    };

    label->setText("first\nsecond\nthird");
    label->setLineBreakMode(LineBreakMode::TruncateTail);
    label->setNumberOfLines(1);
    EXPECT_EQ(label->intrinsicContentSize().width, width("first\u2026"));
    label->setNumberOfLines(2);
    EXPECT_EQ(label->intrinsicContentSize().width, width("second\u2026"));
    EXPECT_EQ(label->sizeThatFits({ 300, 0 }).height, label->intrinsicContentSize().height);

    // Nothing cut, nothing added; word wrapping never adds one.
    label->setNumberOfLines(3);
    EXPECT_EQ(label->intrinsicContentSize().width, width("second"));
    label->setNumberOfLines(1);
    label->setLineBreakMode(LineBreakMode::WordWrap);
    EXPECT_EQ(label->intrinsicContentSize().width, width("first"));

    // A paragraph cut inside keeps to the limit: the added ellipsis takes no line of its own.
    label->setLineBreakMode(LineBreakMode::TruncateTail);
    label->setNumberOfLines(2);
    label->setText("one two three four five six seven eight nine ten eleven twelve");
    Size alone = label->sizeThatFits({ 120, 0 });
    label->setText("one two three four five six seven eight nine ten eleven twelve\nlast");
    EXPECT_EQ(label->sizeThatFits({ 120, 0 }), alone);
}

} // namespace
} // namespace morvix::platform
