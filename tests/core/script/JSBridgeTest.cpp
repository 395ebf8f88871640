#include "core/script/JSBridge.h"

#include "core/script/JSValues.h"
#include "tests/core/script/JSTestSupport.h"

#include <gtest/gtest.h>

using namespace morvix;
using namespace morvix::testing;
using platform::Value;

namespace {

// A "morvix" object that keeps the bridge object as the global "bridge" and records events.
constexpr const char* kCapturingStart = R"(
    var events = [];
    var morvix = {
        _notify: function (id, event, attributes) { events.push([id, event, attributes]); },
        _start: function (b) { bridge = b; }
    };
)";

class JSBridgeTest : public ScriptTest {
protected:
    void startCapturing()
    {
        bridge->execute(kCapturingStart);
        bridge->start();
        session->commands->operations.clear();
    }
};

TEST_F(JSBridgeTest, WindowIsTheGlobalObjectAndAWindow)
{
    EXPECT_EQ(run("window === globalThis && window instanceof Window && typeof Window === 'function'"), Value(true));
}

TEST_F(JSBridgeTest, ConsoleChannelsLogEntriesOfTypesOneToFive)
{
    run("console.log('a'); console.info('b'); console.warn('c'); console.error('d'); console.debug('e');");
    std::vector<LogEntry> expected = {
        { "a", LogEntry::Type::Log },
        { "b", LogEntry::Type::Info },
        { "c", LogEntry::Type::Warning },
        { "d", LogEntry::Type::Error },
        { "e", LogEntry::Type::Debug },
    };
    EXPECT_EQ(session->logged, expected);
}

TEST_F(JSBridgeTest, ConsoleJoinsValuesWithBlanksAndWritesArraysAndObjects)
{
    run("console.log('text', 1, 2.5, [1, 'x'], {a: 1, b: 'x'}, true, null, undefined)");
    run("console.log({list: [1, {deep: 'y'}], empty: {}}, [], [[1, 2], 'a b'])");
    EXPECT_EQ(session->messages(), (std::vector<std::string> {
        R"(text 1 2.5 [1, "x"] {a:1, b:"x"} true null undefined)",
        R"({list:[1, {deep:"y"}], empty:{}} [] [[1, 2], "a b"])",
    }));
}

TEST_F(JSBridgeTest, ConsoleFallsBackToTheValuesOwnText)
{
    run("console.log(function f() { return 1; })");
    run("console.log([1, NaN], {a: Infinity})");
    run("console.log({toString: function () { return 'custom'; }})");
    run("var loop = {a: 1}; loop.self = loop; console.log(loop)");
    run("var list = [1]; list.push(list); console.log(list)");
    run("console.log(new Date(0) instanceof Date, [new Date(0)].length)");
    EXPECT_EQ(session->messages(), (std::vector<std::string> {
        "function f() { return 1; }",
        "1,NaN [object Object]",
        "custom",
        "[object Object]",
        "1,",
        "true 1",
    }));
}

TEST_F(JSBridgeTest, ConsoleReadsEachValueOncePerWriteAndCutsLongText)
{
    // Every level holds the level below twice: the text doubles with each level, and a getter
    // at the bottom counts how often the walk reads it.
    run(R"(
        var reads = 0;
        function nest(levels) {
            var level = {get leaf() { reads++; return 1; }};
            for (var i = 0; i < levels; i++)
                level = [level, level];
            return level;
        }
        console.log(nest(6));
        var shortReads = reads;
        reads = 0;
        console.log(nest(40));)");
    ASSERT_EQ(session->logged.size(), 2u);
    auto messages = session->messages();
    const std::string& text = messages[0];
    std::size_t leaves = 0;
    for (auto at = text.find("{leaf:1}"); at != std::string::npos; at = text.find("{leaf:1}", at + 1))
        ++leaves;
    EXPECT_EQ(leaves, 64u) << text;
    EXPECT_EQ(run("shortReads"), Value(64));
    const std::string& cut = messages[1];
    EXPECT_LE(cut.size(), 64u * 1024 + 3);
    EXPECT_EQ(cut.substr(0, 7), "[[[[[[[");
    EXPECT_EQ(cut.substr(cut.size() - 3), "...");
    EXPECT_LE(run("reads").get<double>(), 64.0 * 1024 / 8);
}

TEST_F(JSBridgeTest, BridgeObjectHasItsEightFunctionsInOrder)
{
    startCapturing();
    EXPECT_EQ(run("Object.keys(bridge).join(',')"), Value("loadAndExecute,create,set,get,call,listen,destroy,load"));
}

