// The application frame ("morvix.UI") with its pages and actions in a real session against a
// scripted server on loopback, on the headless screen with a manual clock: the page stack, the
// bars, the events, two-step destruction, images and colours.

#include "shell/MorvixUI.h"

#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/session/ProtocolTransport.h"
#include "library/RemoteTypes.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"
#include "platform/ui/controls/ImageView.h"
#include "platform/ui/controls/Label.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "platform/ui/tables/TableViewCell.h"
#include "shell/Action.h"
#include "shell/ApplicationFrameRoot.h"
#include "shell/DisplayRootViewController.h"
#include "shell/Page.h"
#include "shell/PageViewController.h"
#include "shell/TopLevelViewController.h"
#include "shell/drawer/DWDrawerController.h"
#include "tests/support/LoopbackSessionFixture.h"
#include "widgets/foundation/BasicWidget.h"
#include "widgets/foundation/Display.h"
#include "widgets/images/ImageViewMorvix.h"
#include "widgets/text/FontHelper.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace morvix {
namespace {

using namespace std::chrono_literals;
using platform::Animated;
using platform::Color;
using platform::Value;
using testing::RecordedRequest;
using testing::ResponseWriter;

// Two top-level pages, an ordinary one, and actions: HIGH twice, LOW, "MEDIUM", an invisible
// one, and a normal one whose image the server holds back.
constexpr const char* kFirstBody = R"({"head":{"morvix.UI":true},"operations":[
    ["create","w1","zub.widgets.Display",{}],
    ["create","s1","zub.widgets.Shell",{"parent":"w1","bounds":[0,0,320,568],"visibility":true}],
    ["create","c1","zub.widgets.Composite",{"parent":"s1","bounds":[0,0,320,300]}],
    ["create","c2","zub.widgets.Composite",{"parent":"s1","bounds":[0,0,320,300]}],
    ["create","c3","zub.widgets.Composite",{"parent":"s1","bounds":[0,0,320,300]}],
    ["create","ui","morvix.UI",{"shell":"s1","activePage":"p1"}],
    ["create","p1","morvix.Page",{"title":"First","topLevel":true,"control":"c1","image":["/icon.png",20,20],"parent":"ui"}],
    ["create","p2","morvix.Page",{"title":"Second","topLevel":true,"control":"c2","parent":"ui"}],
    ["create","p3","morvix.Page",{"title":"Details","control":"c3","parent":"ui"}],
    ["create","a1","morvix.Action",{"title":"One","placementPriority":"HIGH","parent":"ui"}],
    ["create","a2","morvix.Action",{"title":"Two","placementPriority":"HIGH","parent":"ui"}],
    ["create","a3","morvix.Action",{"title":"Low","placementPriority":"LOW","parent":"ui"}],
    ["create","a4","morvix.Action",{"title":"Medium","placementPriority":"MEDIUM","parent":"ui"}],
    ["create","a5","morvix.Action",{"title":"Hidden","visibility":false,"parent":"ui"}],
    ["create","a6","morvix.Action",{"title":"Held","image":["/held.png",20,20],"parent":"ui"}]]})";

std::string pngOf(Color color)
{
    platform::ImageContext picture({ 20, 20 }, platform::Opaque::Yes, 1);
    picture.context().setFillColor(color);
    picture.context().fillRect({ 0, 0, 20, 20 });
    auto bytes = picture.image()->pngData();
    return std::string(bytes.begin(), bytes.end());
}

std::filesystem::path lookFolder()
{
    const char* chosen = std::getenv("MORVIX_RENDER_DIR");
    auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
    std::filesystem::create_directories(directory);
    return directory;
}

