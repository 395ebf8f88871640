#include "core/script/BootScript.h"

#include "core/script/JSBridge.h"
#include "tests/core/script/JSTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace morvix;
using namespace morvix::testing;
using platform::Value;

namespace {

// A "morvix" script library that records what the boot script does with it.
std::string library(const std::string& version, const std::string& extra = "")
{
    return R"(
        var morvix = window.morvix;
        morvix.version = ")" + version + R"(";
        morvix.triggered = [];
        morvix.trigger = function (event) { morvix.triggered.push(event); };
        morvix.clientAtLoad = morvix._client;
        window.document = {
            createElement: function (tag) { return {tag: tag}; },
            head: {appendChild: function (element) { morvix.scripts = [element.tag, element.src]; }}
        };
        )" + extra + R"(
        module.exports = morvix;)";
}

class JSBootScriptTest : public ScriptTest {
protected:
    void boot()
    {
        bridge->execute(builtInBootScript());
        bridge->start();
    }
};

TEST_F(JSBootScriptTest, IsASCII)
{
    auto script = builtInBootScript();
    EXPECT_TRUE(std::all_of(script.begin(), script.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
}

TEST_F(JSBootScriptTest, RootLooksForTheLibraryOnlyInItsOwnNodeModules)
{
    boot();
    EXPECT_EQ(session->resolved, (std::vector<std::string> {
        "./node_modules/morvix", "./node_modules/morvix.js", "./node_modules/morvix.json",
        "./node_modules/morvix/package.json", "./node_modules/morvix/index.js", "./node_modules/morvix/index.json",
    }));
    // Alone: the boot script's own stack frames name no place and are left out.
    ASSERT_EQ(session->logged.size(), 1u);
    EXPECT_EQ(session->logged[0], LogEntry("Could not load morvix module: Error: Cannot find module 'morvix'", LogEntry::Type::Error));
}

TEST_F(JSBootScriptTest, MainModuleIsTheRootDirectory)
{
    folder.write("node_modules/morvix/index.js", library("1.0.0"));
    folder.write("package.json", R"({"main": "app"})");
    folder.write("app.js", "started = true;");
    boot();
    std::vector<std::string> afterLibrary(session->resolved.begin() + 5, session->resolved.end());
    EXPECT_EQ(afterLibrary, (std::vector<std::string> { "./package.json", "./app" , "./app.js" }));
    EXPECT_EQ(run("started"), Value(true));
    EXPECT_TRUE(session->logged.empty());
}

TEST_F(JSBootScriptTest, StartSequenceUsesTheLibrary)
{
    folder.write("node_modules/morvix/index.js", library("1.0.0", R"(
        morvix._init = function (client) { morvix.initClient = client; morvix.initTriggered = morvix.triggered.length; };
        morvix._client = "replaced by the library";)"));
    folder.write("index.js", "window.morvix.mainTriggered = window.morvix.triggered.length;");
    boot();
    EXPECT_EQ(run("morvix.clientAtLoad === morvix._client && morvix.initClient === morvix._client && typeof morvix._client.create"), Value("function"));
    EXPECT_EQ(run("JSON.stringify([morvix.initTriggered, morvix.mainTriggered, morvix.triggered, morvix.scripts])"),
        Value(R"([0,0,["flush","flush"],["script","./cordova.js"]])"));
    EXPECT_EQ(run("global === window && self === window"), Value(true));
    EXPECT_TRUE(session->logged.empty());
}

TEST_F(JSBootScriptTest, EntryPointRunsTheMainModuleWhenItChooses)
{
    folder.write("node_modules/morvix/index.js", library("1.0.0", R"(
        morvix._entryPoint = function (runMain) { morvix.order = ['entry']; runMain(); morvix.order.push('after'); };)"));
    folder.write("index.js", "window.morvix.order.push('main');");
    boot();
    EXPECT_EQ(run("JSON.stringify([morvix.order, morvix.triggered, '_entryPoint' in morvix])"),
        Value(R"([["entry","main","after"],["flush","flush"],false])"));
}

TEST_F(JSBootScriptTest, DefinedModulesAreFoundByName)
{
    folder.write("node_modules/morvix/index.js", library("1.0.0", R"(
        morvix._init = function () { morvix._defineModule('greeting', function (module, exports) { exports.text = 'hello'; }); };)"));
    folder.write("index.js", "greeting = require('greeting').text;");
    boot();
    EXPECT_EQ(run("greeting"), Value("hello"));
}

TEST_F(JSBootScriptTest, NotifyReachesTheLibrarysHandlerInstalledLater)
{
    folder.write("node_modules/morvix/index.js", library("1.0.0", R"(
        morvix.heard = [];
        morvix._notify = function (id, event, attributes) { morvix.heard.push([id, event, attributes.x]); };)"));
    NotificationCounter finished(std::string(JSBridge::kProcessingFinished));
    bridge->execute(builtInBootScript());
    bridge->fireEvent("Early", Value::object(), "w0"); // before the library: nowhere, and no endless loop
    bridge->start();
    bridge->fireEvent("Selection", Value::parse(R"({"x": 4})"), "w1");
    EXPECT_EQ(finished.count, 4);
    EXPECT_EQ(run("JSON.stringify(morvix.heard)"), Value(R"([["w1","Selection",4]])"));
}

TEST_F(JSBootScriptTest, ModuleArgumentsAndCache)
{
    folder.write("node_modules/morvix/index.js", library("1.0.0"));
    folder.write("index.js", R"(
        var a = require('./lib/a');
        names = [__filename, __dirname, a.file, a.dir, module.id, require('./lib/a.js') === a, require('./lib/a') === a];)");
    folder.write("lib/a.js", "exports.file = __filename; exports.dir = __dirname;");
    boot();
    EXPECT_EQ(run("JSON.stringify(names)"), Value(R"(["/index.js","","/lib/a.js","/lib","./index.js",true,true])"));
}

TEST_F(JSBootScriptTest, MissesAreCachedAndClimbingAboveTheStartIsNotFound)
{
    folder.write("app/node_modules/morvix/index.js", library("1.0.0"));
    folder.write("app/index.js", R"(
        outcomes = ['./nothing', './nothing', '../outside', './a/../../b', './%2e%2e/outside', './..%2foutside',
                    '%2e%2e/outside', './%252e%252e/outside', './a%2f..%2f..%2foutside', './%zz'].map(function (name) {
            try { require(name); return 'found'; } catch (e) { return e.message; }
        });)");
    folder.write("outside.js", "");
    session->serverURLText = folder.url() + "app/";
    boot();
    auto outcomes = run("outcomes");
    ASSERT_TRUE(outcomes.is_array()) << outcomes;
    for (const auto& outcome : outcomes)
        EXPECT_EQ(outcome.get<std::string>().rfind("Cannot find module '", 0), 0u) << outcome;
    EXPECT_EQ(std::count(session->resolved.begin(), session->resolved.end(), "./nothing.js"), 1);
}

TEST_F(JSBootScriptTest, ModuleNamesAreDecodedOnceAndReachTheFileTheyName)
{
    folder.write("node_modules/morvix/index.js", library("1.0.0"));
    folder.write("index.js", R"(
        found = [require('./a%20b').name, require('./a b').name, require('./100%25').name, require('./q%3Fx').name,
                 require('./pkg').name, require('./%252e%252e/x').name, require('./a%20b') === require('./a b')];)");
    folder.write("a b.js", "exports.name = __filename;");
    folder.write("100%.js", "exports.name = __filename;");
    folder.write("q?x.js", "exports.name = __filename;");
    folder.write("pkg/package.json", R"({"main": "main%20file"})");
    folder.write("pkg/main file.js", "exports.name = __filename;");
    folder.write("%2e%2e/x.js", "exports.name = __filename;"); // a folder whose name only looks escaped
    boot();
    EXPECT_EQ(run("JSON.stringify(found)"),
        Value(R"(["/a b.js","/a b.js","/100%.js","/q?x.js","/pkg/main file.js","/%2e%2e/x.js",true])"));
}

TEST_F(JSBootScriptTest, ParseFailuresNameThePath)
{
    folder.write("node_modules/morvix/index.js", library("1.0.0"));
    folder.write("index.js", R"(
        outcomes = ['./bad.json', './bad'].map(function (name) {
            try { require(name); return 'found'; } catch (e) { return e.message; }
        });)");
    folder.write("bad.json", "{nope");
    folder.write("bad.js", "var = ;");
    boot();
    auto outcomes = run("outcomes");
    ASSERT_TRUE(outcomes.is_array());
    EXPECT_EQ(outcomes[0], Value("Could not parse ./bad.json"));
    // The module, line and column lead the engine's text.
    EXPECT_EQ(outcomes[1].get<std::string>().rfind("Could not parse bad.js:1:5: SyntaxError: ", 0), 0u) << outcomes[1];
}

TEST_F(JSBootScriptTest, MainModuleFailureIsLogged)
{
    folder.write("node_modules/morvix/index.js", library("1.0.0"));
    boot();
    ASSERT_EQ(session->logged.size(), 1u);
    EXPECT_EQ(session->logged[0], LogEntry("Could not load main module: Error: Cannot find module './'", LogEntry::Type::Error));
    EXPECT_EQ(run("JSON.stringify(morvix.triggered)"), Value(R"(["flush"])"));
}

struct VersionCase {
    const char* native;
    const char* module;
    const char* expected; // "" for no log
};

TEST_F(JSBootScriptTest, VersionsAreComparedPartByPart)
{
    const VersionCase cases[] = {
        { "1.9.0", "1.10.0", "W:newer" },
        { "1.10.0", "1.9.0", "" },
        { "1.2.3", "1.2.3", "" },
        { "1.2.3", "1.2.4", "W:newer" },
        { "1.2.3", "1.3.0", "W:newer" },
        { "1.2.3", "1.1.9", "" },
        { "2.0.0", "1.0.0", "E:incompatible" },
        { "1.0.0", "10.0.0", "E:incompatible" },
        { "1.2.a", "1.2.b", "W:newer" },
    };
    for (const auto& versionCase : cases) {
        SCOPED_TRACE(std::string(versionCase.native) + " / " + versionCase.module);
        ScriptFolder app;
        app.write("node_modules/morvix/index.js", library(versionCase.module));
        app.write("index.js", "");
        session->serverURLText = app.url();
        session->logged.clear();
        FakeApp::s_version = versionCase.native;
        session->registry->reset();
        bridge = JSBridge::create(session->commands, session);
        boot();
        std::string expected = versionCase.expected;
        if (expected.empty()) {
            EXPECT_TRUE(session->logged.empty()) << session->messages().front();
            continue;
        }
        ASSERT_EQ(session->logged.size(), 1u);
        std::string start = std::string("Version mismatch: JavaScript module \"morvix\" (version ") + versionCase.module + ") ";
        std::string range = std::string("Supported module versions: ") + versionCase.native[0] + ".0.0 to " + versionCase.native + ".";
        if (expected == "W:newer")
            EXPECT_EQ(session->logged[0], LogEntry(start + "is newer than the native morvix platform. " + range, LogEntry::Type::Warning));
        else
            EXPECT_EQ(session->logged[0], LogEntry(start + "is incompatible with this native morvix platform. " + range, LogEntry::Type::Error));
    }
}

// Runs Node.js on the fixture tree and returns what it printed; nothing without Node.
std::optional<std::string> nodeResolution(const std::filesystem::path& probe)
{
    if (!std::filesystem::exists("/usr/bin/node"))
        return std::nullopt;
    std::string command = "/usr/bin/node -e 'process.stdout.write(JSON.stringify(require(process.argv[1])))' '" + probe.string() + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string output;
    char buffer[4096];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, read);
    return ::pclose(pipe) == 0 ? std::optional<std::string>(output) : std::nullopt;
}

TEST_F(JSBootScriptTest, ResolvesModulesAsNodeDoes)
{
    auto tree = scriptFixtures() / "resolve";
    session->serverURLText = "file://" + tree.string() + "/";
    boot();
    auto ours = run("probeResults");
    ASSERT_TRUE(ours.is_object()) << ours;
    EXPECT_EQ(ours["./pkg"], Value("app/pkg/lib/entry.js"));
    EXPECT_EQ(ours["lib-a"], Value("app/node_modules/lib-a/index.js > node_modules/lib-c/index.js > app/node_modules/lib-d/index.js"));
    auto node = nodeResolution(tree / "app" / "probe.js");
    if (!node)
        GTEST_SKIP() << "Node.js is not installed";
    EXPECT_EQ(ours, Value::parse(*node));
}

} // namespace
