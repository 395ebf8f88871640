// Browsers in a real session on the web engine: loads wait for a parent, scripts run in the page
// and come back described, and links, redirects, refusals and finished loads are reported, with
// pages served from loopback.

#include "widgets/containers/Browser.h"

#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/screens/HeadlessDisplay.h"
#include "tests/support/ScriptFolder.h"
#include "tests/widgets/containers/ScrollMenuSessionFixture.h"
#include "widgets/delegating/DelegatingWKView.h"

#include <algorithm>

namespace morvix {
namespace {

using platform::Value;
using platform::WKView;

constexpr auto kPage = R"(<title>Page</title>
<body style="margin:0;background:#fff">
<div style="position:absolute;left:20px;top:30px;width:60px;height:40px;background:#f00"></div>
<a id="connect" href="morvix-connect:do-something?x=1">connect</a>
<a id="window" href="new.html" target="_blank">new window</a>
</body>)";

class BrowserSessionTest : public testing::ScrollMenuSessionFixture {
protected:
    void SetUp() override
    {
        platform::HeadlessDisplay::setPreference(platform::HeadlessDisplay::Preference::PrivateServer);
        server.route("/app/page.html", testing::TestResponse().withHeader("Content-Type", "text/html").withBody(kPage));
        server.route("/app/old", testing::TestResponse().withStatus(302).withHeader("Location", "/app/page.html"));
        ScrollMenuSessionFixture::SetUp();
    }
    void TearDown() override
    {
        ScrollMenuSessionFixture::TearDown();
        platform::Application::shared().resetForTesting();
    }
    std::shared_ptr<DelegatingWKView> webView(const std::string& id)
    {
        auto browser = object<Browser>(id);
        return browser ? browser->webView() : nullptr;
    }
    // Waits until `count` operations went out after the POST `first`.
    void waitForOperations(std::size_t first, std::size_t count)
    {
        ASSERT_TRUE(platform::MainLoop::main().runUntil(
            [&] { return Value::parse(operationsSince(first)).size() >= count; }, std::chrono::seconds(30)))
            << operationsSince(first);
    }
    bool waitUntilQuiet()
    {
        return platform::MainLoop::main().runUntil([] { return WKView::workInFlight() == 0; }, std::chrono::seconds(30));
    }
    // Whether the operations after the POST `first` hold `operation` (given as JSON).
    bool sentSince(std::size_t first, const std::string& operation)
    {
        auto sent = Value::parse(operationsSince(first));
        return std::find(sent.begin(), sent.end(), Value::parse(operation)) != sent.end();
    }
};

TEST_F(BrowserSessionTest, LoadsOncePlacedAndReportsScriptResultsInOrder)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w7","zub.widgets.Browser",{"url":"page.html","html":"<title>Hi</title><p>hi</p>"}],
        ["call","w7","evaluate",{"script":"6*7"}],
        ["call","w7","evaluate",{"script":5}]])");
    auto web = webView("w7");
    ASSERT_NE(web, nullptr);
    EXPECT_TRUE(web->configuration().allowsInlineMediaPlayback);
    EXPECT_TRUE(web->loads().empty()) << "nothing loads without a parent";
    EXPECT_FALSE(web->hasEngine()) << "and no engine starts for it";
    EXPECT_EQ(object<Browser>("w7")->getKey("url"), std::nullopt) << "the view's URL, not the stored string";
    EXPECT_EQ(object<Browser>("w7")->getKey("html"), Value("<title>Hi</title><p>hi</p>")) << "the later html cleared the url";

    std::size_t before = posts().size();
    deliver(R"([["set","w7",{"parent":"w1"}]])");
    ASSERT_EQ(web->loads().size(), 1u) << "only the html set last";
    EXPECT_TRUE(web->loads()[0].isHTML);
    waitForOperations(before + 1, 1);
    EXPECT_EQ(operationsSince(before + 1), R"([["call","w7","evaluationSucceeded",{"result":["42"]}]])")
        << "the queued script ran once, after the load started; the numeric script was ignored";
    ASSERT_TRUE(waitUntilQuiet());
    EXPECT_EQ(object<Browser>("w7")->getKey("url"), Value("about:blank"));

    before = posts().size();
    deliver(R"([["call","w7","evaluate",{"script":"true"}],["call","w7","evaluate",{"script":"'x'"}],
        ["call","w7","evaluate",{"script":"null"}],["call","w7","evaluate",{"script":"[1, 'a b']"}],
        ["call","w7","evaluate",{"script":"undefined"}],["call","w7","evaluate",{"script":"document.title"}],
        ["call","w7","evaluate",{"script":"no.such.thing"}]])");
    waitForOperations(before + 1, 7);
    EXPECT_EQ(operationsSince(before + 1),
        R"([["call","w7","evaluationSucceeded",{"result":["1"]}],["call","w7","evaluationSucceeded",{"result":["x"]}],)"
        R"(["call","w7","evaluationSucceeded",{"result":["<null>"]}],)"
        R"x(["call","w7","evaluationSucceeded",{"result":["(\n    1,\n    \"a b\"\n)"]}],)x"
        R"(["call","w7","evaluationFailed",{}],["call","w7","evaluationSucceeded",{"result":["Hi"]}],)"
        R"(["call","w7","evaluationFailed",{}]])");
}