class ApplicationFrameSessionTest : public testing::LoopbackSessionFixture {
protected:
    ApplicationFrameSessionTest()
        : LoopbackSessionFixture(Options().withApplicationFrame())
    {
    }
    void SetUp() override
    {
        server.route("/icon.png", testing::TestResponse().withHeader("Content-Type", "image/png").withBody(pngOf(Color::fromRGBA(1, 0, 0))));
        server.handle("/held.png", [this](const RecordedRequest&, ResponseWriter& writer) {
            writer.waitFor(*m_imageGate);
            writer.respond(200, pngOf(Color::fromRGBA(0, 0, 1)), { { "Content-Type", "image/png" } });
        });
        setFirstAnswer(kFirstBody);
        LoopbackSessionFixture::SetUp();
    }
    void TearDown() override
    {
        m_imageGate->open();
        // A held image still on its way would be decoded while the process exits: let it land.
        waitUntil([] { return ImageViewMorvix::loadsInFlight() == 0; });
        LoopbackSessionFixture::TearDown();
    }

    // Loads the session and lets the first request go out and be answered.
    void start()
    {
        ASSERT_NO_FATAL_FAILURE(createClient());
        client->load();
        // The display's first report is scheduled: it goes out 0.3 s after the answer.
        ASSERT_TRUE(waitUntil([&] { return object("a6") && !client->notificationsDispatcher()->isProcessing(); }));
        harness.advance(0.3);
        ASSERT_TRUE(settle(1));
        harness.runUntilIdle();
    }
    // Applies one operation as if it had come from the server.
    void apply(const char* operation) { client->commandOperator()->processOperation(Value::parse(operation)); }
    // The operations of the POST after those already seen, once it has been answered.
    Value nextPost()
    {
        std::size_t seen = m_seenPosts;
        if (!settle(seen + 1))
            return Value();
        m_seenPosts = seen + 1;
        return posts().at(seen)["operations"];
    }
    void skipPosts() { m_seenPosts = posts().size(); }
    // The operations less the display's report of where the last touch landed, which rides
    // with every message that follows a touch.
    static Value withoutCursorLocation(const Value& operations)
    {
        Value kept = Value::array();
        for (const auto& operation : operations) {
            if (!(operation[0] == "set" && operation[2].contains("cursorLocation")))
                kept.push_back(operation);
        }
        return kept;
    }
    // Lets a stack change (0.35 s) finish and its queued redraws run.
    void finishTransition()
    {
        harness.advance(0.35);
        harness.runUntilIdle();
    }

    template<typename T>
    std::shared_ptr<T> get(const std::string& id) const { return object<T>(id); }
    std::shared_ptr<DisplayRootViewController> root() const { return MorvixUI::rootControllerFor(client); }
    std::shared_ptr<platform::ViewController> placeholder() const
    {
        return std::dynamic_pointer_cast<ApplicationFrameRoot>(client->applicationFrameController())->placeholder();
    }
    std::shared_ptr<platform::BarButtonItem> item(const std::string& id) const { return get<Action>(id)->barButtonItem(); }
    std::vector<std::shared_ptr<platform::BarButtonItem>> toolbarItems() const { return root()->toolbar()->items(); }

private:
    std::shared_ptr<testing::TestGate> m_imageGate = std::make_shared<testing::TestGate>();
    std::size_t m_seenPosts = 1;

protected:
    testing::TestGate& imageGate() { return *m_imageGate; }
};

