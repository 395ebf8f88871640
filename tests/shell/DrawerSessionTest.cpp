// The frame's drawers in a script session with the application frame on: the container as the
// window's root, the peer's "morvix.Drawer" as the left drawer, the gesture masks and the
// status-bar area, and the developer console as the right drawer showing the session log.

#include "shell/ApplicationFrameRoot.h"
#include "shell/DeveloperConsole.h"
#include "shell/DisplayRootViewController.h"
#include "shell/Drawer.h"
#include "shell/DrawerViewController.h"
#include "shell/LogHUD.h"
#include "shell/LogView.h"
#include "shell/drawer/DWDrawerCenterContainerView.h"
#include "shell/drawer/DWDrawerController.h"

#include "core/objects/RemoteClass.h"
#include "core/protocol/CommandOperator.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/SegmentedControl.h"
#include "platform/ui/controls/TextField.h"
#include "platform/ui/screens/ShareSheet.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/text/FontHelper.h"

#include <gtest/gtest.h>

namespace morvix {
namespace {

using platform::Color;

// What an application's "morvix.AppManager" hears.
int g_homeCalls = 0;

class AppManager final : public RemoteClass<AppManager> {
public:
    static constexpr std::string_view kRemoteType = "morvix.AppManager";
    AppManager(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
        : RemoteClass(key, std::move(id), std::move(client))
    {
        registerSelector([](const platform::Value*) -> std::optional<platform::Value> {
            ++g_homeCalls;
            return std::nullopt;
        },
            "home");
    }
    static const PropertyTable& properties() { return BasicObject::properties(); }
    static const PropertyNames& remoteObjectProperties() { return BasicObject::remoteObjectProperties(); }
};

class ConsoleDelegate final : public MorvixClientDelegate {
public:
    std::string serverURL() override { return url; }
    void clientDidBecomeReady(MorvixClient&) override { }
    std::optional<bool> enableDeveloperConsole() override { return console; }
    std::string url;
    bool console = false;
};

class DrawerSessionTest : public testing::ScriptSessionFixture {
protected:
    void startFrame(const std::string& script, bool console = false)
    {
        writeApplication(kDisplayLine + script);
        consoleDelegate->url = folder.url();
        consoleDelegate->console = console;
        ASSERT_NO_FATAL_FAILURE(createClient(MorvixClient::ApplicationFrame::On, consoleDelegate));
        loadSession();
        frame = std::dynamic_pointer_cast<ApplicationFrameRoot>(client->applicationFrameController());
        ASSERT_TRUE(frame);
        container = frame->drawerController();
    }
    // Lets an animated open or close finish.
    void finishAnimation()
    {
        harness.advance(1);
        harness.runUntilIdle();
    }
    std::shared_ptr<LogView> logView() const { return frame->console()->logView(); }
    std::string shownLog()
    {
        logView()->flush();
        harness.runUntilIdle();
        return logView()->attributedText().text.string();
    }

