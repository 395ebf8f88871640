// The web view stand-in: navigations are put to the delegate, loads finish only when told, and
// scripts answer on a later turn from the responder or the engine, whose context each allowed
// navigation resets.

#include "platform/ui/screens/WKView.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

namespace morvix::platform {
namespace {

struct RecordingDelegate : WKNavigationDelegate {
    NavigationPolicy decidePolicy(WKView&, const NavigationAction& action) override
    {
        actions.push_back(action);
        return action.url.starts_with("no:") ? NavigationPolicy::Cancel : NavigationPolicy::Allow;
    }
    void didFinishNavigation(WKView&) override { ++finished; }
    void didFailNavigation(WKView&, const std::string& error) override { failures.push_back(error); }
    std::vector<NavigationAction> actions;
    int finished = 0;
    std::vector<std::string> failures;
};

// Counts scripts and remembers how many resets came before each.
struct CountingEngine : ScriptEngine {
    explicit CountingEngine(int& resets) : m_resets(resets) { }
    void reset() override { ++m_resets; }
    ScriptResult evaluate(const std::string& script) override { return { Value(script + "@" + std::to_string(m_resets)), std::nullopt }; }
    int& m_resets;
};

TEST(WKViewTest, NavigationsAreDecidedAndFinishOnlyWhenTold)
{
    UITestHarness harness;
    auto view = WKView::create({ 0, 0, 200, 100 });
    auto delegate = std::make_shared<RecordingDelegate>();
    view->setNavigationDelegate(delegate);
    EXPECT_EQ(view->currentURL(), std::nullopt);

    view->loadHTMLString("<p>x</p>");
    ASSERT_EQ(delegate->actions.size(), 1u);
    EXPECT_EQ(delegate->actions[0].type, NavigationAction::Type::Other);
    EXPECT_EQ(view->currentURL(), "about:blank");
    view->loadRequest("no:thing");
    EXPECT_EQ(view->currentURL(), "about:blank") << "cancelled";
    EXPECT_EQ(view->loads().size(), 1u);

    view->loadRequest("http://a/");
    view->loadRequest("http://b/");
    harness.runUntilIdle();
    EXPECT_EQ(delegate->finished, 0) << "nothing finishes by itself";
    view->finishNavigation();
    view->finishNavigation();
    EXPECT_EQ(delegate->finished, 1) << "the newer load replaced the pending one; a second finish has nothing to end";
    EXPECT_EQ(view->loadState(), WKView::LoadState::Finished);
    EXPECT_NE(view->placeholderText().find("finished"), std::string::npos);

    view->activateLink("http://c/", WKView::LinkTarget::NewWindow);
    EXPECT_EQ(delegate->actions.back().type, NavigationAction::Type::LinkActivated);
    EXPECT_FALSE(delegate->actions.back().hasTargetFrame);
    EXPECT_EQ(view->currentURL(), "http://b/") << "a new window loads nothing here";
    view->activateLink("http://d/", WKView::LinkTarget::SameFrame);
    view->failNavigation("offline");
    EXPECT_EQ(delegate->failures, std::vector<std::string> { "offline" });
    EXPECT_EQ(view->loadState(), WKView::LoadState::Failed);
}

TEST(WKViewTest, ScriptsAnswerOnALaterTurnInAContextResetPerNavigation)
{
    UITestHarness harness;
    auto view = WKView::create();
    int resets = 0;
    view->setScriptEngine(std::make_unique<CountingEngine>(resets));
    std::vector<std::string> answers;
    auto record = [&](ScriptResult result) { answers.push_back(result.value ? result.value->get<std::string>() : "error:" + result.error.value_or("")); };

    view->evaluateJavaScript("a", record);
    EXPECT_TRUE(answers.empty()) << "answers come on a later turn";
    harness.runUntilIdle();
    view->loadHTMLString("x");
    view->setScriptResponder([](const std::string& script) -> std::optional<ScriptResult> {
        if (script == "known")
            return ScriptResult { std::nullopt, std::string("refused") };
        return std::nullopt;
    });
    view->evaluateJavaScript("b", record);
    view->evaluateJavaScript("known", record);
    harness.runUntilIdle();
    EXPECT_EQ(answers, (std::vector<std::string> { "a@0", "b@1", "error:refused" }));
}

} // namespace
} // namespace morvix::platform