TEST_F(ApplicationFrameSessionTest, PagesGoOnTheStackAndTheUserIsHeard)
{
    start();
    auto root = this->root();
    auto p1 = get<Page>("p1"), p2 = get<Page>("p2"), p3 = get<Page>("p3");
    ASSERT_TRUE(root && p1 && p2 && p3);
    EXPECT_EQ(root->viewControllers(), (std::vector<std::shared_ptr<platform::ViewController>> { placeholder(), p1->viewController() }));
    EXPECT_EQ(get<BasicWidget>("c1")->view()->superview(), p1->viewController()->view()) << "the control shows in its page";
    EXPECT_FALSE(get<BasicWidget>("s1")->view()->superview()) << "the frame took the shell off the screen";
    EXPECT_EQ(root->navigationBar()->topItem()->title(), "First");

    // The bars: HIGH actions in the navigation bar in child order, the first at the right edge;
    // the toolbar has LOW, a flexible space, then the others; the invisible one is nowhere.
    auto right = p1->viewController()->navigationItem()->rightBarButtonItems();
    EXPECT_EQ(right, (std::vector<std::shared_ptr<platform::BarButtonItem>> { item("a1"), item("a2") }));
    EXPECT_GT(get<Action>("a1")->bounds().minX(), get<Action>("a2")->bounds().minX());
    EXPECT_NEAR(get<Action>("a1")->bounds().maxX(), 320 - platform::NavigationBar::kItemSpacing, 1);
    auto toolbar = toolbarItems();
    ASSERT_EQ(toolbar.size(), 4u);
    EXPECT_EQ(toolbar[0], item("a3"));
    EXPECT_TRUE(toolbar[1]->isFlexibleSpace());
    EXPECT_EQ(toolbar[2], item("a4"));
    EXPECT_EQ(toolbar[3], item("a6"));
    EXPECT_FALSE(root->isNavigationBarHidden());
    EXPECT_FALSE(root->isToolbarHidden());
    EXPECT_EQ(get<Action>("a5")->bounds(), platform::Rect()) << "an item in no bar has no bounds";

    // A tap on an action's item is reported at once, although the peer never listened.
    auto a1 = item("a1")->view();
    harness.touches().tapView(*a1, { a1->bounds().width() / 2, 22 });
    EXPECT_EQ(withoutCursorLocation(nextPost()), Value::parse(R"([["notify","a1","Selection",{}]])"));

    // Another top-level page replaces the stack above the placeholder, without animation, and
    // the peer hears "ShowPage" at once.
    apply(R"(["set","ui",{"activePage":"p2"}])");
    EXPECT_EQ(root->viewControllers(), (std::vector<std::shared_ptr<platform::ViewController>> { placeholder(), p2->viewController() }));
    EXPECT_FALSE(root->isBusy());
    EXPECT_EQ(nextPost(), Value::parse(R"([["notify","ui","ShowPage",{"pageId":"p2"}]])"));
    harness.runUntilIdle();

    // An ordinary page is pushed, animated; actions added meanwhile wait for the page to appear.
    apply(R"(["set","ui",{"activePage":"p3"}])");
    EXPECT_EQ(root->topViewController(), p3->viewController());
    EXPECT_TRUE(root->isBusy());
    apply(R"(["create","a7","morvix.Action",{"title":"Late","parent":"ui"}])");
    auto items = root->items();
    auto* late = static_cast<FrameAction*>(get<Action>("a7").get());
    EXPECT_TRUE(std::none_of(items.begin(), items.end(), [&](const auto& action) { return action.get() == late; }));
    harness.advance(0.34);
    harness.runUntilIdle();
    EXPECT_TRUE(root->isBusy());
    finishTransition();
    EXPECT_FALSE(root->isBusy());
    EXPECT_EQ(toolbarItems().back(), item("a7"));
    auto back = root->navigationBar()->backButton();
    ASSERT_TRUE(back) << "the pushed page shows the back button";

    // Back: "ShowPreviousPage" once the transition has finished.
    skipPosts();
    std::size_t before = posts().size();
    harness.touches().tapView(*back->view(), { 10, 22 });
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), before);
    finishTransition();
    EXPECT_EQ(withoutCursorLocation(nextPost()), Value::parse(R"([["notify","ui","ShowPreviousPage",{}]])"));
    EXPECT_EQ(root->topViewController(), p2->viewController());

    // Setting the page the user left as active again shows nothing; its destroy finishes at once.
    apply(R"(["set","ui",{"activePage":"p3"}])");
    EXPECT_EQ(root->topViewController(), p2->viewController());
    apply(R"(["destroy","p3"])");
    EXPECT_FALSE(object("p3"));
    EXPECT_FALSE(object("c3")) << "the content widget went with its page";
    EXPECT_TRUE(p3->isDisposed());

    // The wire shape, read by an independent JSON reader.
    auto path = std::filesystem::path(::testing::TempDir()) / "frame-post.json";
    std::string body;
    for (const auto& request : server.requests()) {
        if (request.method == "POST" && request.body.find("ShowPreviousPage") != std::string::npos)
            body = request.body;
    }
    std::ofstream(path) << body;
    std::string script = "python3 -c 'import json,sys; b=json.load(open(sys.argv[1])); "
                         "assert b[\"operations\"][-1]==[\"notify\",\"ui\",\"ShowPreviousPage\",{}], b; "
                         "assert set(b) <= {\"head\", \"operations\"}, b' "
        + path.string();
    EXPECT_EQ(std::system(script.c_str()), 0);
}

