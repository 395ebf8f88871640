// Scales, progress bars and switches made by a script application in a real session, moved and
// flipped by the touch driver.

#include "widgets/controls/ProgressBar.h"
#include "widgets/controls/Scale.h"
#include "widgets/controls/Switch.h"

#include "platform/ui/controls/ActivityIndicatorView.h"
#include "platform/ui/controls/ProgressView.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/delegating/DelegatingSlider.h"
#include "widgets/delegating/DelegatingSwitch.h"
#include "widgets/text/FontHelper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace morvix {
namespace {

using platform::Color;
using platform::Value;

class ValueControlsSessionTest : public testing::ScriptSessionFixture {
protected:
    void SetUp() override
    {
        ScriptSessionFixture::SetUp();
        m_token = platform::NotificationCenter::defaultCenter()->addObserver(Message::kScheduleNotification, nullptr,
            [this](const platform::Notification&) { ++scheduled; });
    }
    void TearDown() override
    {
        m_token = {};
        ScriptSessionFixture::TearDown();
    }
    template<typename T>
    std::shared_ptr<T> as(const std::string& id) { return std::dynamic_pointer_cast<T>(object(id)); }
    // A finger put down and lifted at `x` on the widget's view, halfway down.
    void touchAt(const std::string& id, double x)
    {
        auto view = widget(id)->view();
        auto point = harness.touches().windowPoint(*view, { x, view->bounds().height() / 2 });
        harness.touches().up(harness.touches().down(point));
        harness.runUntilIdle();
    }

