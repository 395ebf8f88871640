#include "core/script/JSBinding.h"

#include "core/outgoing/HeadNotification.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "networking/NetNetworkActivityIndicatorManager.h"
#include "tests/core/script/JSTestSupport.h"
#include "tests/support/SourceTree.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

using namespace morvix;
using namespace morvix::testing;
using platform::Value;
using namespace std::chrono_literals;

namespace {

// A boot script of the application's own: records its runs and the events it hears.
constexpr const char* kOwnBootScript = R"(
    runs = (typeof runs === 'number' ? runs : 0) + 1;
    var heard = [];
    var morvix = {
        _notify: function (id, event, attributes) { heard.push([id, event, attributes]); },
        _start: function (b) {
            bridge = b;
            try { throw new Error('where'); } catch (e) { source = e.sourceURL; }
        }
    };
)";

class JSBindingTest : public ScriptTest {
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        dispatcher = NotificationsDispatcher::create(platform::NotificationCenter::defaultCenter());
        dispatcher->addBinding(binding);
    }
    void TearDown() override
    {
        dispatcher.reset();
        binding.reset();
        ScriptTest::TearDown();
    }

    void declare(const std::string& json, const std::string& script = kOwnBootScript)
    {
        folder.write("app.json", json);
        folder.write("boot.js", script);
        session->serverURLText = folder.url() + "app.json";
    }
    Value run(const std::string& script) { return binding->execute(script).value_or(Value("<nothing>")); }

    std::shared_ptr<JSBinding> binding = JSBinding::create(session);
    std::shared_ptr<NotificationsDispatcher> dispatcher;
};

TEST_F(JSBindingTest, StartSwitchesOnThenLoadsThenStartsTheBridge)
{
    declare(R"({"morvix": "boot.js"})");
    EXPECT_FALSE(binding->isActive());
    binding->start();
    EXPECT_TRUE(binding->isActive());
    EXPECT_TRUE(NetNetworkActivityIndicatorManager::sharedManager()->isEnabled());
    ASSERT_GE(session->steps.size(), 2u); // the bridge reads the server URL again for its own loads
    EXPECT_EQ(std::vector<std::string>(session->steps.begin(), session->steps.begin() + 2), (std::vector<std::string> { "ui on", "server url" }));
    EXPECT_EQ(run("typeof bridge.create"), Value("function"));
    binding->stop();
    EXPECT_FALSE(binding->isActive());
    EXPECT_FALSE(binding->isProcessing());
    EXPECT_TRUE(binding->supportsCustomDrawer());
}

TEST_F(JSBindingTest, DeclaredScriptRunsWithItsURLAsSourceInsteadOfTheBuiltInOne)
{
    declare(R"({"morvix": "boot.js", "other": 1})");
    binding->start();
    EXPECT_EQ(run("source"), Value(folder.url() + "boot.js"));
    EXPECT_EQ(run("typeof morvix.Module"), Value("undefined"));
    EXPECT_TRUE(session->logged.empty());
}

TEST_F(JSBindingTest, BuiltInScriptRunsWhenTheServerGivesNoScript)
{
    for (const char* served : { "<html>welcome</html>", "[1, 2]", R"({"name": "app"})" }) {
        SCOPED_TRACE(served);
        folder.write("app.json", served);
        session->serverURLText = folder.url() + "app.json";
        session->logged.clear();
        binding->reset();
        binding->start();
        EXPECT_EQ(run("typeof morvix.Module"), Value("function"));
        EXPECT_EQ(session->messages().front(), "Could not load morvix module: Error: Cannot find module 'morvix'");
    }
}

TEST_F(JSBindingTest, UnreadableDeclaredScriptIsLoggedAndTheBridgeStillStarts)
{
    declare(R"({"morvix": "scripts/missing.js"})");
    binding->start();
    EXPECT_EQ(session->logged, (std::vector<LogEntry> {
        { "Could not load Resource:\nscripts/missing.js", LogEntry::Type::Error },
        { "Could not start Morvix.\nObject 'morvix' not found.", LogEntry::Type::Error },
    }));
}