TEST_F(ApplicationFrameSessionTest, PagesAreDestroyedInTwoSteps)
{
    start();
    auto root = this->root();
    auto ui = get<MorvixUI>("ui");
    auto p1 = get<Page>("p1"), p3 = get<Page>("p3");
    EXPECT_FALSE(ui->shouldSendEventForShowPreviousPage(*p1->viewController())) << "a top-level page";

    // Destroying the pushed page on top: it stays registered until its controller has left the
    // stack, and its leaving is not reported as the user's.
    apply(R"(["set","ui",{"activePage":"p3"}])");
    finishTransition();
    ASSERT_EQ(root->topViewController(), p3->viewController());
    skipPosts();
    std::size_t before = posts().size();
    apply(R"(["destroy","p3"])");
    EXPECT_TRUE(object("p3"));
    EXPECT_TRUE(object("c3"));
    EXPECT_TRUE(p3->destroyRequested());
    finishTransition();
    EXPECT_FALSE(object("p3"));
    EXPECT_FALSE(object("c3"));
    EXPECT_EQ(root->topViewController(), p1->viewController());
    harness.advance(0.3);
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), before) << "no ShowPreviousPage for a page being destroyed";

    // A top-level page that is not on the stack goes at once; one on the stack once its
    // controller has left it. A later destroy of the same id is ignored.
    apply(R"(["destroy","p2"])");
    EXPECT_FALSE(object("p2"));
    EXPECT_FALSE(object("c2"));
    apply(R"(["destroy","p1"])");
    EXPECT_TRUE(object("p1"));
    finishTransition();
    EXPECT_FALSE(object("p1"));
    EXPECT_FALSE(object("c1"));
    EXPECT_FALSE(p1->viewController()->page()) << "the controller forgot its page";
    EXPECT_EQ(root->viewControllers(), (std::vector<std::shared_ptr<platform::ViewController>> { placeholder() }));
    apply(R"(["destroy","p1"])");

    // An ordinary page that is alone on the stack is not navigated back from.
    apply(R"(["create","p4","morvix.Page",{"title":"Alone","parent":"ui"}])");
    apply(R"(["set","ui",{"activePage":"p4"}])");
    finishTransition();
    auto p4 = get<Page>("p4");
    ASSERT_EQ(root->topViewController(), p4->viewController());
    p4->viewController()->setWasRemoved(true);
    EXPECT_TRUE(ui->shouldSendEventForShowPreviousPage(*p4->viewController()));
    root->setViewControllers({ p4->viewController() }, Animated::No);
    finishTransition();
    p4->viewController()->setWasRemoved(true);
    EXPECT_FALSE(ui->shouldSendEventForShowPreviousPage(*p4->viewController()));

    // A page shown by "activePage" that is not the frame's child goes with its first destroy.
    apply(R"(["create","p5","morvix.Page",{"title":"Orphan"}])");
    apply(R"(["set","ui",{"activePage":"p5"}])");
    finishTransition();
    auto p5 = get<Page>("p5");
    ASSERT_TRUE(p5);
    ASSERT_EQ(root->topViewController(), p5->viewController());
    apply(R"(["destroy","p5"])");
    finishTransition();
    EXPECT_FALSE(object("p5"));
    EXPECT_EQ(root->topViewController(), p4->viewController());
}

