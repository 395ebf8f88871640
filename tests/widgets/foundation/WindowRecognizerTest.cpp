// The two recognisers on the session's window, driven by touches on the headless screen.

#include "widgets/foundation/CancelKeyboardRecognizer.h"
#include "widgets/foundation/CursorLocationGestureRecognizer.h"

#include "platform/ui/Event.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/gestures/TapGestureRecognizer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace morvix {
namespace {

using platform::GestureState;
using platform::Rect;

// Records which touch phases reach it.
class TouchLog final : public platform::View {
public:
    static std::shared_ptr<TouchLog> create(const Rect& frame) { return std::shared_ptr<TouchLog>(new TouchLog(frame)); }
    void touchesBegan(const platform::TouchSet&, const platform::Event&) override { phases.push_back("began"); }
    void touchesEnded(const platform::TouchSet&, const platform::Event&) override { phases.push_back("ended"); }
    void touchesCancelled(const platform::TouchSet&, const platform::Event&) override { phases.push_back("cancelled"); }
    std::vector<std::string> phases;

private:
    using View::View;
};

class WindowRecognizerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window->addGestureRecognizer(cursor);
        window->addGestureRecognizer(keyboard);
    }

    platform::UITestHarness harness;
    std::shared_ptr<platform::Window> window = harness.window();
    std::shared_ptr<int> target = std::make_shared<int>(0);
    int cursorCalls = 0;
    int dismissals = 0;
    std::shared_ptr<CursorLocationGestureRecognizer> cursor =
        CursorLocationGestureRecognizer::create(target, [this](const platform::Event& event) {
            EXPECT_FALSE(event.allTouches().empty());
            ++cursorCalls;
        });
    std::shared_ptr<CancelKeyboardRecognizer> keyboard =
        CancelKeyboardRecognizer::create(target, [this](platform::GestureRecognizer&) { ++dismissals; });
};

TEST_F(WindowRecognizerTest, CursorLocationSeesBeginAndEndButNeverTakesTheTap)
{
    keyboard->setEnabled(false);
    auto button = platform::Button::create(platform::ButtonType::Custom, Rect(10, 10, 100, 40));
    window->addSubview(button);
    int pressed = 0;
    button->addAction([&](platform::Control&, const platform::Event*) { ++pressed; }, platform::ControlEventTouchUpInside);
    // A tap elsewhere on the screen waits for the cursor recogniser to fail, as the remote tap
    // does.
    int tapped = 0;
    auto tap = platform::TapGestureRecognizer::create([&](platform::GestureRecognizer&) { ++tapped; });
    tap->setCancelsTouchesInView(false);
    tap->requireToFail(cursor);
    button->addGestureRecognizer(tap);

    harness.touches().tap({ 20, 20 });
    EXPECT_EQ(cursorCalls, 2);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(tapped, 1);
    EXPECT_EQ(cursor->state(), GestureState::Possible) << "ready for the next touch";

    // A drag fails the tap base as it moves away: only its start is reported.
    harness.touches().drag({ 20, 20 }, { 200, 300 }, 0.2);
    EXPECT_EQ(cursorCalls, 3);

    // Once its target is gone the action no longer runs.
    target.reset();
    harness.touches().tap({ 20, 20 });
    EXPECT_EQ(cursorCalls, 3);
}

TEST_F(WindowRecognizerTest, TouchOnAnotherTextFieldMovesTheKeyboardInsteadOfDismissingIt)
{
    auto first = platform::TextField::create(Rect(10, 10, 200, 30));
    auto second = platform::TextField::create(Rect(10, 100, 200, 30));
    // A view inside the field counts as the field.
    auto inside = platform::View::create(Rect(0, 0, 20, 20));
    second->addSubview(inside);
    window->addSubview(first);
    window->addSubview(second);
    ASSERT_TRUE(first->becomeFirstResponder());

    harness.touches().tap({ 15, 105 });
    EXPECT_TRUE(second->isFirstResponder());
    EXPECT_EQ(dismissals, 0);
    EXPECT_EQ(keyboard->state(), GestureState::Possible) << "reset once the touch lifted";
    EXPECT_EQ(cursorCalls, 2) << "a cancel from possible fails quietly and stops nobody";

    // A field that refuses the focus leaves everything as it was.
    first->setEnabled(false);
    harness.touches().tap({ 20, 20 });
    EXPECT_TRUE(second->isFirstResponder());
    EXPECT_EQ(dismissals, 0);
}

TEST_F(WindowRecognizerTest, TouchOutsideTextInputsDismissesWhileViewsAndPansGoOn)
{
    auto field = platform::TextField::create(Rect(10, 10, 200, 30));
    auto plain = TouchLog::create(Rect(0, 100, 320, 100));
    auto scroll = platform::ScrollView::create(Rect(0, 300, 320, 200));
    scroll->setContentSize({ 320, 1000 });
    window->addSubview(field);
    window->addSubview(plain);
    window->addSubview(scroll);
    ASSERT_TRUE(field->becomeFirstResponder());

    harness.touches().tap({ 50, 150 });
    EXPECT_EQ(dismissals, 1);
    EXPECT_EQ(plain->phases, (std::vector<std::string> { "began", "ended" })) << "the view keeps its touches";

    harness.touches().drag({ 100, 450 }, { 100, 350 }, 0.3);
    EXPECT_EQ(dismissals, 2);
    EXPECT_GT(scroll->contentOffset().y, 50) << "the pan was not prevented";
}

} // namespace
} // namespace morvix