    int scheduled = 0;

private:
    platform::ObserverToken m_token;
};

TEST_F(ValueControlsSessionTest, ScaleMapsItsRangeInSinglePrecisionAndReportsMoves)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w2', 'zub.widgets.Scale', {parent: 'w1', bounds: [0, 10, 228, 31]});
        client.create('w5', 'zub.widgets.Scale', {parent: 'w1', bounds: [0, 50, 228, 31], selection: 50});
        client.create('w7', 'zub.widgets.Scale', {parent: 'w1', bounds: [0, 90, 228, 31], minimum: 0, maximum: 10});
        client.create('w8', 'zub.widgets.Scale', {parent: 'w1', bounds: [0, 130, 228, 31], maximum: 0, minimum: -10});)");
    auto fresh = as<Scale>("w2");
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->getWithMethod("minimum"), Value(0));
    EXPECT_EQ(fresh->getWithMethod("maximum"), Value(100));
    EXPECT_EQ(fresh->getWithMethod("selection"), Value(0));
    EXPECT_DOUBLE_EQ(as<Scale>("w5")->slider()->value(), 0.5);
    EXPECT_EQ(as<Scale>("w5")->slider()->maximumValue(), 1.0) << "the slider keeps its own range";
    sent();

    // The track runs from x 14 to x 214: the middle of 0 to 10 is 5; no listener, so scheduled.
    touchAt("w7", 114);
    EXPECT_EQ(sent(), wire({ R"(["set","w7",{"selection":5}])" }));
    EXPECT_EQ(scheduled, 1);

    // 10 × 0.52 − 10 is −4.8 in single precision, truncated toward zero. "DefaultSelection" alone
    // still sends "Selection".
    run("client.listen('w8', 'DefaultSelection', true);");
    sent();
    touchAt("w8", 118);
    EXPECT_EQ(sent(), wire({ R"(["set","w8",{"selection":-4}])", R"(["notify","w8","Selection",{"selection":-4}])" }));
    EXPECT_EQ(scheduled, 1);

    // Out-of-range numbers saturate; an empty range shows 0; "enabled" only flips the slider.
    run("client.set('w2', {maximum: 1e30, minimum: -1e30, selection: 2.9}); client.set('w5', {maximum: 7, minimum: 7, selection: 7, enabled: false});");
    EXPECT_EQ(fresh->getWithMethod("maximum"), Value(std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ(fresh->getWithMethod("minimum"), Value(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(fresh->getWithMethod("selection"), Value(2));
    EXPECT_EQ(as<Scale>("w5")->slider()->value(), 0.0);
    EXPECT_FALSE(as<Scale>("w5")->slider()->isEnabled());
    EXPECT_EQ(as<Scale>("w5")->slider()->alpha(), 1.0);
    EXPECT_EQ(as<Scale>("w5")->getWithMethod("enabled"), Value(false));
    EXPECT_TRUE(sent().empty()) << "values from the peer send nothing";
}

TEST_F(ValueControlsSessionTest, ProgressBarHasABarOrASpinnerDrivenByState)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('p1', 'zub.widgets.ProgressBar', {parent: 'w1', bounds: [0, 0, 200, 20], selection: 40});
        client.create('p2', 'zub.widgets.ProgressBar', {parent: 'w1', bounds: [0, 40, 40, 40], style: ['INDETERMINATE']});
        client.create('p3', 'zub.widgets.ProgressBar', {parent: 'w1', bounds: [0, 100, 200, 20], style: ['VERTICAL']});)");
    auto bar = as<ProgressBar>("p1");
    auto spinning = as<ProgressBar>("p2");
    ASSERT_TRUE(bar && spinning);
    ASSERT_TRUE(bar->progressView());
    EXPECT_FALSE(bar->spinner());
    EXPECT_FLOAT_EQ(bar->progressView()->progress(), 0.4f);
    EXPECT_EQ(bar->progressView()->frame().width(), 200) << "the bar spans the area";
    run("client.set('p1', {state: 'error', minimum: 5, maximum: 5, background: [255, 0, 0]});");
    EXPECT_EQ(bar->progressView()->progress(), 0.0f) << "an empty range shows nothing";
    EXPECT_EQ(bar->getWithMethod("background"), Value::parse("[255, 0, 0, 255]"));
    EXPECT_EQ(as<ProgressBar>("p3")->progressView()->transform(), (platform::AffineTransform { 0, -1, 1, 0, 0, 0 }))
        << "a vertical bar turns inside its upright area";
    EXPECT_TRUE(as<ProgressBar>("p3")->view()->transform().isIdentity());

    ASSERT_TRUE(spinning->spinner());
    EXPECT_FALSE(spinning->progressView());
    auto spinner = spinning->spinner();
    EXPECT_EQ(spinner->style(), platform::ActivityIndicatorStyle::White);
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_EQ(spinner->color(), FontHelper::labelColor());
    run("client.set('p2', {state: 'error', background: [255, 0, 0]});");
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_FALSE(spinner->isHidden()) << "a stopped spinner stays in sight";
    EXPECT_EQ(spinner->alpha(), 0.5);
    run("client.set('p2', {state: 'paused'});");
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_EQ(spinner->alpha(), 1.0);
    run("client.set('p2', {enabled: false}); client.set('p2', {state: 'normal'});");
    EXPECT_FALSE(spinner->isAnimating()) << "normal restarts the spinner only while enabled";
    run("client.set('p2', {enabled: true});");
    EXPECT_TRUE(spinner->isAnimating());
    run("client.set('p2', {foreground: [0, 255, 0]});");
    EXPECT_EQ(spinner->color(), Color::fromRGBA(0, 1, 0));
    EXPECT_TRUE(sent().empty()) << "a progress bar reports nothing";
}

TEST_F(ValueControlsSessionTest, SwitchReportsEveryFlipAndShowsItsThumbColours)
{
    start(R"(
        client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w6', 'morvix.Switch', {parent: 'w1', bounds: [10, 10, 51, 31], thumbOffColor: [0, 0, 255]});
        client.create('w9', 'morvix.Switch', {parent: 'w1', bounds: [10, 60, 51, 31], checked: true,
            thumbOnColor: [255, 0, 0], trackOffColor: [0, 255, 0]});)");
    auto created = as<Switch>("w9");
    ASSERT_TRUE(created);
    EXPECT_TRUE(created->delegatingSwitch()->isOn());
    EXPECT_EQ(created->delegatingSwitch()->thumbTintColor(), Color::fromRGBA(1, 0, 0))
        << "the on colour shows though it came after checked";
    EXPECT_EQ(created->getWithMethod("trackOffColor"), Value::parse("[0, 255, 0, 255]"));
    sent();

    // No listen operation, and still the flip goes out at once, alone.
    auto flip = as<Switch>("w6");
    EXPECT_EQ(flip->delegatingSwitch()->thumbTintColor(), Color::fromRGBA(0, 0, 1));
    harness.touches().tapView(*flip->view(), flip->view()->bounds().center());
    harness.runUntilIdle();
    EXPECT_EQ(sent(), wire({ R"(["notify","w6","toggle",{"checked":true}])" }));
    EXPECT_EQ(scheduled, 0);
    EXPECT_EQ(flip->getWithMethod("checked"), Value(true));
    EXPECT_EQ(flip->delegatingSwitch()->thumbTintColor(), std::nullopt) << "the on thumb keeps the default";

    run("client.set('w6', {checked: false});");
    EXPECT_FALSE(flip->delegatingSwitch()->isOn());
    EXPECT_EQ(flip->delegatingSwitch()->thumbTintColor(), Color::fromRGBA(0, 0, 1));
    EXPECT_TRUE(sent().empty()) << "the peer's value sends nothing";
}

} // namespace
} // namespace morvix
