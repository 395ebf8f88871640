// Browsers in a real session on the web engine: loads wait for a parent, scripts run in the page
// and come back described, and links, redirects, refusals and finished loads are reported, with
// pages served from loopback; what a page asks of a person nobody sees, what it reaches for
// outside its folder and what it makes of itself after its load; a display server that dies.

#include "widgets/containers/Browser.h"

#include "platform/foundation/BundleInfo.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/screens/HeadlessDisplay.h"
#include "tests/support/ScriptFolder.h"
#include "tests/widgets/containers/ScrollMenuSessionFixture.h"
#include "widgets/delegating/DelegatingWKView.h"

#include <algorithm>
#include <mutex>
#include <tuple>

#include <signal.h>

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

// Asks for everything a person would answer while it loads, and asks to stay when left.
constexpr auto kDialogs = R"(<body><script>
var answers = [alert('hello'), confirm('sure?'), prompt('name?', 'someone'), window.print()];
document.title = JSON.stringify(answers);
onbeforeunload = function (event) { event.preventDefault(); return 'stay'; };
</script></body>)";

// A red box that turns green a moment after the load.
constexpr auto kChanging = R"(<body style="margin:0;background:#fff">
<div id="box" style="position:absolute;left:20px;top:30px;width:60px;height:40px;background:#f00"></div>
<script>onload = function () { setTimeout(function () { box.style.background = '#0f0'; }, 50); };</script></body>)";

constexpr auto kPicture = "<svg xmlns='http://www.w3.org/2000/svg' width='7' height='5'/>";

