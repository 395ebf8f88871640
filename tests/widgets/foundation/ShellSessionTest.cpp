// Shell windows and dialogs made by a script application in a real session, on the manual clock.

#include "widgets/foundation/Shell.h"

#include "core/base/LogEntry.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Animator.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/foundation/ShadeView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace morvix {
namespace {

using platform::Rect;
using platform::Value;

// A session whose script creates the Display "w1" first. The script binding switches the
// application frame on; `frameOff()` switches it off again, as a server session has it.
class ShellSessionTest : public testing::ScriptSessionFixture {
protected:
    void start(const std::string& main = {})
    {
        writeApplication(kDisplayLine + main);
        ASSERT_NO_FATAL_FAILURE(createClient());
        client->setLogObserver([](const LogEntry& entry) { ADD_FAILURE() << entry.message(); });
        loadSession();
        ASSERT_NE(object("w1"), nullptr);
    }
    void frameOff() { client->setMorvixUIActive(false); }
    std::shared_ptr<Shell> shell(const std::string& id) { return std::dynamic_pointer_cast<Shell>(object(id)); }
    std::shared_ptr<platform::View> screen() { return client->view(); }
    // The operations sent, stored or scheduled for `id` since the last call, in their wire form.
    std::vector<std::string> sentFor(const std::string& id)
    {
        std::vector<std::string> operations;
        for (const auto& operation : sent()) {
            if (operation.at(1) == id)
                operations.push_back(operation.dump());
        }
        return operations;
    }
    std::vector<platform::ViewAnimationInfo> animationsOf(const std::shared_ptr<platform::View>& view)
    {
        std::vector<platform::ViewAnimationInfo> found;
        for (const auto& info : platform::Animator::shared().activeAnimations()) {
            if (info.view.lock() == view)
                found.push_back(info);
        }
        return found;
    }
    Rect frameNow(const std::shared_ptr<platform::View>& view) { return view->presentationFrame(harness.clock().now()); }
    static std::filesystem::path pictureFolder()
    {
        const char* chosen = std::getenv("MORVIX_RENDER_DIR");
        auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
        std::filesystem::create_directories(directory);
        return directory;
    }
};

std::size_t shadesOn(const platform::View& view)
{
    return std::count_if(view.subviews().begin(), view.subviews().end(),
        [](const auto& subview) { return dynamic_cast<ShadeView*>(subview.get()) != nullptr; });
}

TEST_F(ShellSessionTest, StylesMakeShadeBorderTitleAndOneCloseButtonThatOnlyReports)
{
    start();
    frameOff();
    run(R"(client.create('w2', 'zub.widgets.Shell', {style: ['APPLICATION_MODAL', 'TITLE', 'CLOSE'], text: 'Hello',
            bounds: [20, 100, 280, 200], visibility: true});
        client.create('w3', 'zub.widgets.Shell', {style: ['NO_TRIM'], bounds: [0, 0, 10, 10]});
        client.create('w4', 'zub.widgets.Shell', {style: ['NO_TRIM', 'RESIZE'], bounds: [0, 0, 10, 10]});)");
    auto dialog = shell("w2");
    ASSERT_TRUE(dialog && dialog->shade() && dialog->closeButton());
    EXPECT_EQ(dialog->parent(), object("w1"));
    EXPECT_EQ(dialog->view()->superview(), screen());
    EXPECT_EQ(dialog->view()->layer().cornerRadius(), 10);
    EXPECT_EQ(shell("w3")->view()->layer().cornerRadius(), 0);
    EXPECT_EQ(shell("w4")->view()->layer().cornerRadius(), 10);
    EXPECT_TRUE(shell("w3")->view()->isHidden());
    EXPECT_EQ(dialog->titleLabel()->text(), "Hello");
    EXPECT_EQ(dialog->titleLabel()->frame(), Rect(0, 13, 280, 26));
    EXPECT_EQ(dialog->closeButton()->frame(), Rect(250, 0, 30, 30));
    EXPECT_EQ(dialog->closeButton()->imageEdgeInsets(), (platform::EdgeInsets { 6, 0, 0, 6 }));
    EXPECT_EQ(dialog->shade()->frame(), Rect(0, 0, 320, 568));
    EXPECT_EQ(dialog->shade()->autoresizingMask(), 18u);
    // The shade lies directly below the Shell and fades to 0.9.
    auto& stack = screen()->subviews();
    auto at = std::find(stack.begin(), stack.end(), dialog->view());
    ASSERT_NE(at, stack.begin());
    EXPECT_EQ(*(at - 1), dialog->shade());
    EXPECT_DOUBLE_EQ(dialog->shade()->alpha(), 0.9);

    // A second style makes no second shade or button.
    run("client.set('w2', {style: ['SYSTEM_MODAL', 'TITLE', 'CLOSE']});");
    EXPECT_EQ(shadesOn(*screen()), 1u);
    EXPECT_EQ(std::count(dialog->view()->subviews().begin(), dialog->view()->subviews().end(),
                  std::static_pointer_cast<platform::View>(dialog->closeButton())),
        1);
    EXPECT_EQ(dialog->view()->subviews().size(), 2u);

    // "alpha" on the 0 to 255 scale, read back as a float; null is opaque.
    harness.advance(0.35);
    run("client.set('w2', {alpha: 0});");
    EXPECT_EQ(dialog->view()->alpha(), 0);
    EXPECT_EQ(dialog->getWithMethod("alpha"), Value(0.0f));
    run("client.set('w2', {alpha: 255});");
    EXPECT_EQ(dialog->view()->alpha(), 1);
    EXPECT_EQ(dialog->getWithMethod("alpha")->dump(), "255.0");
    run("client.set('w2', {alpha: 51}); client.set('w2', {alpha: null});");
    EXPECT_EQ(dialog->view()->alpha(), 1);

    // The close button reports only while "Close" is listened, and closes nothing.
    sent();
    harness.touches().tapView(*dialog->closeButton(), { 15, 15 });
    EXPECT_TRUE(sentFor("w2").empty());
    run("client.listen('w2', 'Close', true);");
    harness.touches().tapView(*dialog->closeButton(), { 15, 15 });
    EXPECT_EQ(sentFor("w2"), (std::vector<std::string> { R"(["notify","w2","Close",{}])" }));
    EXPECT_FALSE(dialog->isDisposed());
    EXPECT_EQ(dialog->view()->superview(), screen());
}