    std::shared_ptr<ConsoleDelegate> consoleDelegate = std::make_shared<ConsoleDelegate>();
    std::shared_ptr<ApplicationFrameRoot> frame;
    std::shared_ptr<DWDrawerController> container;
};

TEST_F(DrawerSessionTest, ThePeersDrawerIsTheLeftDrawerWhileItLives)
{
    startFrame("");
    EXPECT_EQ(harness.window()->rootViewController(), container);
    EXPECT_EQ(container->centerViewController(), frame->displayRootViewController());
    EXPECT_EQ(client->view(), frame->displayRootViewController()->view());
    // The script peer supplies its own drawer: no menu on the left, nothing on the right.
    EXPECT_FALSE(container->leftDrawerViewController());
    EXPECT_FALSE(container->rightDrawerViewController());
    EXPECT_FALSE(container->shouldStretchDrawer());
    EXPECT_EQ(container->closeDrawerGestureModeMask(), 52u);
    EXPECT_EQ(container->openDrawerGestureModeMask(), 0u);
    EXPECT_TRUE(container->showsStatusBarBackgroundView()) << "the delegate does not hide the status bar";
    client->setStatusBarBackgroundColor(Color::fromRGBA(1, 0, 0));
    EXPECT_EQ(container->statusBarViewBackgroundColor(), Color::fromRGBA(1, 0, 0));
    client->setStatusBarBackgroundColor(std::nullopt);
    EXPECT_EQ(container->statusBarViewBackgroundColor(), FontHelper::backgroundColor());

    // With no drawer, opening reports failure and leaves the container taking touches.
    client->openDrawer();
    finishAnimation();
    EXPECT_EQ(container->openSide(), DWSideNone);
    EXPECT_FALSE(container->isAnimatingDrawer());

    // The drawer object takes the left side before its properties are applied; its widgets show
    // in its container view, which fills the drawer as the container sizes it.
    run("client.create('d1', 'morvix.Drawer', {}); client.create('l1', 'zub.widgets.Label', {parent: 'd1', text: 'Hi', bounds: [10, 10, 100, 20]});");
    auto d1 = std::dynamic_pointer_cast<Drawer>(object("d1"));
    ASSERT_TRUE(d1);
    EXPECT_EQ(client->drawer(), d1);
    EXPECT_EQ(container->leftDrawerViewController(), d1->viewController());
    EXPECT_EQ(widget("l1")->view()->superview(), d1->containerView());
    EXPECT_EQ(d1->containerView()->frame(), d1->viewController()->view()->bounds());
    client->enableDrawerGesture(false);
    EXPECT_EQ(container->openDrawerGestureModeMask(), 8u) << "a custom drawer exists";
    EXPECT_TRUE(client->isDrawerGestureEnabled());

    // "open" and "close" move the centre, animated.
    run("client.call('d1', 'open', {});");
    finishAnimation();
    EXPECT_EQ(container->openSide(), DWSideLeft);
    EXPECT_GT(d1->containerView()->bounds().width(), 0);
    // While it shows, the keyboard makes room below a field in it, through the root controller.
    auto scroll = d1->viewController()->scrollView();
    auto field = platform::TextField::create({ 10, 40, 200, 30 });
    d1->containerView()->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    harness.runUntilIdle();
    EXPECT_GT(scroll->contentInset().bottom, 0);
    harness.window()->endEditing(true);
    harness.advance(1);
    harness.runUntilIdle();
    EXPECT_EQ(scroll->contentInset().bottom, 0);
    field->removeFromSuperview();
    run("client.call('d1', 'close', {});");
    finishAnimation();
    EXPECT_EQ(container->openSide(), DWSideNone);
    client->toggleTopLevelMenu();
    finishAnimation();
    EXPECT_EQ(container->openSide(), DWSideLeft);
    client->closeDrawer();
    finishAnimation();

    // A destroyed child leaves the drawer's view.
    run("client.destroy('l1');");
    EXPECT_TRUE(d1->containerView()->subviews().empty());

    // A drawer that is no longer the session's leaves it alone when destroyed; the last one
    // gives the left side back (none, for this peer).
    run("client.create('d2', 'morvix.Drawer', {}); client.destroy('d1');");
    auto d2 = std::dynamic_pointer_cast<Drawer>(object("d2"));
    ASSERT_TRUE(d2);
    EXPECT_EQ(client->drawer(), d2);
    EXPECT_EQ(container->leftDrawerViewController(), d2->viewController());

    // Destroyed while open: the open side has no drawer left, so it closes at once.
    run("client.call('d2', 'open', {});");
    finishAnimation();
    ASSERT_EQ(container->openSide(), DWSideLeft);
    run("client.destroy('d2');");
    EXPECT_EQ(container->openSide(), DWSideNone);
    EXPECT_EQ(container->centerContainerView()->frame().x(), 0) << "the centre is back in its place";
    run("client.create('d2', 'morvix.Drawer', {});");
    d2 = std::dynamic_pointer_cast<Drawer>(object("d2"));
    ASSERT_TRUE(d2);
    client->load();
    harness.runUntilIdle();
    EXPECT_FALSE(client->drawer()) << "the load destroyed it";
    EXPECT_FALSE(container->leftDrawerViewController());
    client->enableDrawerGesture(true);
    EXPECT_EQ(container->openDrawerGestureModeMask(), 0u) << "no drawer object, no console";
}

TEST_F(DrawerSessionTest, TheConsoleShowsTheSessionLogAndFlashesNothingButErrors)
{
    WidgetRegistry::instance().addHandler<AppManager>();
    startFrame(R"(client.create('morvix.AppManager', 'morvix.AppManager', {});
        console.log('a'); console.info('b'); console.warn('c'); console.error('d'); console.debug('e');)",
        true);
    auto console = frame->console();
    ASSERT_TRUE(console);
    EXPECT_EQ(container->rightDrawerViewController(), console);
    EXPECT_EQ(client->developerConsole(), console);
    EXPECT_EQ(container->openDrawerGestureModeMask(), 8u) << "the console is enabled";
    EXPECT_EQ(shownLog(), "> a\n> b\n! c\n\u2298 d\n> e\n");

    client->showDeveloperConsole();
    finishAnimation();
    EXPECT_EQ(container->openSide(), DWSideRight);
    auto bar = console->filterBar();
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->selectedSegmentIndex(), 0);
    auto item = console->titleBar()->topItem();
    EXPECT_EQ(item->title(), "Console");
    ASSERT_TRUE(item->leftBarButtonItem()) << "the type table holds morvix.AppManager";
    EXPECT_EQ(console->logView()->frame().minY(), bar->frame().maxY() + 1);
    EXPECT_EQ(console->toolbar()->frame().height(), 33);
    EXPECT_EQ(console->logView()->frame().maxY(), console->toolbar()->frame().minY());