TEST_F(ApplicationFrameSessionTest, ControlsAndIdsOfTheWrongKind)
{
    start();
    auto root = this->root();
    auto p1 = get<Page>("p1");
    auto c1 = get<BasicWidget>("c1");
    apply(R"(["create","c4","zub.widgets.Composite",{"parent":"s1"}])");

    // Another control: the old one leaves the page and may be destroyed again, but lives on.
    apply(R"(["set","p1",{"control":"c4"}])");
    EXPECT_FALSE(c1->view()->superview());
    EXPECT_FALSE(c1->omitDestroy());
    EXPECT_TRUE(object("c1"));
    EXPECT_EQ(get<BasicWidget>("c4")->view()->superview(), p1->viewController()->view());
    EXPECT_TRUE(get<BasicWidget>("c4")->omitDestroy());

    // Content that holds the page's own view (the display) is refused before anything moves.
    auto display = get<BasicWidget>("w1")->view();
    auto displayParent = display->superview();
    apply(R"(["set","p1",{"control":"w1"}])");
    EXPECT_EQ(display->superview(), displayParent);
    EXPECT_EQ(get<BasicWidget>("c4")->view()->superview(), p1->viewController()->view());
    EXPECT_EQ(Value(p1->getWithMethod("control").value_or(Value())), Value("c4"));

    // Ids that name an object of the wrong kind name nothing.
    apply(R"(["set","p1",{"control":"a1"}])");
    EXPECT_FALSE(get<BasicWidget>("c4")->view()->superview());
    apply(R"(["set","ui",{"activePage":"a1","shell":"a2"}])");
    EXPECT_EQ(root->topViewController(), p1->viewController());
    EXPECT_EQ(Value(get<MorvixUI>("ui")->getWithMethod("activePage").value_or(Value())), Value("a1"));

    // A tap on the item of an action that has been destroyed does nothing; so does its image
    // arriving afterwards.
    auto tapped = item("a1");
    auto held = get<Action>("a6");
    apply(R"(["destroy","a1"])");
    apply(R"(["destroy","a6"])");
    EXPECT_FALSE(held->barButtonItem());
    skipPosts();
    std::size_t before = posts().size();
    tapped->tap();
    imageGate().open();
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return ImageViewMorvix::loadsInFlight() == 0; }, 10s));
    harness.advance(0.3);
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), before);
    EXPECT_FALSE(held->loadedImage());
    EXPECT_EQ(p1->viewController()->navigationItem()->rightBarButtonItems(),
        (std::vector<std::shared_ptr<platform::BarButtonItem>> { item("a2") }));
}

TEST_F(ApplicationFrameSessionTest, TheDisplayPresentsThroughTheRootController)
{
    // Pickers, composers and the search screen go up through the Display: with the frame on,
    // the root controller presents them.
    start();
    auto display = get<Display>("w1");
    ASSERT_TRUE(display);
    auto sheet = platform::ViewController::create();
    display->presentModalViewController(sheet, false);
    harness.runUntilIdle();
    EXPECT_EQ(sheet->presentingViewController(), client->applicationFrameController()->windowRootController());
    EXPECT_TRUE(sheet->view()->window());
    sheet->dismissViewController(platform::Animated::No);
    harness.runUntilIdle();
    EXPECT_FALSE(sheet->presentingViewController());
}

