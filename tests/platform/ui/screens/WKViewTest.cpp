// The web view on the engine: pages load and are drawn, scripts answer in the page, and every
// navigation is put to the delegate and to the view's own rule of what may load.

#include "platform/ui/screens/WKView.h"

#include "platform/foundation/MainLoop.h"
#include "platform/graphics/Image.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "platform/ui/screens/HeadlessDisplay.h"
#include "tests/support/ScriptFolder.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace morvix::platform {
namespace {

using namespace std::chrono_literals;

struct RecordingDelegate : WKNavigationDelegate {
    NavigationPolicy decidePolicy(WKView&, const NavigationAction& action) override
    {
        actions.push_back(action);
        return action.url.starts_with("no:") ? NavigationPolicy::Cancel : NavigationPolicy::Allow;
    }
    void didFinishNavigation(WKView& view) override { finished.push_back(view.currentURL().value_or("")); }
    void didFailNavigation(WKView&, const std::string& error) override { failures.push_back(error); }
    void didRefuseNavigation(WKView&, const std::string& url, const std::string&) override { refused.push_back(url); }
    void didNotice(WKView&, Notice notice, const std::string& text) override
    {
        if (notice == Notice::Error)
            errors.push_back(text);
    }
    std::vector<NavigationAction> actions;
    std::vector<std::string> errors;
    std::vector<std::string> finished;
    std::vector<std::string> failures;
    std::vector<std::string> refused;
};

// The web engine's processes this process started that have not ended.
std::size_t webProcesses()
{
    std::size_t count = 0;
    DIR* processes = ::opendir("/proc");
    while (dirent* entry = processes ? ::readdir(processes) : nullptr) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line) || line.find("(WebKitWebProces)") == std::string::npos)
            continue;
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        char state = 0;
        long parent = 0;
        fields >> state >> parent;
        if (parent == ::getpid() && state != 'Z')
            ++count;
    }
    if (processes)
        ::closedir(processes);
    return count;
}

class WKViewTest : public ::testing::Test {
protected:
    void SetUp() override { HeadlessDisplay::setPreference(HeadlessDisplay::Preference::PrivateServer); }

    bool waitUntil(const std::function<bool()>& done) { return MainLoop::main().runUntil(done, 30s); }
    // Runs `script` and waits for its answer, written as "value:<json>", "nothing" or "error".
    std::string evaluate(WKView& view, const std::string& script)
    {
        std::optional<std::string> answer;
        view.evaluateJavaScript(script, [&](ScriptResult result) {
            answer = result.value ? "value:" + result.value->dump() : result.error ? std::string("error") : "nothing";
        });
        EXPECT_TRUE(answer == std::nullopt) << "answers come on a later turn";
        EXPECT_TRUE(waitUntil([&] { return answer.has_value(); })) << script;
        return answer.value_or("");
    }

    UITestHarness harness;
};