TEST_F(BrowserSessionTest, ShowsServedPagesAndReportsLinksRedirectsAndLoads)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w7","zub.widgets.Browser",{"parent":"w1","bounds":[10,40,200,120],"url":"old"}],
        ["listen","w7",{"Progress":true,"morvixconnect":true}]])");
    auto web = webView("w7");
    ASSERT_NE(web, nullptr);
    ASSERT_EQ(web->loads().size(), 1u);
    EXPECT_EQ(web->loads()[0].url, server.url("/app/old"));

    std::size_t before = posts().size();
    waitForOperations(before, 1);
    EXPECT_EQ(operationsSince(before), R"([["notify","w7","Progress",{}]])");
    EXPECT_EQ(object<Browser>("w7")->getKey("url"), Value(server.url("/app/page.html"))) << "the address after the redirect";

    // The page is drawn where the browser is: its red box 20 points right of and 30 below the
    // browser's corner.
    ASSERT_TRUE(waitUntilQuiet());
    ASSERT_NE(web->snapshot(), nullptr);
    harness.runUntilIdle();
    auto corner = web->convertPointTo({ 0, 0 }, harness.window().get());
    auto picture = platform::Renderer::render(*harness.window(), { .scale = 1 });
    ASSERT_NE(picture, nullptr);
    auto box = picture->pixelAt(static_cast<int>(corner.x + 50), static_cast<int>(corner.y + 50));
    EXPECT_EQ(std::make_tuple(box.red, box.green, box.blue), std::make_tuple(255, 0, 0));
    auto page = picture->pixelAt(static_cast<int>(corner.x + 150), static_cast<int>(corner.y + 50));
    EXPECT_EQ(std::make_tuple(page.red, page.green, page.blue), std::make_tuple(255, 255, 255));

    before = posts().size();
    deliver(R"([["call","w7","evaluate",{"script":"document.title"}],["call","w7","evaluate",{"script":"21*2"}]])");
    waitForOperations(before + 1, 2);
    EXPECT_EQ(operationsSince(before + 1),
        R"([["call","w7","evaluationSucceeded",{"result":["Page"]}],["call","w7","evaluationSucceeded",{"result":["42"]}]])");

    // A "morvix-connect:" link is reported whole and not loaded; a new-window link goes to the
    // application and loads nothing here either.
    before = posts().size();
    deliver(R"x([["call","w7","evaluate",{"script":"document.getElementById('connect').click()"}],
        ["call","w7","evaluate",{"script":"document.getElementById('window').click()"}]])x");
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] {
        return sentSince(before + 1, R"(["notify","w7","morvixconnect",{"url":"morvix-connect:do-something?x=1"}])")
            && !platform::Application::shared().openedURLs().empty();
    }, std::chrono::seconds(30))) << operationsSince(before + 1);
    EXPECT_EQ(platform::Application::shared().openedURLs(), std::vector<std::string> { server.url("/app/new.html") });
    ASSERT_TRUE(waitUntilQuiet());
    EXPECT_EQ(object<Browser>("w7")->getKey("url"), Value(server.url("/app/page.html")));
    EXPECT_FALSE(sentSince(before + 1, R"(["notify","w7","Progress",{}])"));

    // A file outside the application's folder is refused; the page stays.
    testing::ScriptFolder elsewhere;
    auto secret = elsewhere.write("secret.html", "<title>secret</title>");
    before = posts().size();
    deliver(R"([["set","w7",{"url":"file://)" + secret.string() + R"("}]])");
    EXPECT_EQ(web->loads().size(), 1u);
    EXPECT_EQ(object<Browser>("w7")->getKey("url"), Value(server.url("/app/page.html")));
    // So is a "morvix-connect:" URL the peer sets, which is reported like a link.
    deliver(R"([["set","w7",{"url":"morvix-connect:direct"}]])");
    EXPECT_TRUE(sentSince(before, R"(["notify","w7","morvixconnect",{"url":"morvix-connect:direct"}])")) << operationsSince(before);
    EXPECT_EQ(web->loads().size(), 1u);

    // Every finished load is reported.
    deliver(R"([["set","w7",{"html":"<title>Again</title>"}]])");
    ASSERT_TRUE(platform::MainLoop::main().runUntil([&] { return sentSince(before, R"(["notify","w7","Progress",{}])"); },
        std::chrono::seconds(30)));
    EXPECT_EQ(object<Browser>("w7")->getKey("url"), Value("about:blank"));
}

} // namespace
} // namespace morvix