TEST_F(JSBridgeTest, BridgeFunctionsBecomeOperations)
{
    startCapturing();
    run(R"(
        bridge.create('l1', 'test.Lamp', {text: 'hi', on: true});
        bridge.set('l1', {text: 'ho'});
        bridge.listen('l1', 'Selection', true);
        bridge.call('l1', 'toggle', {});
        bridge.get('l1', 'text');
        bridge.destroy('l1');
    )");
    EXPECT_EQ(session->commands->operations, (std::vector<Value> {
        Value::parse(R"(["create", "l1", "test.Lamp", {"text": "hi", "on": true}])"),
        Value::parse(R"(["set", "l1", {"text": "ho"}])"),
        Value::parse(R"(["listen", "l1", {"Selection": true}])"),
        Value::parse(R"(["call", "l1", "toggle", {}])"),
        Value::parse(R"(["get", "l1", "text"])"),
        Value::parse(R"(["destroy", "l1"])"),
    }));
    EXPECT_EQ(session->registry->objectById("l1"), nullptr);
}

TEST_F(JSBridgeTest, ArgumentsAreConvertedToTextAndPropertiesToObjects)
{
    startCapturing();
    run("bridge.create(7, 'test.Lamp'); bridge.set(7, 'not an object'); bridge.set(7, [1, 2]); bridge.get();");
    run("bridge.listen(7, 'Selection', 0); bridge.listen(7, 'Selection', 'yes'); bridge.call(7, 'echo', null);");
    EXPECT_EQ(session->commands->operations, (std::vector<Value> {
        Value::parse(R"(["create", "7", "test.Lamp", {}])"),
        Value::parse(R"(["set", "7", {}])"),
        Value::parse(R"(["set", "7", {}])"),
        Value::parse(R"(["get", "undefined", "undefined"])"),
        Value::parse(R"(["listen", "7", {"Selection": false}])"),
        Value::parse(R"(["listen", "7", {"Selection": true}])"),
        Value::parse(R"(["call", "7", "echo", {}])"),
    }));
    ASSERT_NE(lamp("7"), nullptr);
    EXPECT_TRUE(lamp("7")->m_selectionListener);
    EXPECT_TRUE(session->logged.empty());
}

TEST_F(JSBridgeTest, ResultsComeBackConverted)
{
    startCapturing();
    run("bridge.create('l1', 'test.Lamp', {text: 'hi', on: true})");
    EXPECT_EQ(run("typeof bridge.get('l1', 'on') + ' ' + bridge.get('l1', 'on')"), Value("boolean true"));
    EXPECT_EQ(run("bridge.get('l1', 'text')"), Value("hi"));
    EXPECT_EQ(run("typeof bridge.call('l1', 'toggle', {})"), Value("boolean"));
    EXPECT_EQ(run("JSON.stringify(bridge.call('l1', 'echo', {n: 2, list: [1, 'a'], sub: {b: null}}))"),
        Value(R"({"n":2,"list":[1,"a"],"sub":{"b":null}})"));
    EXPECT_EQ(run("bridge.get('nobody', 'text') === undefined && bridge.call('nobody', 'toggle') === undefined"), Value(true));
    EXPECT_EQ(run("bridge.create('l2', 'test.Lamp') === undefined"), Value(true));
}

TEST_F(JSBridgeTest, OperationsAfterTheCommandOperatorIsGoneDoNothing)
{
    startCapturing();
    auto alone = JSBridge::create(std::weak_ptr<CommandOperator>(), session);
    alone->execute(kCapturingStart);
    alone->start();
    EXPECT_EQ(alone->execute("bridge.create('l1', 'test.Lamp'); bridge.get('l1', 'text') === undefined"), Value(true));
    EXPECT_EQ(session->registry->objectById("l1"), nullptr);
}

TEST_F(JSBridgeTest, StartLogsWhatIsMissingAndAlwaysPostsProcessingFinished)
{
    NotificationCounter finished(std::string(JSBridge::kProcessingFinished));
    bridge->start();
    bridge->execute("var morvix = {_start: function () {}};");
    bridge->start();
    bridge->execute("morvix = {_notify: function () {}};");
    bridge->start();
    bridge->execute("morvix = 3;");
    bridge->start();
    EXPECT_EQ(session->messages(), (std::vector<std::string> {
        "Could not start Morvix.\nObject 'morvix' not found.",
        "Function 'morvix._notify' not found.",
        "Function 'morvix._start' not found.",
        "Could not start Morvix.\nObject 'morvix' not found.",
    }));
    EXPECT_EQ(finished.count, 7); // four starts, three evaluations
}

