// Animations of widget properties made by a script application in a real session, on the
// manual clock.

#include "widgets/gestures/Animation.h"

#include "platform/graphics/Image.h"
#include "platform/ui/Animator.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace morvix {
namespace {

using namespace std::chrono_literals;
using platform::Value;

class AnimationSessionTest : public testing::ScriptSessionFixture {
protected:
    void startWithBoxes(const std::string& more)
    {
        start(R"(
            client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568], background: [255, 255, 255]});
            client.create('w2', 'zub.widgets.Composite', {parent: 'w1', bounds: [20, 20, 100, 100], background: [220, 40, 40]});
            client.create('w3', 'zub.widgets.Composite', {parent: 'w1', bounds: [160, 20, 100, 100], background: [40, 40, 220]});)"
            + more);
    }
    double alphaAt(const std::string& id, platform::Duration since) { return widget(id)->view()->presentationAlpha(m_start + since); }
    void markStart() { m_start = harness.clock().now(); }
    std::vector<std::string> events()
    {
        std::vector<std::string> names;
        for (const auto& operation : sent())
            names.push_back(operation.at(1).get<std::string>() + " " + operation.at(2).get<std::string>());
        return names;
    }

    platform::TimePoint m_start;
};

TEST_F(AnimationSessionTest, RunSendsStartThenProgressEveryThirtiethThenCompletionOnTime)
{
    startWithBoxes(R"(
        client.create('a1', 'morvix.Animation', {target: 'w2', duration: 500, properties: {opacity: 0.2}});
        client.listen('a1', 'Start', true); client.listen('a1', 'Progress', true); client.listen('a1', 'Completion', true);)");
    markStart();
    run("client.call('a1', 'start', {});");
    EXPECT_EQ(sent(), wire({ R"(["notify","a1","Start",{}])" }));
    EXPECT_NEAR(alphaAt("w2", 250ms), 0.6, 1e-6);
    EXPECT_EQ(widget("w2")->getWithMethod("opacity"), Value(0.2f));

    // Ticks fall every 33 333 333 ns: 14 before 0.499 s, the 15th just before 0.5 s.
    harness.advance(0.499);
    EXPECT_EQ(events(), std::vector<std::string>(14, "a1 Progress"));
    harness.advance(0.001);
    EXPECT_EQ(events(), (std::vector<std::string> { "a1 Progress", "a1 Completion" }));
    EXPECT_FALSE(std::static_pointer_cast<Animation>(object("a1"))->isAnimating());

    // A second run: the animation stays completed, so its timer stops at the first tick.
    run("client.call('a1', 'start', {});");
    harness.advance(0.5);
    EXPECT_EQ(events(), (std::vector<std::string> { "a1 Start", "a1 Completion" }));
}

TEST_F(AnimationSessionTest, RepeatsReverseOrJumpBackAndEndAtTheLastKeyframe)
{
    startWithBoxes(R"(
        client.create('a1', 'morvix.Animation', {target: 'w2', duration: 500, repeat: 1, reverse: true,
            properties: {opacity: 0.2, transform: {rotation: 0.8, scaleX: 0.5, scaleY: 0.5}}});
        client.create('a2', 'morvix.Animation', {target: 'w3', duration: 300, repeat: 2, properties: {opacity: 0}});
        client.listen('a1', 'Completion', true);)");
    markStart();
    run("client.call('a1', 'start', {}); client.call('a2', 'start', {});");
    // There and back in 1 s; the model ends at the starting values.
    EXPECT_NEAR(alphaAt("w2", 250ms), 0.6, 1e-6);
    EXPECT_NEAR(alphaAt("w2", 500ms), 0.2, 1e-6);
    EXPECT_NEAR(alphaAt("w2", 750ms), 0.6, 1e-6);
    EXPECT_EQ(widget("w2")->getWithMethod("opacity"), Value(1.0f));
    // Three runs of 0.3 s, each jumping back to 1 first.
    EXPECT_NEAR(alphaAt("w3", 150ms), 0.5, 1e-6);
    EXPECT_NEAR(alphaAt("w3", 299ms), 1.0 / 300, 1e-6);
    EXPECT_NEAR(alphaAt("w3", 301ms), 299.0 / 300, 1e-6);
    EXPECT_NEAR(alphaAt("w3", 750ms), 0.5, 1e-6);

    auto strip = platform::Renderer::renderFilmStrip(*harness.window(),
        { m_start, m_start + 250ms, m_start + 500ms, m_start + 750ms, m_start + 1000ms }, { .scale = 1 });
    ASSERT_TRUE(strip);
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(strip->writePNG((directory / "animation-film-strip.png").string()));

    harness.advance(0.999);
    EXPECT_TRUE(sent().empty());
    harness.advance(0.001);
    EXPECT_EQ(events(), std::vector<std::string> { "a1 Completion" });
}