TEST_F(WKViewTest, DrawsThePageAndAnswersScriptsInIt)
{
    auto view = WKView::create({ 0, 0, 200, 100 });
    harness.window()->addSubview(view);
    auto delegate = std::make_shared<RecordingDelegate>();
    view->setNavigationDelegate(delegate);
    EXPECT_EQ(view->currentURL(), std::nullopt);

    ASSERT_TRUE(view->loadHTMLString("<title>Boxes</title><body style='margin:0;background:#fff'>"
                                     "<div style='position:absolute;left:40px;top:20px;width:60px;height:30px;background:#00f'></div>"));
    ASSERT_TRUE(waitUntil([&] { return !delegate->finished.empty() && WKView::workInFlight() == 0; }));
    EXPECT_TRUE(HeadlessDisplay::isReady());
    EXPECT_EQ(delegate->finished, std::vector<std::string> { "about:blank" });
    EXPECT_EQ(view->loadState(), WKView::LoadState::Finished);
    ASSERT_NE(view->snapshot(), nullptr);
    EXPECT_EQ(view->snapshot()->size(), Size(200, 100)) << "the page at the screen's scale, in the view's points";

    auto picture = Renderer::render(*view, { .scale = 2 });
    ASSERT_NE(picture, nullptr);
    auto inside = picture->pixelAt(2 * 70, 2 * 35);
    EXPECT_EQ(std::make_tuple(inside.red, inside.green, inside.blue), std::make_tuple(0, 0, 255));
    auto outside = picture->pixelAt(2 * 150, 2 * 80);
    EXPECT_EQ(std::make_tuple(outside.red, outside.green, outside.blue), std::make_tuple(255, 255, 255));

    EXPECT_EQ(evaluate(*view, "document.title"), R"(value:"Boxes")");
    EXPECT_EQ(evaluate(*view, "21 * 2"), "value:42");
    EXPECT_EQ(evaluate(*view, "0.5"), "value:0.5");
    EXPECT_EQ(evaluate(*view, "null"), "value:null");
    EXPECT_EQ(evaluate(*view, "({a: [1, 'b', false]})"), R"(value:{"a":[1,"b",false]})");
    EXPECT_EQ(evaluate(*view, "undefined"), "nothing");
    EXPECT_EQ(evaluate(*view, "(function () {})"), "error");
    EXPECT_EQ(evaluate(*view, "throw new Error('x')"), "error");
    EXPECT_EQ(evaluate(*view, "nothing.here"), "error");

    // The page follows the view's size; the new size counts as work in flight until a picture
    // of it arrives.
    ASSERT_TRUE(waitUntil([] { return WKView::workInFlight() == 0; }));
    view->setFrame({ 0, 0, 120, 80 });
    view->layoutSubviews();
    EXPECT_GT(WKView::workInFlight(), 0u);
    harness.runUntilIdle();
    ASSERT_TRUE(waitUntil([&] { return view->snapshot()->size() == Size(120, 80) && WKView::workInFlight() == 0; }));
    EXPECT_EQ(evaluate(*view, "innerWidth + 'x' + innerHeight"), R"(value:"120x80")");
}

TEST_F(WKViewTest, PutsNavigationsToTheDelegateAndLoadsOnlyWhatItMay)
{
    testing::ScriptFolder folder;
    auto inside = folder.write("page.html", "<title>inside</title><a id='l' href='no:thing'>x</a>"
                                            "<a id='w' href='https://example.org/new' target='_blank'>y</a>");
    testing::ScriptFolder other;
    auto outside = other.write("secret.html", "secret");

    auto view = WKView::create({ 0, 0, 100, 100 });
    auto delegate = std::make_shared<RecordingDelegate>();
    view->setNavigationDelegate(delegate);
    EXPECT_FALSE(view->loadRequest("file://" + inside.string())) << "no folder is readable yet";
    EXPECT_FALSE(view->loadRequest("ftp://example.org/"));
    EXPECT_FALSE(view->loadHTMLString("<p>x</p>", "file://" + outside.string()));
    EXPECT_EQ(delegate->refused.size(), 3u);
    EXPECT_TRUE(view->loads().empty());

    view->setReadableFolders({ folder.path().string() });
    EXPECT_FALSE(view->loadRequest("file://" + outside.string())) << "outside the readable folders";
    ASSERT_TRUE(view->loadRequest("file://" + inside.string()));
    ASSERT_TRUE(waitUntil([&] { return delegate->finished.size() == 1; }));
    EXPECT_EQ(view->currentURL(), "file://" + inside.string());
    ASSERT_FALSE(delegate->actions.empty());
    EXPECT_EQ(delegate->actions.back().type, NavigationAction::Type::Other);

    // A link the delegate cancels, and one that opens a window, change nothing.
    delegate->actions.clear();
    evaluate(*view, "document.getElementById('l').click()");
    evaluate(*view, "document.getElementById('w').click()");
    evaluate(*view, "window.open('https://example.org/opened')");
    ASSERT_TRUE(waitUntil([&] { return delegate->actions.size() >= 3; }));
    EXPECT_EQ(delegate->actions[0].url, "no:thing");
    EXPECT_EQ(delegate->actions[0].type, NavigationAction::Type::LinkActivated);
    EXPECT_TRUE(delegate->actions[0].hasTargetFrame);
    EXPECT_EQ(delegate->actions[1].url, "https://example.org/new");
    EXPECT_FALSE(delegate->actions[1].hasTargetFrame);
    EXPECT_EQ(delegate->actions[2].url, "https://example.org/opened");
    EXPECT_FALSE(delegate->actions[2].hasTargetFrame);
    EXPECT_EQ(evaluate(*view, "document.title"), R"(value:"inside")");
    EXPECT_EQ(delegate->finished.size(), 1u);

    // A page's own navigation to a file outside the folders is refused too.
    delegate->refused.clear();
    evaluate(*view, "location.href = 'file://" + outside.string() + "'");
    ASSERT_TRUE(waitUntil([&] { return !delegate->refused.empty(); }));
    EXPECT_EQ(delegate->refused, std::vector<std::string> { "file://" + outside.string() });
    EXPECT_EQ(evaluate(*view, "document.title"), R"(value:"inside")");
    EXPECT_TRUE(waitUntil([] { return WKView::workInFlight() == 0; })) << "no load is left pending";
}