TEST_F(ApplicationFrameSessionTest, ActionsShowTitleOrImageInTheFramesColours)
{
    start();
    auto root = this->root();
    auto ui = get<MorvixUI>("ui");

    // The default background reaches both bars at once.
    EXPECT_EQ(root->navigationBar()->barTintColor(), MorvixUI::defaultBackground());
    EXPECT_EQ(root->toolbar()->barTintColor(), MorvixUI::defaultBackground());

    // While the image is held the item shows neither title nor image; once loaded, the image.
    auto held = item("a6");
    EXPECT_EQ(held->title(), "");
    EXPECT_FALSE(held->image());
    imageGate().open();
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return held->image() != nullptr; }, 10s));
    EXPECT_EQ(held->title(), "");
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return get<Page>("p1")->loadedImage() != nullptr; }, 10s));
    apply(R"(["set","a6",{"image":null}])");
    EXPECT_EQ(held->title(), "Held");
    EXPECT_FALSE(held->image());

    // Colours: the foreground tints the bars, titles the navigation bar and every action, at
    // alpha 0.5 when disabled; the background tints both bars.
    apply(R"(["set","ui",{"foreground":[255,0,0],"background":[0,0,255]}])");
    apply(R"(["set","a4",{"enabled":false}])");
    auto red = Color::fromRGBA(1, 0, 0);
    EXPECT_EQ(root->navigationBar()->titleColor(), red);
    EXPECT_EQ(root->navigationBar()->tintColor(), red);
    EXPECT_EQ(root->toolbar()->tintColor(), red);
    EXPECT_EQ(root->toolbar()->barTintColor(), Color::fromRGBA(0, 0, 1));
    EXPECT_EQ(item("a3")->titleColor(platform::ControlState::Normal), red);
    EXPECT_EQ(item("a4")->titleColor(platform::ControlState::Disabled), red.withAlpha(0.5f));

    // The picture: title, actions and the coloured toolbar, with the disabled title at half
    // strength over the bar's blue (drawn once, not dimmed again).
    root->view()->layoutIfNeeded();
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 1, .backdrop = Color::white() });
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->writePNG((lookFolder() / "application-frame.png").string()));
    auto toolbarFrame = root->toolbar()->convertRectTo(root->toolbar()->bounds(), nullptr);
    auto corner = picture->pixelAt(static_cast<int>(toolbarFrame.minX()) + 1, static_cast<int>(toolbarFrame.maxY()) - 2);
    EXPECT_EQ(corner.blue, 255);
    EXPECT_EQ(corner.red, 0);

    // `toolbarVisible` false hides both bars; the next redraw shows them again.
    apply(R"(["set","ui",{"toolbarVisible":false}])");
    EXPECT_TRUE(root->isNavigationBarHidden());
    EXPECT_TRUE(root->isToolbarHidden());
    apply(R"(["set","a3",{"visibility":false}])");
    harness.runUntilIdle();
    EXPECT_FALSE(root->isNavigationBarHidden());
    EXPECT_FALSE(root->isToolbarHidden());

    // A toolbar without items never shows.
    for (const char* id : { "a4", "a6" })
        apply((std::string(R"(["set",")") + id + R"(",{"visibility":false}])").c_str());
    harness.runUntilIdle();
    EXPECT_TRUE(toolbarItems().empty());
    EXPECT_TRUE(root->isToolbarHidden());
    apply(R"(["set","ui",{"toolbarVisible":true}])");
    EXPECT_TRUE(root->isToolbarHidden());
    EXPECT_FALSE(root->isNavigationBarHidden());

    // Destroying the frame clears the colours.
    apply(R"(["destroy","ui"])");
    EXPECT_FALSE(root->navigationBar()->titleColor());
    EXPECT_FALSE(root->navigationBar()->barTintColor());
    EXPECT_FALSE(root->toolbar()->tintColor());
    EXPECT_FALSE(root->toolbar()->barTintColor());
}

