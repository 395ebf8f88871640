#include "widgets/delegating/DelegatingView.h"

#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/controls/Slider.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "widgets/delegating/DelegatingButton.h"
#include "widgets/delegating/DelegatingLabel.h"
#include "widgets/delegating/DelegatingSlider.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace morvix;
using morvix::platform::Point;
using morvix::platform::Rect;
using morvix::platform::Size;
using morvix::platform::TouchSet;
using morvix::platform::View;

namespace {

// Hears size changes.
class SizeListener final : public ViewDelegate, public ViewDelegate::SizeChanged {
public:
    void sizeChanged(Size size) override { sizes.push_back(size); }
    std::vector<Size> sizes;
};

// Implements only the natural size, so it never hears of size changes.
class SizeOnly final : public ViewDelegate, public ViewDelegate::IntrinsicSize {
public:
    Size intrinsicContentSize() override { return { 7, 9 }; }
};

// Answers every touch operation with `handles`, recording the calls.
class TouchHandler final : public ViewDelegate, public ViewDelegate::TouchStarted, public ViewDelegate::TouchMoved,
                           public ViewDelegate::TouchEnded, public ViewDelegate::BaselineView {
public:
    explicit TouchHandler(bool handles) : handles(handles) { }
    bool touchStarted(const TouchSet&) override { return record("started"); }
    bool touchMoved(const TouchSet&) override { return record("moved"); }
    bool touchEnded(const TouchSet&) override { return record("ended"); }
    std::shared_ptr<View> viewForBaselineLayout() override { return baselineView; }

    bool record(const char* what)
    {
        calls.push_back(what);
        return handles;
    }
    bool handles;
    std::vector<std::string> calls;
    std::shared_ptr<View> baselineView;
};

class DelegatingViewTest : public ::testing::Test {
protected:
    platform::UITestHarness harness;
};

TEST_F(DelegatingViewTest, SizeChangedIsReportedOncePerSizeAndOnlyToADelegateThatImplementsIt)
{
    auto view = DelegatingView::create();
    auto listener = std::make_shared<SizeListener>();
    view->setDelegate(listener);
    auto silent = DelegatingView::create();
    auto sizeOnly = std::make_shared<SizeOnly>();
    silent->setDelegate(sizeOnly);
    harness.window()->addSubview(view);
    harness.window()->addSubview(silent);

    view->setFrame(Rect(0, 0, 100, 50));
    silent->setFrame(Rect(0, 0, 100, 50));
    harness.runUntilIdle();
    ASSERT_EQ(listener->sizes, std::vector<Size>({ { 100, 50 } }));
    EXPECT_EQ(view->oldSize(), Size(100, 50));
    EXPECT_EQ(silent->oldSize(), Size()) << "a delegate without sizeChanged never moves oldSize";
    EXPECT_EQ(silent->intrinsicContentSize(), Size(7, 9));

    view->setNeedsLayout();
    harness.runUntilIdle();
    view->setFrame(Rect(30, 40, 100, 50));
    harness.runUntilIdle();
    EXPECT_EQ(listener->sizes.size(), 1u) << "same size again, or a move, is not reported";

    view->setFrame(Rect(30, 40, 100.5, 50));
    harness.runUntilIdle();
    EXPECT_EQ(listener->sizes.back(), Size(100.5, 50));
    EXPECT_EQ(listener->sizes.size(), 2u);

    listener.reset();
    view->setFrame(Rect(0, 0, 10, 10));
    harness.runUntilIdle();
    EXPECT_EQ(view->oldSize(), Size(100.5, 50)) << "a view that outlives its delegate forwards nothing";
}

TEST_F(DelegatingViewTest, HandledTouchesStayWithTheViewAndCancellationsArriveAsTouchEnded)
{
    auto outer = DelegatingView::create(Rect(0, 0, 200, 200));
    auto outerHandler = std::make_shared<TouchHandler>(true);
    outer->setDelegate(outerHandler);
    auto inner = DelegatingLabel::create(Rect(10, 10, 50, 50));
    inner->setUserInteractionEnabled(true);
    auto innerHandler = std::make_shared<TouchHandler>(true);
    inner->setDelegate(innerHandler);
    outer->addSubview(inner);
    harness.window()->addSubview(outer);

    harness.touches().tap(Point { 20, 20 });
    EXPECT_EQ(innerHandler->calls, std::vector<std::string>({ "started", "ended" }));
    EXPECT_TRUE(outerHandler->calls.empty()) << "a true answer keeps the touches from the enclosing view";

    innerHandler->handles = false;
    innerHandler->calls.clear();
    auto finger = harness.touches().down(Point { 20, 20 });
    harness.touches().move(finger, Point { 25, 25 });
    harness.touches().cancel(finger);
    EXPECT_EQ(innerHandler->calls, std::vector<std::string>({ "started", "moved", "ended" }));
    EXPECT_EQ(outerHandler->calls, std::vector<std::string>({ "started", "moved", "ended" }))
        << "unhandled touches travel on, the cancellation as touchEnded";
}

TEST_F(DelegatingViewTest, ControlsNeverForwardTouchesOrTheBaselineView)
{
    auto outer = DelegatingView::create(Rect(0, 0, 200, 200));
    auto outerHandler = std::make_shared<TouchHandler>(true);
    outer->setDelegate(outerHandler);
    auto button = DelegatingButton::create(platform::ButtonType::Custom, Rect(10, 10, 80, 40));
    auto buttonHandler = std::make_shared<TouchHandler>(true);
    buttonHandler->baselineView = View::create();
    button->setDelegate(buttonHandler);
    outer->addSubview(button);
    harness.window()->addSubview(outer);

    int taps = 0;
    button->addAction([&](platform::Control&, const platform::Event*) { ++taps; }, platform::ControlEventTouchUpInside);
    harness.touches().tap(Point { 20, 20 });
    EXPECT_TRUE(buttonHandler->calls.empty());
    EXPECT_EQ(taps, 1) << "the platform button handles its touches alone";
    EXPECT_EQ(button->viewForBaselineLayout(), button);

    auto label = DelegatingLabel::create();
    label->setDelegate(buttonHandler);
    EXPECT_EQ(label->viewForBaselineLayout(), buttonHandler->baselineView);
}

TEST_F(DelegatingViewTest, ButtonNaturalSizeAddsTitleAndImageInsetsAndSliderAsksSizeThatFits)
{
    auto plain = platform::Button::create();
    plain->setTitle("Press me");
    auto button = DelegatingButton::create();
    button->setTitle("Press me");
    button->setTitleEdgeInsets({ 2, 4, 2, 4 });
    Size natural = plain->intrinsicContentSize();
    EXPECT_EQ(button->intrinsicContentSize(), Size(natural.width + 8, natural.height + 4));
    button->setImageEdgeInsets({ 1, 0, 0, 3 });
    EXPECT_EQ(button->intrinsicContentSize(), Size(natural.width + 11, natural.height + 5));

    auto sizeOnly = std::make_shared<SizeOnly>();
    button->setDelegate(sizeOnly);
    EXPECT_EQ(button->intrinsicContentSize(), Size(7, 9)) << "the delegate's answer comes first";

    auto slider = DelegatingSlider::create(Rect(0, 0, 150, 10));
    auto platformSlider = platform::Slider::create(Rect(0, 0, 150, 10));
    EXPECT_EQ(slider->intrinsicContentSize(), platformSlider->sizeThatFits(platformSlider->intrinsicContentSize()));
}

} // namespace