TEST_F(ShellSessionTest, RotatedFullscreenShellSchedulesBoundsThenSendsResize)
{
    start();
    frameOff();
    run(R"(client.create('w2', 'zub.widgets.Shell', {mode: 'fullscreen', bounds: [0, 0, 320, 568], visibility: true,
            style: ['APPLICATION_MODAL']});
        client.create('w3', 'zub.widgets.Shell', {mode: 'sideways', bounds: [20, 100, 280, 100], visibility: true});)");
    harness.advance(0.35);
    EXPECT_EQ(shell("w3")->getWithMethod("mode"), Value("normal"));
    sent();
    harness.rotate();
    EXPECT_EQ(sentFor("w2"), (std::vector<std::string> { R"(["set","w2",{"bounds":[0,0,568,320]}])",
                              R"(["notify","w2","Resize",{"bounds":[0,0,568,320]}])" }));
    EXPECT_EQ(shell("w2")->view()->frame(), Rect(0, 0, 568, 320));
    EXPECT_EQ(shell("w2")->shade()->frame(), Rect(0, 0, 568, 320));
    harness.rotate();
    EXPECT_TRUE(sentFor("w3").empty());
}

TEST_F(ShellSessionTest, BoundsHeldBackWhileOpeningAndViewKeptUntilClosed)
{
    start();
    frameOff();
    run("client.create('w2', 'zub.widgets.Shell', {bounds: [20, 100, 280, 200], visibility: true});");
    auto window = shell("w2");
    ASSERT_TRUE(window->isAnimating());
    harness.advance(0.1);
    run("client.set('w2', {bounds: [10, 20, 100, 100]});");
    EXPECT_EQ(window->view()->frame(), Rect(20, 100, 280, 200));
    EXPECT_EQ(Rect(window->getWithMethod("bounds")->at(0).get<double>(), window->getWithMethod("bounds")->at(1).get<double>(),
                  window->getWithMethod("bounds")->at(2).get<double>(), window->getWithMethod("bounds")->at(3).get<double>()),
        Rect(10, 20, 100, 100));
    harness.advance(0.199);
    EXPECT_EQ(window->view()->frame(), Rect(20, 100, 280, 200));
    harness.advance(0.001);
    EXPECT_FALSE(window->isAnimating());
    EXPECT_FALSE(window->bufferedBounds());
    EXPECT_EQ(window->view()->frame(), Rect(10, 20, 100, 100));

    // Destroyed: the view stays on screen until the close animation has ended; a second
    // destroy changes nothing.
    run("client.destroy('w2'); client.destroy('w2');");
    EXPECT_EQ(window->view()->superview(), screen());
    harness.advance(0.299);
    EXPECT_EQ(window->view()->superview(), screen());
    EXPECT_FALSE(window->isDisposed());
    harness.advance(0.001);
    EXPECT_EQ(window->view()->superview(), nullptr);
    EXPECT_TRUE(window->isDisposed());
    EXPECT_EQ(object("w2"), nullptr);
    EXPECT_TRUE(std::dynamic_pointer_cast<BasicObject>(object("w1"))->objects().empty());

    // Destroyed while opening: the end of the opening neither replays held-back bounds nor ends
    // the close.
    run("client.create('w3', 'zub.widgets.Shell', {style: ['APPLICATION_MODAL'], bounds: [20, 100, 280, 200], visibility: true});");
    auto closing = shell("w3");
    harness.advance(0.05);
    run("client.set('w3', {bounds: [0, 0, 50, 50]});");
    harness.advance(0.05);
    run("client.destroy('w3');");
    harness.advance(0.2);
    EXPECT_TRUE(closing->isAnimating());
    EXPECT_EQ(closing->view()->frame(), Rect(20, 100, 280, 200));
    EXPECT_FALSE(closing->isDisposed());
    harness.advance(0.1);
    EXPECT_TRUE(closing->isDisposed());
    EXPECT_EQ(closing->view()->superview(), nullptr);
}

