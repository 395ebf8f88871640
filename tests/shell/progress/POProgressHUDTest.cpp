// The progress overlay: layout, drawing, showing and hiding on the manual clock, and changes
// made from other threads.

#include "shell/progress/POBarProgressView.h"
#include "shell/progress/POProgressHUD.h"
#include "shell/progress/PORoundProgressView.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/TextLayout.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/ActivityIndicatorView.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace morvix {
namespace {

using namespace std::chrono_literals;
using platform::Animated;
using platform::Color;
using platform::Rect;
using platform::Size;

Size textSize(const std::string& text, const platform::Font& font, std::optional<double> wrap = std::nullopt)
{
    platform::AttributedString string(text);
    string.setFont(font, 0, string.length());
    Size size = platform::TextLayout(string, { .wrapWidth = wrap }).size();
    return { std::ceil(size.width), std::ceil(size.height) };
}

class Recorder : public POProgressHUDDelegate, public POProgressHUDWasHidden {
public:
    void hudWasHidden(POProgressHUD& hud) override
    {
        events.push_back(hud.superview() ? "delegate, still added" : "delegate");
    }
    std::vector<std::string> events;
};

class POProgressHUDTest : public ::testing::Test {
protected:
    POProgressHUDTest()
    {
        container = platform::View::create({ 0, 0, 320, 568 });
        harness.window()->addSubview(container);
    }

    std::shared_ptr<POProgressHUD> addHUD()
    {
        auto hud = POProgressHUD::createWithView(*container);
        container->addSubview(hud);
        hud->setDelegate(recorder);
        return hud;
    }

    double shownAlpha(const POProgressHUD& hud) { return hud.presentationAlpha(harness.clock().now()); }

    platform::UITestHarness harness;
    std::shared_ptr<platform::View> container;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(POProgressHUDTest, LayoutPadsOnlyBetweenElementsThenAppliesSquareAndMinimumSize)
{
    auto hud = addHUD();
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_FALSE(hud->isOpaque());

    // Labels only: no indicator and no padding above the text.
    hud->setMode(POProgressHUDMode::Text);
    hud->setDetailsLabelText("Something went wrong");
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->indicator(), nullptr);
    Size details = textSize("Something went wrong", hud->detailsLabelFont(), 320 - 80);
    EXPECT_EQ(hud->size(), Size(details.width + 40, details.height + 40));
    EXPECT_EQ(hud->detailsLabel()->frame().y(), std::round((568 - (details.height + 40)) / 2) + 20);

    // A spinner over a label: 4 between them, none above or below.
    auto spinnerHUD = addHUD();
    spinnerHUD->setLabelText("Loading");
    spinnerHUD->setYOffset(10);
    spinnerHUD->layoutIfNeeded();
    Size label = textSize("Loading", spinnerHUD->labelFont());
    double total = 37 + 4 + label.height + 40;
    Rect indicator = spinnerHUD->indicator()->frame();
    EXPECT_EQ(indicator, Rect(std::round((320 - 37) / 2.0), std::round((568 - total) / 2) + 20 + 10, 37, 37));
    EXPECT_EQ(spinnerHUD->label()->frame().y(), indicator.maxY() + 4);
    EXPECT_EQ(spinnerHUD->size(), Size(std::max(37.0, label.width) + 40, total));

    spinnerHUD->setSquare(true);
    spinnerHUD->layoutIfNeeded();
    double side = std::max(spinnerHUD->size().width, total);
    EXPECT_EQ(spinnerHUD->size(), Size(side, side));
    spinnerHUD->setMinSize({ 200, 50 });
    spinnerHUD->layoutIfNeeded();
    EXPECT_EQ(spinnerHUD->size(), Size(200, side));

    // In a view too low for any text line the details label gets no height rather than a
    // negative limit.
    container->setFrame({ 0, 0, 320, 90 });
    hud->setNeedsLayout();
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->frame(), container->bounds());
    EXPECT_EQ(hud->detailsLabel()->frame().height(), 0);
    EXPECT_EQ(hud->size(), Size(40, 40));
}

TEST_F(POProgressHUDTest, BoxIsDrawnInItsColourOverTheOptionalDimmedBackground)
{
    auto hud = addHUD();
    hud->setMode(POProgressHUDMode::Text);
    hud->setMinSize({ 100, 100 });
    hud->show(Animated::No);
    hud->layoutIfNeeded();
    auto pixel = [&](double x, double y) { return platform::Renderer::render(*hud)->pixelAt(int(x), int(y)); };
    EXPECT_EQ(pixel(160, 284), (platform::Pixel { 0, 0, 0, 204 })) << "black at the default opacity";
    EXPECT_EQ(pixel(111, 235).alpha, 0) << "the rounded corner";
    EXPECT_EQ(pixel(5, 5).alpha, 0);

    hud->setColor(Color::fromRGBA(1.0f / 3, 1.0f / 3, 1.0f / 3, 1));
    auto coloured = pixel(160, 284);
    hud->setOpacity(0.1f);
    EXPECT_EQ(pixel(160, 284), coloured) << "a colour overrides the opacity";
    EXPECT_EQ(coloured.alpha, 255);

    hud->setDimBackground(true);
    EXPECT_NEAR(pixel(1, 1).alpha, 191, 2) << "the gradient goes on past its end";
    EXPECT_NEAR(pixel(160, 290 + 100).alpha, 255 * 0.75 * 106 / 320, 4) << "growing from the centre";
}