TEST_F(JSBindingTest, MorvixMemberThatIsNotTextNamesNoScript)
{
    for (const char* json : { R"({"morvix": 5})", R"({"morvix": null})", R"({"morvix": ["boot.js"]})", R"({"morvix": {"path": "boot.js"}})" }) {
        SCOPED_TRACE(json);
        declare(json);
        session->logged.clear();
        binding->reset();
        binding->start();
        ASSERT_FALSE(session->logged.empty());
        EXPECT_EQ(session->logged.front(), LogEntry("Could not load Resource:\n<undefined>", LogEntry::Type::Error));
    }
}

TEST_F(JSBindingTest, OnlyEventsReachTheScriptAndEachMessageSucceedsOnce)
{
    declare(R"({"morvix": "boot.js"})");
    binding->start();
    run("bridge.create('l1', 'test.Lamp'); bridge.listen('l1', 'Selection', true);");
    NotificationCounter succeeded(JSBinding::kOperationSucceeded);
    NotificationCounter finished(std::string(JSBridge::kProcessingFinished));

    auto message = Notifications::forObject("l1");
    message->attributeChanged(Value("typed"), "text").fireEvent("Selection", Value::parse(R"({"x": 2})"));
    EXPECT_EQ(succeeded.count, 1);
    EXPECT_EQ(finished.count, 1);

    Notifications::forObject("l1")->attributeChanged(Value(true), "on").schedule();
    Notifications::forObject("l1")->call("refresh");
    Notifications::forHead()->send();
    EXPECT_EQ(succeeded.count, 4);
    EXPECT_EQ(finished.count, 1);

    lamp("l1")->select(Value::parse(R"({"item": "a"})"));
    EXPECT_EQ(run("JSON.stringify(heard)"), Value(R"([["l1","Selection",{"x":2}],["l1","Selection",{"item":"a"}]])"));
}

TEST_F(JSBindingTest, EventsOfOneMessageAreFiredInOrder)
{
    declare(R"({"morvix": "boot.js"})");
    binding->start();
    auto message = Notifications::forObject("w7");
    message->attributeChanged(Value(1), "a");
    message->fireEvent("First");
    message->fireEvent("Second", Value::parse(R"({"n": 1})"));
    // The second send carries the first event again: every send hands on the whole message.
    EXPECT_EQ(run("JSON.stringify(heard.map(function (e) { return e[1]; }))"), Value(R"(["First","First","Second"])"));
}

TEST_F(JSBindingTest, MessagesFromOtherThreadsAreDeliveredOnTheMainLoop)
{
    declare(R"({"morvix": "boot.js"})");
    binding->start();
    std::thread([] { Notifications::forObject("w1")->fireEvent("Far"); }).join();
    EXPECT_EQ(run("heard.length"), Value(0));
    loop.runUntilIdle();
    EXPECT_EQ(run("heard.length + ' ' + heard[0][1]"), Value("1 Far"));
}

TEST_F(JSBindingTest, StopAndStartReuseTheContextResetMakesANewOne)
{
    declare(R"({"morvix": "boot.js"})");
    binding->start();
    auto first = binding->bridge();
    binding->stop();
    binding->start();
    EXPECT_EQ(binding->bridge(), first);
    EXPECT_EQ(run("runs"), Value(2));
    binding->reset();
    EXPECT_FALSE(binding->isActive());
    EXPECT_NE(binding->bridge(), first);
    binding->start();
    EXPECT_EQ(run("runs"), Value(1));
}

TEST_F(JSBindingTest, RetryReloadsTheSessionOnALaterTurn)
{
    binding->retry();
    EXPECT_TRUE(session->steps.empty());
    loop.runOnce();
    EXPECT_EQ(session->steps, std::vector<std::string> { "load" });
}