    // "Error", tapped: only errors.
    // The filter bar's segments take widths by their titles.
    auto segments = bar->segmentFrames();
    ASSERT_EQ(segments.size(), 6u);
    EXPECT_GT(segments[3].width(), segments[0].width()) << "\"Warning\" is wider than \"All\"";
    harness.touches().tapView(*bar, { segments[4].midX(), bar->bounds().height() / 2 });
    EXPECT_EQ(logView()->filter(), 4u);
    EXPECT_EQ(shownLog(), "\u2298 d\n");

    // Share presents the log's text (from the container, the topmost controller).
    auto share = console->toolbar()->items().front();
    harness.touches().tapView(*share->view(), { 5, 5 });
    harness.runUntilIdle();
    auto sheet = std::dynamic_pointer_cast<platform::ShareSheet>(container->presentedViewController());
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->items().size(), 1u);
    EXPECT_EQ(std::any_cast<LogText>(sheet->items()[0]), logView()->attributedText());
    sheet->finish();
    harness.runUntilIdle();
    EXPECT_FALSE(container->presentedViewController());

    // A memory warning shows everything again, in the bar too.
    platform::Application::shared().simulateMemoryWarning();
    EXPECT_EQ(bar->selectedSegmentIndex(), 0);
    EXPECT_EQ(logView()->logEntries().size(), 6u);

    // Trash empties the log and selects "All".
    harness.touches().tapView(*bar, { segments[2].midX(), bar->bounds().height() / 2 });
    EXPECT_EQ(logView()->filter(), 2u);
    auto trash = console->toolbar()->items().back();
    harness.touches().tapView(*trash->view(), { 5, 5 });
    EXPECT_EQ(shownLog(), "");
    EXPECT_EQ(bar->selectedSegmentIndex(), 0);

    // Home closes the drawer and calls the application's object.
    g_homeCalls = 0;
    auto home = item->leftBarButtonItem();
    harness.touches().tapView(*home->view(), { 5, 5 });
    finishAnimation();
    EXPECT_EQ(g_homeCalls, 1);
    EXPECT_EQ(container->openSide(), DWSideNone);

    // Reload closes the drawer and starts the script again, which logs anew into a cleared log.
    client->showDeveloperConsole();
    finishAnimation();
    auto reload = item->rightBarButtonItem();
    harness.touches().tapView(*reload->view(), { 5, 5 });
    finishAnimation();
    EXPECT_EQ(container->openSide(), DWSideNone);
    EXPECT_TRUE(object("morvix.AppManager")) << "the script ran again";
    EXPECT_EQ(shownLog(), "> a\n> b\n! c\n\u2298 d\n> e\n");
}

TEST_F(DrawerSessionTest, WithoutAnAppManagerTheConsoleHasNoHomeButton)
{
    startFrame("console.log('x');", true);
    client->showDeveloperConsole();
    finishAnimation();
    auto console = frame->console();
    ASSERT_TRUE(console && console->titleBar());
    EXPECT_FALSE(console->titleBar()->topItem()->leftBarButtonItem());
    EXPECT_TRUE(console->titleBar()->topItem()->rightBarButtonItem());
    // Turned off, the console goes and the right drawer with it.
    consoleDelegate->console = false;
    client->setDelegate(consoleDelegate);
    EXPECT_FALSE(frame->console());
    EXPECT_FALSE(container->rightDrawerViewController());
}

TEST_F(DrawerSessionTest, AnErrorFlashesOverTheApplicationForOneAndAHalfSeconds)
{
    startFrame("console.warn('careful');", true);
    auto hud = frame->console()->logHUD();
    ASSERT_TRUE(hud);
    EXPECT_EQ(hud->superview(), client->rootView());
    EXPECT_EQ(hud->alpha(), 0) << "a warning does not flash";
    EXPECT_FALSE(hud->isUserInteractionEnabled());

    // A view added over the root view later does not cover the flash.
    auto cover = platform::View::create({ 0, 0, 320, 480 });
    client->rootView()->addSubview(cover);
    run("console.error('it broke');");
    EXPECT_EQ(client->rootView()->subviews().back(), hud);
    EXPECT_EQ(hud->alpha(), 1) << "shown while the drawer is closed";
    EXPECT_EQ(container->openSide(), DWSideNone);
    harness.advance(1.499);
    harness.runUntilIdle();
    EXPECT_EQ(hud->alpha(), 1);
    harness.advance(0.001);
    harness.runUntilIdle();
    harness.advance(0.3);
    harness.runUntilIdle();
    EXPECT_EQ(hud->alpha(), 0);
    EXPECT_EQ(hud->superview(), client->rootView()) << "kept for the next flash";

    // Turned off, the console takes its flash with it.
    consoleDelegate->console = false;
    client->setDelegate(consoleDelegate);
    EXPECT_FALSE(hud->superview());
}

} // namespace
} // namespace morvix