TEST_F(ShellSessionTest, ReloadDuringTheCloseKeepsTheNewObjectOfTheSameId)
{
    start("client.create('w2', 'zub.widgets.Shell', {bounds: [20, 100, 280, 200], visibility: true, parent: 'w1'});");
    harness.advance(0.3);
    std::weak_ptr<Shell> old = shell("w2");
    auto oldView = old.lock()->view();
    client->load();
    harness.runUntilIdle();
    auto renewed = shell("w2");
    ASSERT_TRUE(renewed);
    EXPECT_NE(renewed, old.lock());
    EXPECT_EQ(oldView->superview(), screen());
    harness.advance(0.3);
    // Only the close animation held the old Shell; it ran and let go.
    EXPECT_TRUE(old.expired());
    EXPECT_EQ(oldView->superview(), nullptr);
    EXPECT_EQ(object("w2"), renewed);
    EXPECT_EQ(renewed->view()->superview(), screen());
}

TEST_F(ShellSessionTest, OpenAndCloseAnimationsFollowTheEdgesTheShellTouches)
{
    // With the application frame on, the first Shell is there at once.
    start("client.create('w2', 'zub.widgets.Shell', {bounds: [0, 0, 320, 568], visibility: true, parent: 'w1'});");
    EXPECT_FALSE(shell("w2")->isAnimating());
    EXPECT_TRUE(animationsOf(shell("w2")->view()).empty());
    frameOff();

    // A second one inside the area springs in as a dialog, with the parallax tilt.
    run("client.create('w3', 'zub.widgets.Shell', {bounds: [20, 100, 280, 100], visibility: true});");
    auto dialog = shell("w3")->view();
    EXPECT_EQ(dialog->presentationTransform(harness.clock().now()), platform::AffineTransform::scale(0.5, 0.5));
    ASSERT_FALSE(animationsOf(dialog).empty());
    EXPECT_EQ(platform::AnimationOption::curveOf(animationsOf(dialog).front().options), platform::AnimationCurve::Linear);
    ASSERT_EQ(dialog->motionEffects().size(), 2u);
    EXPECT_EQ(dialog->motionEffects()[0].keyPath, "center.x");
    EXPECT_EQ(dialog->motionEffects()[1].keyPath, "center.y");
    EXPECT_FALSE(dialog->motionEffects()[1].horizontal);
    EXPECT_EQ(dialog->motionEffects()[1].minimum, -20);
    harness.advance(0.299);
    EXPECT_TRUE(shell("w3")->isAnimating());
    harness.advance(0.001);
    EXPECT_FALSE(shell("w3")->isAnimating());
    EXPECT_EQ(dialog->presentationAlpha(harness.clock().now()), 1);

    // Maximized: fades in, or moves in from the right with data "animated".
    run(R"(client.create('w4', 'zub.widgets.Shell', {mode: 'maximized', bounds: [0, 0, 320, 568], visibility: true});
        client.create('w5', 'zub.widgets.Shell', {mode: 'maximized', data: {animated: true}, bounds: [0, 0, 320, 568],
            visibility: true});)");
    EXPECT_EQ(shell("w4")->view()->presentationAlpha(harness.clock().now()), 0);
    EXPECT_EQ(frameNow(shell("w5")->view()), Rect(320, 0, 320, 568));
    ASSERT_FALSE(animationsOf(shell("w5")->view()).empty());
    EXPECT_EQ(animationsOf(shell("w5")->view()).front().name, "w5.shell.openAnimated");
    harness.advance(0.3);
    EXPECT_EQ(frameNow(shell("w5")->view()), Rect(0, 0, 320, 568));

    // Touching the top: slides down from above; closes in place fading its shade, or slides
    // back up with data "animated".
    run(R"(client.create('w6', 'zub.widgets.Shell', {style: ['PRIMARY_MODAL'], bounds: [0, 0, 200, 100], visibility: true});
        client.create('w7', 'zub.widgets.Shell', {data: {animated: true}, bounds: [0, 0, 200, 100], visibility: true});)");
    EXPECT_EQ(frameNow(shell("w6")->view()), Rect(0, -100, 200, 100));
    harness.advance(0.3);
    EXPECT_EQ(frameNow(shell("w6")->view()), Rect(0, 0, 200, 100));
    auto top = shell("w6");
    auto animatedTop = shell("w7");
    run("client.destroy('w6'); client.destroy('w7');");
    ASSERT_FALSE(animationsOf(top->shade()).empty());
    EXPECT_EQ(animationsOf(top->shade()).front().name, "w6.closeAnimation");
    EXPECT_EQ(top->view()->frame(), Rect(0, 0, 200, 100));
    EXPECT_EQ(animatedTop->view()->frame(), Rect(0, -100, 200, 100));
    harness.advance(0.299);
    EXPECT_EQ(top->shade()->superview(), screen());
    harness.advance(0.001);
    EXPECT_EQ(top->shade()->superview(), nullptr);
    EXPECT_EQ(animatedTop->view()->superview(), nullptr);

    // A Shell with nothing to animate on close still goes.
    run("client.destroy('w4');");
    harness.advance(0.3);
    EXPECT_EQ(object("w4"), nullptr);
}

