// A browser in a session of the script peer, whose JavaScriptCore the web engine shares: the
// peer's script context exists before the first page, and the page still loads.

#include "widgets/containers/Browser.h"

#include "platform/foundation/MainLoop.h"
#include "platform/ui/screens/HeadlessDisplay.h"
#include "tests/support/ScriptSessionFixture.h"
#include "widgets/delegating/DelegatingWKView.h"

#include <algorithm>

namespace morvix {
namespace {

using platform::Value;

class BrowserScriptSessionTest : public testing::ScriptSessionFixture {
protected:
    void SetUp() override
    {
        platform::HeadlessDisplay::setPreference(platform::HeadlessDisplay::Preference::PrivateServer);
        ScriptSessionFixture::SetUp();
    }
};

TEST_F(BrowserScriptSessionTest, PageLoadsAfterThePeersScriptContextAndAnswersScripts)
{
    start(R"(client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
        client.create('w2', 'zub.widgets.Browser', {parent: 'w1', bounds: [0, 0, 200, 100],
            html: '<title>From the peer</title><p>hi</p>'});
        client.listen('w2', 'Progress', true);)");
    auto browser = std::dynamic_pointer_cast<Browser>(object("w2"));
    ASSERT_NE(browser, nullptr);
    std::vector<Value> operations;
    auto waitFor = [&](const char* operation) {
        auto expected = Value::parse(operation);
        return platform::MainLoop::main().runUntil([&] {
            for (auto& sentOperation : sent())
                operations.push_back(std::move(sentOperation));
            return std::find(operations.begin(), operations.end(), expected) != operations.end();
        }, std::chrono::seconds(30));
    };
    ASSERT_TRUE(waitFor(R"(["notify","w2","Progress",{}])")) << Value(operations).dump();
    EXPECT_EQ(browser->webView()->loadState(), platform::WKView::LoadState::Finished);

    run("client.call('w2', 'evaluate', {script: 'document.title'});");
    EXPECT_TRUE(waitFor(R"(["call","w2","evaluationSucceeded",{"result":["From the peer"]}])")) << Value(operations).dump();
}

} // namespace
} // namespace morvix