TEST_F(JSBindingTest, ReloadFromInsideTheScriptReplacesTheBridgeSafely)
{
    declare(R"({"morvix": "boot.js"})");
    binding->start();
    // The script's own call leads to a reload: the binding is reset and started again while the
    // old context's frames are still running.
    session->onLog = [&](const LogEntry& entry) {
        if (entry.message() == "reload")
            dispatcher->reset(), dispatcher->start();
    };
    auto old = binding->bridge();
    std::weak_ptr<JSBridge> weakOld = old;
    old.reset();
    run("console.log('reload'); bridge.create('after', 'test.Lamp');");
    EXPECT_NE(lamp("after"), nullptr);
    EXPECT_TRUE(weakOld.expired());
    EXPECT_EQ(run("runs"), Value(1));
    loop.runUntilIdle();
}

TEST_F(JSBindingTest, FlushOperationsQueueFiresRefresh)
{
    declare(R"({"morvix": "boot.js"})");
    binding->start();
    binding->flushOperationsQueue();
    EXPECT_EQ(run("JSON.stringify(heard)"), Value(R"([["morvix.ui","refresh",{}]])"));
}

TEST_F(JSBindingTest, ContentOfFileDetectsTheEncoding)
{
    auto url = [&](const std::string& name, const std::string& bytes) {
        folder.write(name, bytes);
        return folder.url() + name;
    };
    EXPECT_EQ(binding->contentOfFile(url("utf8", "\xEF\xBB\xBFx = '\xC3\xA9';")), "x = '\xC3\xA9';");
    EXPECT_EQ(binding->contentOfFile(url("utf16le", std::string("\xFF\xFEx\0=\0\xE9\0", 8))), "x=\xC3\xA9");
    EXPECT_EQ(binding->contentOfFile(url("utf16be", std::string("\xFE\xFF\0x\0=\0\xE9", 8))), "x=\xC3\xA9");
    EXPECT_EQ(binding->contentOfFile(url("latin", "x = '\xE9';")), "x = '\xC3\xA9';");
    EXPECT_EQ(binding->contentOfFile(folder.url() + "missing"), std::nullopt);
}