class BrowserSessionTest : public testing::ScrollMenuSessionFixture {
protected:
    void SetUp() override
    {
        platform::HeadlessDisplay::setPreference(platform::HeadlessDisplay::Preference::PrivateServer);
        auto html = [](const char* body) { return testing::TestResponse().withHeader("Content-Type", "text/html").withBody(body); };
        server.route("/app/page.html", html(kPage));
        server.route("/app/old", testing::TestResponse().withStatus(302).withHeader("Location", "/app/page.html"));
        server.route("/app/dialogs.html", html(kDialogs));
        server.route("/app/changing.html", html(kChanging));
        server.route("/app/auth", html("<title>denied</title>").withStatus(401).withHeader("WWW-Authenticate", "Basic realm=\"zone\""));
        server.route("/app/attachment", html("<title>attached</title>").withHeader("Content-Disposition", "attachment; filename=\"a.html\""));
        ScrollMenuSessionFixture::SetUp();
    }
    void TearDown() override
    {
        ScrollMenuSessionFixture::TearDown();
        platform::Application::shared().resetForTesting();
        platform::BundleInfo::resetForTesting();
    }
    // Keeps the session's log lines from now on.
    void keepLog()
    {
        client->setLogObserver([this](const LogEntry& entry) {
            std::lock_guard lock(m_logMutex);
            m_log.push_back(entry.message());
        }, MorvixClient::LogDelivery::AnyThread);
    }
    // Whether a kept log line holds `text`.
    bool logged(const std::string& text)
    {
        std::lock_guard lock(m_logMutex);
        return std::any_of(m_log.begin(), m_log.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }
    bool waitUntil(const std::function<bool()>& done)
    {
        return platform::MainLoop::main().runUntil(done, std::chrono::seconds(30));
    }
    // Sends "evaluate" and answers the call the browser `id` sends back.
    std::string evaluate(const std::string& id, const std::string& script)
    {
        std::size_t before = posts().size();
        deliver(Value::array({ Value::array({ "call", id, "evaluate", Value { { "script", script } } }) }).dump());
        EXPECT_TRUE(waitUntil([&] { return Value::parse(operationsSince(before + 1)).size() >= 1; })) << script;
        auto sent = Value::parse(operationsSince(before + 1));
        return sent.empty() ? std::string() : sent[0].dump();
    }
    // The colour of the window's pixel at `x`, `y` of the browser's view, as drawn now.
    std::tuple<int, int, int> pixel(const std::shared_ptr<DelegatingWKView>& web, double x, double y)
    {
        harness.runUntilIdle();
        auto corner = web->convertPointTo({ 0, 0 }, harness.window().get());
        auto picture = platform::Renderer::render(*harness.window(), { .scale = 1 });
        if (!picture)
            return { -1, -1, -1 };
        auto color = picture->pixelAt(static_cast<int>(corner.x + x), static_cast<int>(corner.y + y));
        return { color.red, color.green, color.blue };
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
    std::mutex m_logMutex; // guards m_log
    std::vector<std::string> m_log;
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
    platform::Application::shared().setOpenableSchemes({ "http" });
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

TEST_F(BrowserSessionTest, PagesAskingForPeopleOrReachingOutGoOnConfined)
{
    testing::ScriptFolder folder;
    testing::ScriptFolder elsewhere;
    std::string outside = "file://" + elsewhere.path().string() + "/";
    elsewhere.write("secret.js", "window.secret = 42;");
    elsewhere.write("outside.css", "body { color: rgb(1, 2, 3); }");
    elsewhere.write("out.svg", kPicture);
    elsewhere.write("frame.html", "<p>outside</p>");
    folder.write("in.js", "window.inside = 1;");
    folder.write("in.svg", kPicture);
    auto page = folder.write("page.html", "<link rel='stylesheet' href='" + outside + "outside.css'>"
        "<script src='in.js'></script><script src='" + outside + "secret.js'></script>"
        "<img id='in' src='in.svg'><img id='out' src='" + outside + "out.svg'><iframe src='" + outside + "frame.html'></iframe>");
    auto bundle = platform::BundleInfo::main();
    bundle.resourcePath = folder.path().string();
    platform::BundleInfo::setMain(bundle);
    platform::Application::shared().setOpenableSchemes({ "https", "file", "javascript" });

    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w7","zub.widgets.Browser",{"parent":"w1","bounds":[0,0,200,120],"url":"dialogs.html"}],
        ["listen","w7",{"Progress":true}]])");
    keepLog();
    client->setMaximumResponseSize(64 * 1024);
    auto web = webView("w7");
    ASSERT_NE(web, nullptr);
    auto progressSince = [&](std::size_t first) { return sentSince(first, R"(["notify","w7","Progress",{}])"); };

    // Alerts, questions, prompts and printing while the page loads: it finishes, with the
    // answers of an application that shows no dialogs, and the log says what was asked.
    ASSERT_TRUE(waitUntil([&] { return progressSince(0); })) << operationsSince(0);
    EXPECT_EQ(evaluate("w7", "document.title"), R"(["call","w7","evaluationSucceeded",{"result":["[null,false,null,null]"]}])");
    for (auto* text : { "alert \"hello\"", "question \"sure?\" was answered no", "prompt \"name?\"", "printed" })
        EXPECT_TRUE(logged(text)) << text;

    // Leaving it is allowed; a server asking for credentials shows its own answer.
    std::size_t before = posts().size();
    deliver(R"([["set","w7",{"url":"auth"}]])");
    ASSERT_TRUE(waitUntil([&] { return progressSince(before); })) << operationsSince(before);
    EXPECT_EQ(evaluate("w7", "document.title"), R"(["call","w7","evaluationSucceeded",{"result":["denied"]}])");
    EXPECT_TRUE(logged("asked to stay (\"stay\")"));
    EXPECT_TRUE(logged("asked for credentials (realm \"zone\")"));

    // An attachment is neither shown nor downloaded: the page stays.
    before = posts().size();
    deliver(R"([["set","w7",{"url":"attachment"}]])");
    ASSERT_TRUE(waitUntil([&] { return logged("attachment\": it is an attachment"); }));
    ASSERT_TRUE(waitUntil([] { return WKView::workInFlight() == 0; }));
    EXPECT_EQ(object<Browser>("w7")->getKey("url"), Value(server.url("/app/auth")));
    EXPECT_FALSE(progressSince(before));

    // A page of the application's folder loads its own script, picture and style, and nothing
    // from elsewhere: no script, picture, style sheet or frame.
    before = posts().size();
    deliver(Value::array({ Value::array({ "set", "w7", Value { { "url", "file://" + page.string() } } }) }).dump());
    ASSERT_TRUE(waitUntil([&] { return progressSince(before); })) << operationsSince(before);
    EXPECT_EQ(evaluate("w7", "[window.inside, window.secret, document.getElementById('in').naturalWidth > 0, "
                             "document.getElementById('out').naturalWidth, getComputedStyle(document.body).color].join(' ')"),
        R"x(["call","w7","evaluationSucceeded",{"result":["1  true 0 rgb(0, 0, 0)"]}])x");
    EXPECT_TRUE(logged("refused to load \"" + outside + "frame.html\""));

    // New windows reach the application only for URLs it opens, never a file or a script.
    EXPECT_EQ(evaluate("w7", "window.open('" + outside + "frame.html'); window.open('javascript:1'); "
                             "window.open('https://example.org/new'); 1"),
        R"(["call","w7","evaluationSucceeded",{"result":["1"]}])");
    EXPECT_EQ(platform::Application::shared().openedURLs(), std::vector<std::string> { "https://example.org/new" });

    // Results past the session's response size, as text or as description, or nested past the
    // bound, are not sent; the next one is.
    auto failed = R"(["call","w7","evaluationFailed",{}])";
    EXPECT_EQ(evaluate("w7", "'y'.repeat(70000)"), failed);
    EXPECT_EQ(evaluate("w7", "var a = 1; for (var i = 0; i < 200; i++) a = [a]; a"), failed);
    EXPECT_EQ(evaluate("w7", "var b = 1; for (var i = 0; i < 600; i++) b = [b]; b"), failed);
    EXPECT_EQ(evaluate("w7", "'y'.repeat(3)"), R"(["call","w7","evaluationSucceeded",{"result":["yyy"]}])");

    // A page that changes after its load is drawn as it is now.
    before = posts().size();
    deliver(R"([["set","w7",{"url":"changing.html"}]])");
    ASSERT_TRUE(waitUntil([&] { return progressSince(before); }));
    using Color = std::tuple<int, int, int>;
    const Color green { 0, 255, 0 };
    const Color white { 255, 255, 255 };
    ASSERT_TRUE(waitUntil([&] {
        harness.advance(0.1); // the pictures the page's repaints ask for are spaced on the clock
        return pixel(web, 50, 50) == green;
    }));

    // After a resize the page is drawn at its new size, and the old picture meanwhile at its
    // own, never stretched: the box stays 40 points high.
    deliver(R"([["set","w7",{"bounds":[0,0,200,240]}]])");
    EXPECT_EQ(pixel(web, 50, 90), white);
    ASSERT_TRUE(waitUntil([] { return WKView::workInFlight() == 0; }));
    EXPECT_EQ(web->snapshot()->size(), platform::Size(200, 240));
    EXPECT_EQ(pixel(web, 50, 50), green);
    EXPECT_EQ(pixel(web, 50, 90), white);
    EXPECT_EQ(pixel(web, 50, 200), white);
    EXPECT_EQ(evaluate("w7", "innerHeight"), R"(["call","w7","evaluationSucceeded",{"result":["240"]}])");
}

TEST_F(BrowserSessionTest, SessionGoesOnWhenTheDisplayServerDies)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w7","zub.widgets.Browser",{"parent":"w1","bounds":[0,0,100,60],"html":"<body style='background:#f00'>"}],
        ["listen","w7",{"Progress":true}]])");
    keepLog();
    auto web = webView("w7");
    ASSERT_TRUE(waitUntil([&] { return sentSince(0, R"(["notify","w7","Progress",{}])") && WKView::workInFlight() == 0; }));
    const std::tuple<int, int, int> red { 255, 0, 0 };
    EXPECT_EQ(pixel(web, 50, 30), red);

    int first = platform::HeadlessDisplay::privateServerProcess();
    ASSERT_GT(first, 0);
    ASSERT_EQ(::kill(first, SIGKILL), 0);
    ASSERT_TRUE(waitUntil([&] { return !web->hasEngine(); }));
    EXPECT_TRUE(logged("display was lost"));
    EXPECT_NE(pixel(web, 50, 30), red) << "the stand-in, not the last picture";
    EXPECT_EQ(evaluate("w7", "1"), R"(["call","w7","evaluationFailed",{}])");

    // A later browser starts a display of its own and shows its page.
    std::size_t before = posts().size();
    deliver(R"([["create","w8","zub.widgets.Browser",{"parent":"w1","bounds":[0,100,100,60],"html":"<body style='background:#f00'>"}],
        ["listen","w8",{"Progress":true}]])");
    ASSERT_TRUE(waitUntil([&] { return sentSince(before, R"(["notify","w8","Progress",{}])") && WKView::workInFlight() == 0; }))
        << operationsSince(before);
    EXPECT_NE(platform::HeadlessDisplay::privateServerProcess(), first);
    EXPECT_EQ(pixel(webView("w8"), 50, 30), red);
    EXPECT_EQ(evaluate("w8", "6 * 7"), R"(["call","w8","evaluationSucceeded",{"result":["42"]}])");
}

} // namespace
} // namespace morvix