TEST_F(JSBridgeTest, StartCallsStartWithTheBridgeObjectAndKeepsNotify)
{
    startCapturing();
    EXPECT_TRUE(bridge->hasNotifyFunction());
    EXPECT_EQ(run("typeof bridge.create"), Value("function"));
}

TEST_F(JSBridgeTest, FireEventCallsNotifyWithIdEventAndAttributes)
{
    NotificationCounter finished(std::string(JSBridge::kProcessingFinished));
    bridge->fireEvent("Selection", Value::object(), "w1"); // before start: nothing to call
    EXPECT_EQ(finished.count, 1);
    startCapturing();
    finished.count = 0;
    bridge->fireEvent("Selection", Value::parse(R"({"x": 3, "on": true, "name": "a"})"), "w1");
    bridge->fireEvent("Modify", nullptr, "w2");
    EXPECT_EQ(finished.count, 2);
    EXPECT_EQ(run("JSON.stringify(events)"), Value(R"([["w1","Selection",{"x":3,"on":true,"name":"a"}],["w2","Modify",{}]])"));
}

TEST_F(JSBridgeTest, EventsOfObjectsReachNotifyThroughTheScriptsListen)
{
    startCapturing();
    run("bridge.create('l1', 'test.Lamp'); bridge.listen('l1', 'Selection', true);");
    // The bridge alone does not hear messages; the binding hands them over (see JSBindingTest).
    EXPECT_TRUE(lamp("l1")->m_selectionListener);
}

TEST_F(JSBridgeTest, ExceptionsAreLoggedAsErrors)
{
    NotificationCounter finished(std::string(JSBridge::kProcessingFinished));
    EXPECT_EQ(bridge->execute("throw new TypeError('bad')"), std::nullopt);
    EXPECT_EQ(bridge->execute("this is not script"), std::nullopt);
    ASSERT_EQ(session->logged.size(), 2u);
    EXPECT_EQ(session->logged[0], LogEntry("TypeError: bad", LogEntry::Type::Error));
    EXPECT_EQ(session->logged[1].type(), LogEntry::Type::Error);
    EXPECT_EQ(finished.count, 2);
    bridge->execute("var morvix = {_notify: function () { throw 'in notify'; }, _start: function () { throw 'in start'; }};");
    bridge->start();
    bridge->fireEvent("Selection", Value::object(), "w1");
    EXPECT_EQ(session->messages().back(), "in notify");
    EXPECT_EQ(session->messages()[2], "in start");
}

TEST_F(JSBridgeTest, LoadReadsTextRelativeToTheServer)
{
    folder.write("data/readme.txt", "some text \xc3\xa9");
    startCapturing();
    EXPECT_EQ(run("bridge.load('data/readme.txt')"), Value("some text \xc3\xa9"));
    EXPECT_EQ(run("bridge.load('./data/../data/readme.txt')"), Value("some text \xc3\xa9"));
    EXPECT_EQ(run("bridge.load('missing.txt') === undefined && bridge.load('data') === undefined"), Value(true));
}

TEST_F(JSBridgeTest, LocalFilesOutsideTheApplicationFolderAreNotFound)
{
    folder.write("app/data/readme.txt", "inside");
    folder.write("app/lib/run.js", "return 'ran inside';");
    folder.write("secret.txt", "outside");
    folder.write("secret.js", "return 'ran outside';");
    folder.write("app-other/secret.txt", "next door");
    session->serverURLText = folder.url() + "app/package.json";
    startCapturing();
    EXPECT_EQ(run("bridge.load('data/readme.txt')"), Value("inside"));
    EXPECT_EQ(run("bridge.load('file://" + folder.path().string() + "/app/lib/../data/readme.txt')"), Value("inside"));
    EXPECT_EQ(run("bridge.loadAndExecute('lib/run.js', '(function () {', '})').executeResult()"), Value("ran inside"));
    for (const std::string& path : std::vector<std::string> { "../secret.txt", "%2e%2e/secret.txt", "..%2fsecret.txt", "data/%2E%2E/%2e%2e/secret.txt",
             "../app-other/secret.txt", folder.url() + "secret.txt", folder.url() + "app/%2e%2e/secret.txt",
             folder.path().string() + "/secret.txt", "file://localhost" + folder.path().string() + "/secret.txt" }) {
        SCOPED_TRACE(path);
        EXPECT_EQ(run("bridge.load('" + path + "') === undefined"), Value(true));
        std::string script = path.substr(0, path.size() - 3) + "js";
        EXPECT_EQ(run("JSON.stringify(bridge.loadAndExecute('" + script + "', '(function () {', '})'))"), Value(R"({"loadError":true})"));
    }
    // A session served over http has no application folder on this machine.
    session->serverURLText = "http://127.0.0.1:1/app/";
    EXPECT_EQ(run("bridge.load('" + folder.url() + "app/data/readme.txt') === undefined"), Value(true));
}