TEST_F(JSBindingTest, ServesTheApplicationOverHttp)
{
    TestHttpServer server;
    auto script = [](std::string body) {
        return TestResponse().withHeader("Content-Type", "application/javascript").withBody(std::move(body));
    };
    server.route("/app/", TestResponse().withHeader("Content-Type", "text/html").withBody("<html>app</html>"));
    server.route("/app/node_modules/morvix/index.js", script(R"(
        var morvix = window.morvix;
        morvix.version = "1.0.0";
        morvix.trigger = function () {};
        window.document = {createElement: function () { return {}; }, head: {appendChild: function () {}}};
        morvix._notify = function (id, event) { console.log('event ' + id + ' ' + event); };
        module.exports = morvix;)"));
    server.route("/app/package.json", TestResponse().withHeader("Content-Type", "application/json").withBody(R"({"main": "main"})"));
    server.route("/app/main.js", script(R"(
        var client = window.morvix._client;
        client.create('l1', 'test.Lamp', {text: require('./lib/text')});
        client.listen('l1', 'Selection', true);)"));
    server.route("/app/lib/text.js", script("module.exports = 'from http';"));
    server.route("*", TestResponse().withStatus(404).withHeader("Content-Type", "text/html").withBody("<html>Not Found</html>"));
    server.start();
    session->serverURLText = server.url("/app/");
    binding->start();
    ASSERT_NE(lamp("l1"), nullptr) << ::testing::PrintToString(session->messages());
    EXPECT_EQ(lamp("l1")->m_text, "from http");
    lamp("l1")->select(Value::object());
    EXPECT_EQ(session->messages(), std::vector<std::string> { "event l1 Selection" });
    // An error page is no content, even for a name that ends in ".js".
    EXPECT_EQ(run("var c = window.morvix._client; JSON.stringify([c.loadAndExecute('gone.js', '', ''), c.load('gone.txt')])"),
        Value(R"([{"loadError":true},null])"));
}

TEST_F(JSBindingTest, DeclaredScriptOverHttp)
{
    TestHttpServer server;
    server.route("/app.json", TestResponse().withHeader("Content-Type", "application/json").withBody(R"({"morvix": "js/boot.js"})"));
    server.route("/js/boot.js", TestResponse().withHeader("Content-Type", "application/javascript").withBody(kOwnBootScript));
    server.start();
    session->serverURLText = server.url("/app.json");
    binding->start();
    EXPECT_EQ(run("source"), Value(server.url("/js/boot.js")));
}

// Resident set size in bytes, from /proc.
std::size_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// A long session's garbage is collected: one object of each turn is watched through a weak
// reference, and by the end most of them must be gone (which ones a collection frees is the
// engine's choice; its conservative scan of the stack may keep a few). Finalization registry
// callbacks run only from the engine's own timers, on GLib's default context: they must run
// while the main loop is pumped. Resident size is checked too, except under the address
// sanitizer, whose quarantine keeps freed memory resident.
TEST_F(JSBindingTest, GarbageIsCollectedOverALongSession)
{
    declare(R"({"morvix": "boot.js"})", R"(
        var watched = [];
        var finalised = 0;
        var registry = new FinalizationRegistry(function () { finalised++; });
        var morvix = {
            _start: function () {},
            _notify: function () {
                var junk = [];
                for (var i = 0; i < 2000; i++)
                    junk.push({index: i, text: 'item ' + i});
                watched.push(new WeakRef(junk[0]));
                registry.register(junk[1], watched.length);
            }
        };
        function collected() {
            return watched.filter(function (reference) { return reference.deref() === undefined; }).length;
        })");
    binding->start();
    auto turns = [&](int count) {
        for (int turn = 0; turn < count; ++turn)
            Notifications::forObject("w1")->fireEvent("Tick");
    };
    turns(300);
    [[maybe_unused]] std::size_t early = residentBytes();
    turns(3000); // some 6 million objects, several hundred megabytes were none of it freed
    [[maybe_unused]] std::size_t late = residentBytes();
    ASSERT_EQ(run("watched.length"), Value(3300));
    EXPECT_TRUE(platform::MainLoop::main().runUntil([&] { return run("collected() >= 0.9 * watched.length") == Value(true); }, 10s))
        << run("collected()").dump() << " of 3300 watched objects collected";
    EXPECT_TRUE(platform::MainLoop::main().runUntil([&] { return run("finalised > 0") == Value(true); }, 10s))
        << "no finalization callback ran";
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(late, early + 64 * 1024 * 1024) << "early " << early << " late " << late;
#endif
}

} // namespace

namespace {

TEST_F(JSBindingTest, HelloSampleRunsAndAnswersItsButton)
{
    auto sample = morvix::testing::sourceRoot() / "examples" / "hello";
    session->serverURLText = "file://" + sample.string() + "/";
    binding->start();
    // The widget classes are not registered here; the reports of their skipped creates are not
    // the sample's own lines.
    auto lines = session->messages();
    std::erase_if(lines, [](const std::string& line) { return line.rfind("create of unknown type", 0) == 0; });
    EXPECT_EQ(lines, (std::vector<std::string> {
        "Hello from the script peer (morvix script library 1.0.0)",
        R"(Created [{id:"w1", type:"zub.widgets.Display"}, {id:"w2", type:"zub.widgets.Shell"}, )"
        R"({id:"w3", type:"zub.widgets.Label"}, {id:"w4", type:"zub.widgets.Button"}])",
        "flush",
        "flush",
    }));
    session->logged.clear();
    session->commands->operations.clear();
    binding->bridge()->fireEvent("Selection", Value::object(), "w4");
    binding->bridge()->fireEvent("Selection", Value::object(), "w4");
    binding->bridge()->fireEvent("Modify", Value::object(), "w3");
    EXPECT_EQ(session->messages(), (std::vector<std::string> {
        "Button pressed: Pressed 1 time",
        "Button pressed: Pressed 2 times",
        "No handler for Modify on w3",
    }));
    EXPECT_EQ(session->commands->operations.back(), Value::parse(R"(["set", "w3", {"text": "Pressed 2 times"}])"));
}

} // namespace