TEST_F(WKViewTest, DestroyedViewEndsItsPendingWork)
{
    std::optional<std::string> answered;
    {
        auto view = WKView::create({ 0, 0, 50, 50 });
        ASSERT_TRUE(view->loadHTMLString("<p>x</p>"));
        view->evaluateJavaScript("1", [&](ScriptResult result) { answered = result.error.value_or("a value"); });
        EXPECT_GT(WKView::workInFlight(), 0u);
    }
    EXPECT_EQ(WKView::workInFlight(), 0u);
    EXPECT_EQ(answered, std::nullopt) << "answers come on a later turn";
    ASSERT_TRUE(waitUntil([&] { return answered.has_value(); }));
    EXPECT_EQ(answered, "the web view went away");
    harness.runUntilIdle();
}

TEST_F(WKViewTest, ViewsShareBoundedEnginesThatEndWithThem)
{
    auto delegate = std::make_shared<RecordingDelegate>();
    std::vector<std::shared_ptr<WKView>> views;
    for (std::size_t i = 0; i <= WKView::kMaximumLiveEngines; ++i) {
        views.push_back(WKView::create({ 0, 0, 40, 30 }));
        views.back()->setNavigationDelegate(delegate);
        views.back()->loadHTMLString("<p>" + std::to_string(i) + "</p>");
    }
    ASSERT_TRUE(waitUntil([&] { return delegate->finished.size() == WKView::kMaximumLiveEngines && WKView::workInFlight() == 0; }));
    EXPECT_EQ(WKView::liveEngines(), WKView::kMaximumLiveEngines);
    EXPECT_FALSE(views.back()->hasEngine()) << "one more is a stand-in";
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_NE(delegate->errors[0].find("web views run already"), std::string::npos) << delegate->errors[0];
    EXPECT_EQ(evaluate(*views.back(), "1"), "error");
    EXPECT_EQ(webProcesses(), 1u) << "the views share one web process";

    // A page that never yields ends with its view.
    evaluate(*views[0], "setTimeout(function () { for (;;) { } }, 0); 1");
    views.clear();
    EXPECT_EQ(WKView::liveEngines(), 0u);
    EXPECT_TRUE(waitUntil([] { return webProcesses() == 0; }));

    auto later = WKView::create({ 0, 0, 40, 30 });
    later->setNavigationDelegate(delegate);
    later->loadHTMLString("<p>later</p>");
    EXPECT_TRUE(later->hasEngine()) << "room again";
    EXPECT_TRUE(waitUntil([&] { return delegate->finished.size() == WKView::kMaximumLiveEngines + 1; }));
}

} // namespace
} // namespace morvix::platform
