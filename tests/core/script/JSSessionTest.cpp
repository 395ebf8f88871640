#include "core/script/JSBinding.h"

#include "core/session/MorvixClient.h"
#include "core/session/MorvixClientDelegate.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "tests/core/script/JSTestSupport.h"

#include <gtest/gtest.h>

using namespace morvix;
using namespace morvix::testing;
using platform::Value;

namespace {

class ScriptDelegate final : public MorvixClientDelegate {
public:
    std::string serverURL() override { return url; }
    void clientDidBecomeReady(MorvixClient&) override { }
    std::string url;
};

// An application that shows one lamp and counts its selections in the lamp's text.
constexpr const char* kLibrary = R"(
    var morvix = window.morvix;
    var client = morvix._client;
    morvix.version = "1.0.0";
    morvix.trigger = function () {};
    window.document = {createElement: function () { return {}; }, head: {appendChild: function () {}}};
    var selections = 0;
    morvix._notify = function (id, event) { selections++; client.set(id, {text: event + ' ' + selections}); };
    module.exports = morvix;)";

constexpr const char* kMain = R"(
    var client = window.morvix._client;
    client.create('l1', 'test.Lamp', {text: 'from script'});
    client.listen('l1', 'Selection', true);)";

class JSSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        platform::NotificationCenter::resetDefaultForTesting();
        platform::Application::shared().resetForTesting();
        WidgetRegistry::instance().addHandler<Lamp>();
        folder.write("node_modules/morvix/index.js", kLibrary);
        folder.write("index.js", kMain);
        delegate->url = folder.url();
    }
    void TearDown() override
    {
        client.reset();
        loop.runUntilIdle();
        WidgetRegistry::instance().resetForTesting();
        loop.resetForTesting();
    }
    std::shared_ptr<Lamp> lamp() { return std::dynamic_pointer_cast<Lamp>(client->objectRegistry()->objectById("l1")); }

    platform::MainLoop& loop = platform::MainLoop::main();
    ScriptFolder folder;
    std::shared_ptr<ScriptDelegate> delegate = std::make_shared<ScriptDelegate>();
    std::shared_ptr<platform::Window> window = platform::Window::create({ 0, 0, 320, 568 });
    std::shared_ptr<MorvixClient> client;
};

TEST_F(JSSessionTest, SessionRunsTheScriptApplicationAndReloadsItAfresh)
{
    client = MorvixClient::create(window, { JSBinding::factory() }, MorvixClient::ApplicationFrame::Off);
    ASSERT_NE(client, nullptr);
    client->setDelegate(delegate);
    client->load();
    loop.runUntilIdle();
    ASSERT_NE(lamp(), nullptr);
    EXPECT_EQ(lamp()->m_text, "from script");
    ASSERT_EQ(client->bindings().size(), 1u);
    EXPECT_TRUE(client->bindings()[0]->isActive());

    lamp()->select(Value::object());
    lamp()->select(Value::object());
    EXPECT_EQ(lamp()->m_text, "Selection 2");

    client->load(); // a new context: the application starts over
    loop.runUntilIdle();
    ASSERT_NE(lamp(), nullptr);
    EXPECT_EQ(lamp()->m_text, "from script");
    lamp()->select(Value::object());
    EXPECT_EQ(lamp()->m_text, "Selection 1");
}

} // namespace
