// Script errors name the module, line and column they happened at.

#include "core/base/LogEntry.h"
#include "core/script/JSBinding.h"
#include "core/session/MorvixClient.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "tests/support/ScriptFolder.h"
#include "tests/support/TestClientDelegate.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace morvix::testing {
namespace {

constexpr const char* kLibrary = R"(
    var morvix = window.morvix;
    morvix.version = "1.0.0";
    morvix.trigger = function () {};
    window.document = {createElement: function () { return {}; }, head: {appendChild: function () {}}};
    module.exports = morvix;)";

class ScriptErrorPlaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        platform::NotificationCenter::resetDefaultForTesting();
        platform::Application::shared().resetForTesting();
        folder.write("node_modules/morvix/index.js", kLibrary);
        delegate->url = folder.url();
        client = MorvixClient::create(window, { JSBinding::factory() }, MorvixClient::ApplicationFrame::Off);
        ASSERT_NE(client, nullptr);
        client->setDelegate(delegate);
        client->setLogObserver([this](const LogEntry& entry) {
            if (entry.type() == LogEntry::Type::Error)
                m_errors.push_back(entry.message());
        });
    }
    void TearDown() override
    {
        client.reset();
        loop.runUntilIdle();
        loop.resetForTesting();
    }
    // Runs `main` as index.js in a fresh context; gives the errors logged meanwhile.
    std::vector<std::string> load(const std::string& main)
    {
        folder.write("index.js", main);
        client->load();
        loop.runUntilIdle();
        return errors();
    }
    std::vector<std::string> errors() { return std::exchange(m_errors, {}); }
    std::shared_ptr<JSBridge> bridge() { return std::dynamic_pointer_cast<JSBinding>(client->bindings().at(0))->bridge(); }

    platform::MainLoop& loop = platform::MainLoop::main();
    ScriptFolder folder;
    std::shared_ptr<TestClientDelegate> delegate = std::make_shared<TestClientDelegate>();
    std::shared_ptr<platform::Window> window = platform::Window::create({ 0, 0, 320, 568 });
    std::shared_ptr<MorvixClient> client;

private:
    std::vector<std::string> m_errors;
};

using Errors = std::vector<std::string>;

TEST_F(ScriptErrorPlaceTest, SyntaxAndRunTimeErrorsNameModuleLineAndColumn)
{
    // A syntax error in a required module: the engine gives the line, the column is found.
    folder.write("lib/helper.js", "exports.a = 1;\n\nfunction broken( {\n  return 2;\n}\n");
    folder.write("lib/other.js", "exports.b = 2;\nvar x = [1, 2;\n");
    EXPECT_EQ(load("require('./lib/helper');\n"), Errors { "Could not load main module: Error: Could not parse lib/helper.js:4:3: "
                                                           "SyntaxError: Cannot use abbreviated destructuring syntax for keyword 'return'." });
    EXPECT_EQ(load("var ok = 1;\nrequire('./lib/other');\n"), Errors { "Could not load main module: Error: Could not parse lib/other.js:2:14: "
                                                                       "SyntaxError: Unexpected token ';'. Expected either a closing ']' or "
                                                                       "a ',' following an array element." });

    // On a module's first line the wrapper's head is not counted.
    folder.write("lib/first.js", "var = 1;\n");
    EXPECT_EQ(load("require('./lib/first');\n"),
        Errors { "Could not load main module: Error: Could not parse lib/first.js:1:5: SyntaxError: Unexpected token '='. "
                 "Expected a parameter pattern or a ')' in parameter list." });

    // An exception while a module runs, on its first line and further down.
    folder.write("lib/throws.js", "exports.f = function () { return null.x; };\nexports.g = function () {\n    undefinedName();\n};\n");
    EXPECT_EQ(load("require('./lib/throws').f();\n"),
        Errors { "Could not load main module: lib/throws.js:1:38: TypeError: null is not an object (evaluating 'null.x')" });
    EXPECT_EQ(load("require('./lib/throws').g();\n"),
        Errors { "Could not load main module: lib/throws.js:3:18: ReferenceError: Can't find variable: undefinedName" });

    // A module that is not there: the line that required it.
    EXPECT_EQ(load("\n  require('./missing');\n"), Errors { "Could not load main module: index.js:2:10: Error: Cannot find module './missing'" });

    // An event handler that throws: the bridge logs it with its place.
    load("window.morvix._notify = function (id, event) {\n    throw new RangeError(event + ' on ' + id);\n};\n");
    bridge()->fireEvent("Selection", platform::Value::object(), "w1");
    loop.runUntilIdle();
    EXPECT_EQ(errors(), Errors { "index.js:2:25: RangeError: Selection on w1" });
}

} // namespace
} // namespace morvix::testing