TEST_F(ShellSessionTest, RendersADialogOpeningAndAModalDialogForAPersonToLookAt)
{
    start(R"(client.set('w1', {background: [235, 235, 240]});
        client.create('w2', 'zub.widgets.Shell', {bounds: [0, 0, 320, 568], visibility: true, parent: 'w1',
            style: ['NO_TRIM'], background: [220, 228, 240]});)");
    frameOff();
    run(R"(client.create('w3', 'zub.widgets.Shell', {style: ['APPLICATION_MODAL', 'TITLE', 'CLOSE'], text: 'Dialog',
        bounds: [30, 160, 260, 180], visibility: true});)");
    auto start = harness.clock().now();
    auto strip = platform::Renderer::renderFilmStrip(*harness.window(),
        { start, start + std::chrono::milliseconds(100), start + std::chrono::milliseconds(200), start + std::chrono::milliseconds(300) });
    ASSERT_TRUE(strip);
    EXPECT_TRUE(strip->writePNG((pictureFolder() / "shell-dialog-opening.png").string()));

    harness.advance(0.35);
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 2 });
    ASSERT_TRUE(picture);
    // White dialog over the darkened screen; its close icon in the top-right corner.
    auto inside = picture->pixelAt(2 * 60, 2 * 300);
    EXPECT_GT(inside.red, 240);
    auto shaded = picture->pixelAt(2 * 10, 2 * 500);
    EXPECT_LT(shaded.red, 150);
    EXPECT_TRUE(picture->writePNG((pictureFolder() / "shell-modal-dialog.png").string()));
}

} // namespace
} // namespace morvix