TEST_F(POProgressHUDTest, ModesChooseTheIndicatorAndProgressSkipsLayout)
{
    auto hud = POProgressHUD::showHUDAddedTo(container, Animated::No);
    EXPECT_TRUE(hud->removeFromSuperViewOnHide());
    EXPECT_EQ(POProgressHUD::HUDForView(*container), hud);
    auto spinner = std::dynamic_pointer_cast<platform::ActivityIndicatorView>(hud->indicator());
    ASSERT_TRUE(spinner);
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_EQ(spinner->style(), platform::ActivityIndicatorStyle::WhiteLarge);
    hud->setActivityIndicatorColor(Color::fromRGBA(1, 0, 0));
    EXPECT_EQ(spinner->color(), Color::fromRGBA(1, 0, 0));

    hud->setMode(POProgressHUDMode::AnnularDeterminate);
    auto ring = std::dynamic_pointer_cast<PORoundProgressView>(hud->indicator());
    ASSERT_TRUE(ring);
    EXPECT_EQ(spinner->superview(), nullptr);
    EXPECT_TRUE(ring->isAnnular());
    harness.runUntilIdle();
    hud->setProgress(0.5f);
    EXPECT_EQ(ring->progress(), 0.5f);
    EXPECT_FALSE(hud->needsLayout());

    hud->setMode(POProgressHUDMode::Determinate);
    EXPECT_EQ(hud->indicator(), ring) << "the round view stays, and stays a ring";
    EXPECT_TRUE(ring->isAnnular());

    hud->setMode(POProgressHUDMode::DeterminateHorizontalBar);
    auto bar = hud->indicator();
    hud->setMode(POProgressHUDMode::DeterminateHorizontalBar);
    EXPECT_TRUE(std::dynamic_pointer_cast<POBarProgressView>(hud->indicator()));
    EXPECT_NE(hud->indicator(), bar) << "a new bar every time";

    auto custom = platform::View::create({ 0, 0, 10, 10 });
    hud->setCustomView(custom);
    hud->setMode(POProgressHUDMode::CustomView);
    EXPECT_EQ(hud->indicator(), custom);
    EXPECT_EQ(custom->superview(), hud);
    hud->setMode(POProgressHUDMode::Text);
    EXPECT_EQ(hud->indicator(), nullptr);
    EXPECT_EQ(custom->superview(), nullptr);

    // The overlay follows its superview when the interface turns.
    container->setFrame({ 0, 0, 568, 320 });
    platform::NotificationCenter::defaultCenter()->post(POProgressHUD::kDidChangeStatusBarOrientationNotification);
    EXPECT_EQ(hud->frame(), Rect(0, 0, 568, 320));

    EXPECT_TRUE(POProgressHUD::hideHUDForView(*container, Animated::No));
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_FALSE(POProgressHUD::hideHUDForView(*container, Animated::No));
}

TEST_F(POProgressHUDTest, ShowingAndHidingFollowTheClock)
{
    auto hud = addHUD();
    hud->show(Animated::Yes);
    harness.advance(0.15);
    EXPECT_GT(shownAlpha(*hud), 0.1);
    EXPECT_LT(shownAlpha(*hud), 0.9);
    harness.advance(0.15);
    EXPECT_EQ(shownAlpha(*hud), 1);

    // An explicit hide cancels a delayed one: hiding finishes once.
    hud->hide(Animated::Yes, 2);
    hud->hide(Animated::No);
    EXPECT_EQ(hud->alpha(), 0);
    harness.advance(3);
    EXPECT_EQ(recorder->events, std::vector<std::string>({ "delegate, still added" }));

    // The minimum show time holds the hide back until its end.
    recorder->events.clear();
    hud->setMinShowTime(1);
    hud->show(Animated::No);
    harness.advance(0.5);
    hud->hide(Animated::No);
    harness.advance(0.499);
    EXPECT_EQ(hud->alpha(), 1);
    harness.advance(0.001);
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(recorder->events.size(), 1u);

    // A grace time without a task run by the overlay never shows it.
    hud->setMinShowTime(0);
    hud->setGraceTime(0.5);
    hud->show(Animated::No);
    harness.advance(1);
    EXPECT_EQ(hud->alpha(), 0);
}