TEST_F(JSBridgeTest, LoadAndExecuteRunsScriptsAndReportsLoadErrors)
{
    folder.write("lib/add.js", "return a + b;");
    folder.write("page", "<html>not found</html>");
    folder.write("page.js", "<html>not found</html>");
    folder.write("broken.js", "return (;");
    startCapturing();
    EXPECT_EQ(run("bridge.loadAndExecute('lib/add.js', '(function (a, b) {', '\\n})').executeResult(2, 3)"), Value(5));
    EXPECT_EQ(run("JSON.stringify(bridge.loadAndExecute('page', '', ''))"), Value(R"({"loadError":true})"));
    EXPECT_EQ(run("JSON.stringify(bridge.loadAndExecute('missing.js', '', ''))"), Value(R"({"loadError":true})"));
    // With a script extension the text is run, whatever it looks like.
    EXPECT_EQ(run("try { bridge.loadAndExecute('page.js', '', ''); 'ran' } catch (e) { e.name }"), Value("SyntaxError"));
    EXPECT_EQ(run("try { bridge.loadAndExecute('broken.js', '(function () {', '})'); 'ran' } catch (e) { e.name }"), Value("SyntaxError"));
    EXPECT_TRUE(session->logged.empty());
}

TEST_F(JSBridgeTest, LoadedScriptsCarryTheirURLAsSource)
{
    folder.write("thrower.js", "\nthrow new Error('here');");
    startCapturing();
    EXPECT_EQ(run("try { bridge.loadAndExecute('thrower.js', '', ''); } catch (e) { e.sourceURL + ':' + e.line }"),
        Value(folder.url() + "thrower.js:2"));
}

TEST_F(JSBridgeTest, IsJavaScriptChecksExtensionThenMarkup)
{
    EXPECT_FALSE(JSBridge::isJavaScript(std::nullopt, "http://h/a.js"));
    EXPECT_TRUE(JSBridge::isJavaScript("<html>", "http://h/a.JS"));
    EXPECT_TRUE(JSBridge::isJavaScript("<html>", "http://h/a.Json?x=1"));
    EXPECT_FALSE(JSBridge::isJavaScript("<html>", "http://h/a"));
    EXPECT_FALSE(JSBridge::isJavaScript("<html>", "http://h/a.js/b"));
    EXPECT_TRUE(JSBridge::isJavaScript("var a;", "http://h/a"));
    EXPECT_TRUE(JSBridge::isJavaScript("", "http://h/a"));
}

TEST_F(JSBridgeTest, CallbackThatDropsTheBridgeFinishesOnALiveContext)
{
    startCapturing();
    std::weak_ptr<JSBridge> weak = bridge;
    session->onLog = [&](const LogEntry&) { bridge.reset(); }; // a reload in the middle of a callback
    auto self = weak.lock();
    self->execute("console.log('drop'); var after = [1, 2, 3].map(function (x) { return x * 2; }); bridge.create('l1', 'test.Lamp');");
    EXPECT_NE(lamp("l1"), nullptr); // the script went on after the bridge was dropped
    self.reset();
    EXPECT_TRUE(weak.expired());
    loop.runUntilIdle(); // the old context is released here
}

TEST_F(JSBridgeTest, BridgeDroppedInsideNotifyIsReleasedAfterTheCallReturns)
{
    bridge->execute("var morvix = {_start: function (b) { bridge = b; }, _notify: function () { console.log('x'); bridge.get('a', 'b'); }};");
    bridge->start();
    session->onLog = [&](const LogEntry&) { bridge.reset(); };
    std::weak_ptr<JSBridge> weak = bridge;
    weak.lock()->fireEvent("Selection", Value::object(), "w1");
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(session->commands->operations.back(), Value::parse(R"(["get", "a", "b"])"));
    loop.runUntilIdle();
}

} // namespace