TEST_F(ApplicationFrameSessionTest, TheTopLevelMenuListsTheTopLevelPagesAndSwitchesBetweenThem)
{
    start();
    auto frame = std::dynamic_pointer_cast<ApplicationFrameRoot>(client->applicationFrameController());
    auto container = frame->drawerController();
    auto menu = frame->topLevelController();
    EXPECT_EQ(harness.window()->rootViewController(), container);
    EXPECT_EQ(container->centerViewController(), root());
    EXPECT_EQ(container->leftDrawerViewController(), menu) << "the server binding supplies no drawer";
    EXPECT_EQ(menu->morvixUI(), get<MorvixUI>("ui"));
    ASSERT_EQ(menu->pages(), (std::vector<std::shared_ptr<Page>> { get<Page>("p1"), get<Page>("p2") }));
    EXPECT_TRUE(menu->hasChoices());
    auto table = menu->tableView();
    EXPECT_EQ(table->numberOfRows(0), 2);
    EXPECT_FALSE(menu->titleForHeader(*table, 0)) << "no bundle name, no header";

    // Two pages to choose from: the top-level page has the menu button, and a bezel pan opens.
    auto button = get<Page>("p1")->viewController()->navigationItem()->leftBarButtonItem();
    ASSERT_TRUE(button);
    EXPECT_EQ(container->openDrawerGestureModeMask(), 8u);
    // The frame's background colours the status bar's area.
    EXPECT_EQ(container->statusBarViewBackgroundColor(), MorvixUI::defaultBackground());

    // Rows: the titles in the active text colour, the loaded icon recoloured in it.
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return get<Page>("p1")->loadedImage() != nullptr; }, 10s));
    harness.runUntilIdle();
    harness.touches().tapView(*button->view(), { 10, 22 });
    harness.advance(1);
    harness.runUntilIdle();
    EXPECT_EQ(container->openSide(), DWSideLeft);
    table->layoutIfNeeded();
    auto first = table->cellForRow(platform::rowPath(0));
    auto second = table->cellForRow(platform::rowPath(1));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->reuseIdentifier(), TopLevelViewController::kCellIdentifier);
    EXPECT_EQ(first->frame().height(), 40);
    EXPECT_EQ(first->textLabel()->text(), "First");
    EXPECT_EQ(first->textLabel()->textColor(), FontHelper::activeTextColor());
    auto icon = first->imageView()->image();
    ASSERT_TRUE(icon);
    auto pixel = icon->pixelAt(5, 5);
    auto active = FontHelper::activeTextColor();
    EXPECT_EQ(pixel.alpha, 255);
    EXPECT_NEAR(pixel.blue, active.blue * 255, 1);
    EXPECT_NEAR(pixel.red, active.red * 255, 1);
    EXPECT_EQ(first->imageView()->contentMode(), platform::ContentMode::ScaleAspectFit);
    EXPECT_FALSE(second->imageView()->image()) << "a page without an icon";

    // A tap on a row: deselected, the frame switches (ShowPage, twice) and the drawer closes.
    std::size_t before = posts().size();
    harness.touches().tapView(*second, { 100, 20 });
    EXPECT_FALSE(table->indexPathForSelectedRow());
    auto shown = [&] {
        int count = 0;
        auto bodies = posts();
        for (std::size_t index = before; index < bodies.size(); ++index) {
            for (const auto& operation : bodies[index]["operations"])
                count += operation == Value::parse(R"(["notify","ui","ShowPage",{"pageId":"p2"}])") ? 1 : 0;
        }
        return count;
    };
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return shown() >= 2; }, 10s));
    skipPosts();
    harness.advance(1);
    harness.runUntilIdle();
    EXPECT_EQ(container->openSide(), DWSideNone);

    // A page that stops being top-level leaves the menu, and comes back when it is again.
    apply(R"(["set","p2",{"topLevel":false}])");
    EXPECT_EQ(menu->pages(), (std::vector<std::shared_ptr<Page>> { get<Page>("p1") }));
    EXPECT_EQ(table->numberOfRows(0), 1);
    apply(R"(["set","p2",{"topLevel":true}])");
    EXPECT_EQ(menu->pages().size(), 2u);

    // With one top-level page there is nothing to choose: no button, no opening pan.
    apply(R"(["destroy","p1"])");
    harness.advance(0.35);
    harness.runUntilIdle();
    EXPECT_FALSE(menu->hasChoices());
    EXPECT_EQ(menu->pages().size(), 1u);
    EXPECT_FALSE(get<Page>("p2")->viewController()->navigationItem()->leftBarButtonItem());
    EXPECT_EQ(container->openDrawerGestureModeMask(), 0u);
}

TEST(TopLevelMenuImageTest, ARecolouredIconKeepsItsShapeAndTransparency)
{
    platform::ImageContext picture({ 4, 2 }, platform::Opaque::No, 2);
    picture.context().setFillColor(Color::fromRGBA(0, 0, 1, 0.5f));
    picture.context().fillRect({ 0, 0, 2, 2 });
    auto source = picture.image();
    auto recoloured = TopLevelViewController::imageWithColor(*source, Color::fromRGBA(0, 1, 0));
    ASSERT_TRUE(recoloured);
    EXPECT_EQ(recoloured->scale(), 2);
    EXPECT_EQ(recoloured->size(), source->size());
    for (int x : { 0, 3, 4, 7 }) {
        auto before = source->pixelAt(x, 1);
        auto after = recoloured->pixelAt(x, 1);
        EXPECT_EQ(after.alpha, before.alpha) << x;
        if (after.alpha == 0)
            continue;
        EXPECT_NEAR(after.green, 255, 2);
        EXPECT_NEAR(after.blue, 0, 2);
    }
    EXPECT_EQ(recoloured->pixelAt(7, 1).alpha, 0);
}

} // namespace
} // namespace morvix