TEST_F(POProgressHUDTest, DoneRemovesThenCompletesThenTellsTheDelegateAndAShowDuringTheFadeWins)
{
    auto hud = addHUD();
    hud->setRemoveFromSuperViewOnHide(true);
    int completions = 0;
    hud->setCompletionBlock([&] {
        ++completions;
        recorder->events.push_back(hud->superview() ? "completion, still added" : "completion");
    });

    // A show during the fade-out keeps the overlay: that hide never finishes.
    hud->show(Animated::No);
    hud->hide(Animated::Yes);
    harness.advance(0.1);
    hud->show(Animated::Yes);
    harness.advance(1);
    EXPECT_EQ(hud->alpha(), 1);
    EXPECT_EQ(shownAlpha(*hud), 1);
    EXPECT_EQ(hud->superview(), container);
    EXPECT_TRUE(recorder->events.empty());

    hud->hide(Animated::Yes);
    harness.advance(0.299);
    EXPECT_EQ(hud->superview(), container);
    harness.advance(0.001);
    EXPECT_EQ(recorder->events, std::vector<std::string>({ "completion", "delegate" }));
    EXPECT_TRUE(hud->isFinished());
    EXPECT_EQ(hud->alpha(), 0);

    // The completion block runs once.
    container->addSubview(hud);
    hud->show(Animated::No);
    hud->hide(Animated::No);
    EXPECT_EQ(completions, 1);
}

TEST_F(POProgressHUDTest, ChangesFromOtherThreadsApplyOnTheMainLoop)
{
    auto hud = addHUD();
    hud->setMode(POProgressHUDMode::AnnularDeterminate);
    auto ring = std::static_pointer_cast<PORoundProgressView>(hud->indicator());
    harness.runUntilIdle();
    std::thread([&] {
        hud->setProgress(0.75f);
        hud->setDetailsLabelText("Downloading");
    }).join();
    EXPECT_EQ(hud->progress(), 0.75f) << "stored at once";
    EXPECT_EQ(ring->progress(), 0) << "the view changes wait for the main loop";
    EXPECT_EQ(hud->detailsLabel()->text(), "");
    platform::MainLoop::main().runOnce();
    EXPECT_EQ(ring->progress(), 0.75f);
    EXPECT_EQ(hud->detailsLabel()->text(), "Downloading");

    // A task on a new thread shows the overlay and hides it on the main loop when it returns.
    std::promise<void> release;
    auto released = release.get_future().share();
    hud->setGraceTime(0.2);
    hud->showWhileExecuting([released] { released.wait(); }, Animated::No);
    EXPECT_TRUE(hud->taskInProgress());
    harness.advance(0.199);
    EXPECT_EQ(hud->alpha(), 0) << "within the grace time";
    harness.advance(0.001);
    EXPECT_EQ(hud->alpha(), 1);
    release.set_value();
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return !hud->taskInProgress(); }, 10s));
    EXPECT_EQ(hud->alpha(), 0);

    // The block form runs its block on the pool and its completion after hiding.
    bool ran = false;
    bool completed = false;
    hud->setGraceTime(0);
    hud->showAnimatedWhileExecutingBlock([&ran] { ran = true; }, nullptr, [&] { completed = ran; });
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return !hud->taskInProgress(); }, 10s));
    harness.advance(0.3);
    EXPECT_TRUE(completed);
}

// Pictures of every mode for a person to look at, written only when MORVIX_RENDER_DIR is set.
TEST_F(POProgressHUDTest, PicturesOfEveryMode)
{
    const char* dir = std::getenv("MORVIX_RENDER_DIR");
    if (!dir)
        GTEST_SKIP() << "MORVIX_RENDER_DIR is not set";
    auto picture = [&](const std::string& name, const std::function<void(POProgressHUD&)>& setUp) {
        auto hud = addHUD();
        setUp(*hud);
        hud->show(Animated::No);
        harness.window()->layoutIfNeeded();
        EXPECT_TRUE(platform::Renderer::renderPNG(*harness.window(), std::string(dir) + "/progress-hud-" + name + ".png",
            { .scale = 2, .backdrop = Color::white() }));
        hud->removeFromSuperview();
    };
    picture("spinner", [](POProgressHUD& hud) { hud.setLabelText("Loading"); });
    const std::pair<const char*, POProgressHUDMode> determinate[] = { { "pie", POProgressHUDMode::Determinate },
        { "bar", POProgressHUDMode::DeterminateHorizontalBar }, { "ring", POProgressHUDMode::AnnularDeterminate } };
    for (const auto& [name, mode] : determinate) {
        for (float progress : { 0.0f, 0.25f, 0.5f, 1.0f }) {
            picture(std::string(name) + "-" + std::to_string(int(progress * 100)), [mode, progress](POProgressHUD& hud) {
                hud.setMode(mode);
                hud.setProgress(progress);
            });
        }
    }
    picture("text", [](POProgressHUD& hud) {
        hud.setMode(POProgressHUDMode::Text);
        hud.setDetailsLabelText("Something went wrong while saving the document");
    });
    picture("labels", [](POProgressHUD& hud) {
        hud.setLabelText("Downloading");
        hud.setDetailsLabelText("invoice.pdf, 2 of 3");
    });
    picture("dimmed", [](POProgressHUD& hud) {
        hud.setDimBackground(true);
        hud.setLabelText("Please wait");
    });
}

} // namespace
} // namespace morvix