TEST_F(AnimationSessionTest, CancelDelayDestroyedTargetAndClampedValues)
{
    startWithBoxes(R"(
        client.create('a1', 'morvix.Animation', {target: 'w2', delay: 300, duration: 500, easing: 'bounce',
            repeat: -3, properties: {opacity: 0.2}});
        client.listen('a1', 'Start', true); client.listen('a1', 'Completion', true);)");
    auto animation = std::static_pointer_cast<Animation>(object("a1"));
    EXPECT_EQ(animation->getWithMethod("easing"), Value("linear"));
    EXPECT_EQ(animation->getWithMethod("repeat"), Value(0));
    run("client.set('a1', {repeat: 100000, delay: -5.5}); client.set('a1', {repeat: 1.9});");
    EXPECT_EQ(animation->getWithMethod("repeat"), Value(1));
    EXPECT_EQ(animation->getWithMethod("delay"), Value(0));

    // Cancelled during the delay: no "Start", one "Completion", nothing animated.
    run("client.set('a1', {delay: 300, repeat: 0}); client.call('a1', 'start', {});");
    harness.advance(0.2);
    run("client.call('a1', 'cancel', {});");
    harness.advance(0.5);
    EXPECT_EQ(events(), std::vector<std::string> { "a1 Completion" });
    EXPECT_EQ(widget("w2")->getWithMethod("opacity"), Value(1.0f));

    // Cancelled while running, with its curve: the target keeps the model (end) values.
    run("client.set('a1', {delay: 0, easing: 'ease-in'}); client.call('a1', 'start', {});");
    auto running = platform::Animator::shared().activeAnimations();
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0].options, 66055u);
    harness.advance(0.1);
    run("client.call('a1', 'cancel', {});");
    harness.advance(0.01);
    EXPECT_EQ(events(), (std::vector<std::string> { "a1 Start", "a1 Completion" }));
    EXPECT_DOUBLE_EQ(widget("w2")->view()->presentationAlpha(harness.clock().now()), 0.2f);
    harness.advance(1.0);
    EXPECT_TRUE(sent().empty());

    // The target destroyed during the delay: the animation ends as if cancelled.
    run(R"(client.create('a2', 'morvix.Animation', {target: 'w3', delay: 300, duration: 500, properties: {opacity: 0}});
        client.listen('a2', 'Start', true); client.listen('a2', 'Completion', true);
        client.call('a2', 'start', {});)");
    harness.advance(0.1);
    run("client.destroy('w3');");
    harness.advance(0.5);
    EXPECT_EQ(events(), std::vector<std::string> { "a2 Completion" });

    // Destroying an animation that never completed cancels it, which still reports.
    run(R"(client.create('a3', 'morvix.Animation', {target: 'w2', duration: 1000, properties: {opacity: 1}});
        client.listen('a3', 'Completion', true); client.call('a3', 'start', {}); client.destroy('a3');)");
    harness.advance(0.01);
    EXPECT_EQ(events(), std::vector<std::string> { "a3 Completion" });
    harness.advance(1.0);
    EXPECT_TRUE(sent().empty());

    // Cancelling one of two animations of one target ends that one only.
    run(R"(client.create('a4', 'morvix.Animation', {target: 'w2', duration: 1000, properties: {opacity: 0.5}});
        client.create('a5', 'morvix.Animation', {target: 'w2', duration: 1000, properties: {bounds: [40, 40, 100, 100]}});
        client.listen('a4', 'Completion', true); client.listen('a5', 'Completion', true);
        client.call('a4', 'start', {}); client.call('a5', 'start', {});)");
    harness.advance(0.2);
    run("client.call('a4', 'cancel', {});");
    harness.advance(0.01);
    EXPECT_EQ(events(), std::vector<std::string> { "a4 Completion" });
    harness.advance(0.5);
    EXPECT_TRUE(sent().empty()) << "the other animation runs on";
    harness.advance(0.3);
    EXPECT_EQ(events(), std::vector<std::string> { "a5 Completion" });
}

} // namespace
} // namespace morvix
