// Browsers in a real session: loads wait for a parent, scripts come back described, and links
// and finished loads are reported, all against the headless web view whose navigations the test
// finishes itself.

#include "widgets/containers/Browser.h"

#include "platform/ui/Application.h"
#include "tests/widgets/containers/ScrollMenuSessionFixture.h"
#include "widgets/delegating/DelegatingWKView.h"

namespace morvix {
namespace {

using platform::Value;
using platform::WKView;

class BrowserSessionTest : public testing::ScrollMenuSessionFixture {
protected:
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
    // Lets the script completions run until `count` operations went out after the POST `first`.
    void waitForOperations(std::size_t first, std::size_t count)
    {
        ASSERT_TRUE(platform::MainLoop::main().runUntil(
            [&] { return Value::parse(operationsSince(first)).size() >= count; }, std::chrono::seconds(10)))
            << operationsSince(first);
    }
};

TEST_F(BrowserSessionTest, LoadsOncePlacedAndReportsScriptResultsInOrder)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w7","zub.widgets.Browser",{"url":"page.html","html":"<p>hi</p>"}],
        ["call","w7","evaluate",{"script":"6*7"}],
        ["call","w7","evaluate",{"script":5}]])");
    auto web = webView("w7");
    ASSERT_NE(web, nullptr);
    EXPECT_TRUE(web->configuration().allowsInlineMediaPlayback);
    EXPECT_TRUE(web->loads().empty()) << "nothing loads without a parent";
    EXPECT_EQ(object<Browser>("w7")->getKey("url"), std::nullopt) << "the view's URL, not the stored string";
    EXPECT_EQ(object<Browser>("w7")->getKey("html"), Value("<p>hi</p>")) << "the later html cleared the url";

    std::size_t before = posts().size();
    deliver(R"([["set","w7",{"parent":"w1"}]])");
    ASSERT_EQ(web->loads().size(), 1u) << "only the html set last";
    EXPECT_TRUE(web->loads()[0].isHTML);
    EXPECT_EQ(object<Browser>("w7")->getKey("url"), Value("about:blank"));
    waitForOperations(before + 1, 1);
    EXPECT_EQ(operationsSince(before + 1), R"([["call","w7","evaluationSucceeded",{"result":["42"]}]])")
        << "the queued script ran once, after the load started; the numeric script was ignored";

    before = posts().size();
    deliver(R"([["call","w7","evaluate",{"script":"true"}],["call","w7","evaluate",{"script":"'x'"}],
        ["call","w7","evaluate",{"script":"null"}],["call","w7","evaluate",{"script":"[1, 'a b']"}],
        ["call","w7","evaluate",{"script":"document.title"}]])");
    waitForOperations(before + 1, 5);
    EXPECT_EQ(operationsSince(before + 1),
        R"([["call","w7","evaluationSucceeded",{"result":["1"]}],["call","w7","evaluationSucceeded",{"result":["x"]}],)"
        R"(["call","w7","evaluationSucceeded",{"result":["<null>"]}],)"
        R"x(["call","w7","evaluationSucceeded",{"result":["(\n    1,\n    \"a b\"\n)"]}],)x"
        R"(["call","w7","evaluationFailed",{}]])");

    // A responder the test installs answers what the bare context cannot.
    web->setScriptResponder([](const std::string& script) -> std::optional<platform::ScriptResult> {
        if (script == "document.title")
            return platform::ScriptResult { Value("Title"), std::nullopt };
        return std::nullopt;
    });
    before = posts().size();
    deliver(R"([["call","w7","evaluate",{"script":"document.title"}]])");
    waitForOperations(before + 1, 1);
    EXPECT_EQ(operationsSince(before + 1), R"([["call","w7","evaluationSucceeded",{"result":["Title"]}]])");
}

TEST_F(BrowserSessionTest, ResolvesUrlsReportsConnectLinksAndFinishedLoads)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w7","zub.widgets.Browser",{"parent":"w1","url":"page.html"}],
        ["listen","w7",{"Progress":true,"morvixconnect":true}]])");
    auto web = webView("w7");
    ASSERT_NE(web, nullptr);
    ASSERT_EQ(web->loads().size(), 1u);
    EXPECT_EQ(web->loads()[0].url, server.url("/app/page.html"));
    EXPECT_EQ(web->loadState(), WKView::LoadState::Loading);

    std::size_t before = posts().size();
    web->finishNavigation();
    ASSERT_TRUE(settle(before + 1));
    EXPECT_EQ(operationsSince(before), R"([["notify","w7","Progress",{}]])") << "only once the test finished it";

    before = posts().size();
    web->activateLink("morvix-connect:do?x=1", WKView::LinkTarget::SameFrame);
    ASSERT_TRUE(settle(before + 1));
    EXPECT_EQ(operationsSince(before), R"([["notify","w7","morvixconnect",{"url":"morvix-connect:do?x=1"}]])");
    EXPECT_EQ(web->currentURL(), server.url("/app/page.html")) << "the link was cancelled";
    EXPECT_EQ(web->loads().size(), 1u);

    web->activateLink("https://example.org/new", WKView::LinkTarget::NewWindow);
    EXPECT_EQ(platform::Application::shared().openedURLs(), std::vector<std::string> { "https://example.org/new" });
    EXPECT_EQ(web->loads().size(), 1u) << "a new window loads nothing here";

    // Without the listener the link is still cancelled, and nothing is sent.
    before = posts().size();
    deliver(R"([["listen","w7",{"morvixconnect":false,"Progress":false}],["set","w7",{"url":"http://exa mple.com/"}]])");
    EXPECT_EQ(web->loads().size(), 1u) << "an unresolvable url loads nothing";
    web->activateLink("morvix-connect:x", WKView::LinkTarget::SameFrame);
    web->activateLink("other.html", WKView::LinkTarget::SameFrame);
    web->finishNavigation();
    harness.advance(0.3);
    harness.runUntilIdle();
    EXPECT_EQ(posts().size(), before + 1);
    EXPECT_EQ(web->currentURL(), "other.html");
}

} // namespace
} // namespace morvix
