// The command-line client, run as a program against a scripted server.

#include "platform/foundation/Value.h"
#include "tests/core/script/JSTestSupport.h"
#include "tests/support/SourceTree.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef MORVIX_RUN_PATH

namespace morvix::testing {
namespace {

struct Run {
    int status = -1;
    std::string output;
};

// `prefix` goes before the program, such as a command that interrupts it.
Run run(const std::string& arguments, const std::string& prefix = "")
{
    Run result;
    // The safety net kills a run that never ends, so that such a fault fails instead of hanging.
    std::string command = "timeout -s KILL 120 " + prefix + std::string(MORVIX_RUN_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, read);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::filesystem::path helloSample()
{
    return testing::sourceRoot() / "examples" / "hello";
}

// A script application in a temporary folder: the hello sample's script library and a main
// module "main.js".
class ScriptApp {
public:
    explicit ScriptApp(const std::string& main)
    {
        std::filesystem::copy(helloSample() / "node_modules", folder.path() / "node_modules", std::filesystem::copy_options::recursive);
        folder.write("package.json", R"({"main": "main.js"})");
        folder.write("main.js", main);
    }
    ScriptFolder folder;
};

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(MorvixRunTest, RunsASessionLogsTrafficAndTerminates)
{
    TestHttpServer server;
    server.handle("*", [](const RecordedRequest& request, ResponseWriter& writer) {
        writer.respond(200, request.method == "GET" ? R"({"head":{"requestCounter":1},"operations":[]})" : R"({"head":{},"operations":[]})");
    });
    server.start();
    auto result = run("--server " + server.url("/app") + " --log-traffic --tree --terminate --idle-ms 100 --seconds 20");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("> GET " + server.url("/app")), std::string::npos) << result.output;
    EXPECT_NE(result.output.find(R"({"head":{"requestCounter":1},"operations":[]})"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("(the object tree is empty)"), std::string::npos) << result.output;
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(platform::valuesEqual(platform::Value::parse(requests[1].body), platform::Value::parse(R"({"head":{"requestCounter":1,"shutdown":true},"operations":[]})")))
        << requests[1].body;
}

TEST(MorvixRunTest, ErrorReachingTheHandlerIsPrintedAndEndsWithStatusTwo)
{
    TestHttpServer server;
    server.route("*", TestResponse().withHeader("com.zerivoquastel.morvix.server.id", "stranger").withBody(R"({"head":{},"operations":[]})"));
    server.start();
    auto result = run("--server " + server.url("/") + " --idle-ms 100 --seconds 20");
    EXPECT_EQ(result.status, 2) << result.output;
    EXPECT_NE(result.output.find("domain=com.zerivoquastel.morvix code=417 title=\"Unauthorized Access\""), std::string::npos)
        << result.output;
}

TEST(MorvixRunTest, ScriptApplicationThatCannotStartEndsWithStatusFour)
{
    struct Case {
        const char* name;
        const char* main;
        const char* packageFile; // nullptr: the default one
        const char* logged;
    };
    const Case cases[] = {
        { "throws", "throw new Error('broken on purpose');", nullptr, "[error] Could not load main module: main.js:1:16: Error: broken on purpose" },
        { "syntax", "var = ;", nullptr, "[error] Could not load main module: Error: Could not parse main.js:1:5: SyntaxError" },
        { "package", "", "{\"main\": ", "[error] Could not load main module: Error: Could not parse ./package.json" },
    };
    for (const Case& failure : cases) {
        SCOPED_TRACE(failure.name);
        ScriptApp app(failure.main);
        if (failure.packageFile)
            app.folder.write("package.json", failure.packageFile);
        auto result = run("--script " + app.folder.path().string() + " --idle-ms 100 --seconds 20");
        EXPECT_EQ(result.status, 4) << result.output;
        EXPECT_TRUE(contains(result.output, failure.logged)) << result.output;
        EXPECT_TRUE(contains(result.output, "morvix-run: the script application could not start")) << result.output;
        // Stack frames that name no place (the boot script's own: "@", "runMain@") are left out.
        EXPECT_FALSE(contains(result.output, "@\n")) << result.output;
    }
}

// --tree alone ends once the session is idle, as --png does; a failed operation is printed
// once, on standard error, where the system log writes it.
TEST(MorvixRunTest, TreeAloneEndsAndAFailedOperationIsPrintedOnce)
{
    ScriptApp app("var client = window.morvix._client;\n"
                  "client.create('w1', 'zub.widgets.Display', {});\n"
                  "client.create('w2', 'zub.widgets.Label', {parent: 'w1', foreground: 'red'});\n");
    auto result = run("--script " + app.folder.path().string() + " --tree 2>/dev/null #");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "w1 zub.widgets.Display -")) << result.output;
    EXPECT_FALSE(contains(result.output, "catching")) << "not on standard output: " << result.output;
    result = run("--script " + app.folder.path().string() + " --tree");
    auto first = result.output.find("catching 'Incorrect Parameter'");
    ASSERT_NE(first, std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("catching", first + 1), std::string::npos) << result.output;
}

TEST(MorvixRunTest, ScriptThatNeverReturnsIsStoppedAfterTheTimeLimitWithWhatItLogged)
{
    ScriptApp app("console.log('about to spin'); while (true) {}");
    auto result = run("--script " + app.folder.path().string() + " --seconds 0.5");
    EXPECT_EQ(result.status, 3) << result.output;
    EXPECT_TRUE(contains(result.output, "[log] about to spin")) << result.output;
    EXPECT_TRUE(contains(result.output, "morvix-run: the session did not come back after the time limit")) << result.output;
}

TEST(MorvixRunTest, TimeLimitEndingARunWithARequestInFlightIsAFailure)
{
    TestGate never;
    TestHttpServer server;
    server.handle("*", [&](const RecordedRequest&, ResponseWriter& writer) { writer.waitFor(never); });
    server.start();
    auto result = run("--server " + server.url("/app") + " --idle-ms 100 --seconds 0.5");
    EXPECT_EQ(result.status, 5) << result.output;
    EXPECT_TRUE(contains(result.output, "morvix-run: the time limit ended the run with a request still in flight")) << result.output;
}

TEST(MorvixRunTest, PngAloneWaitsForTheSessionToBeIdleThenWritesThePicture)
{
    ScriptFolder output;
    auto picture = output.path() / "window.png";
    auto result = run("--script " + helloSample().string() + " --log-traffic --png " + picture.string());
    EXPECT_EQ(result.status, 0) << result.output;
    // The program's own bundle identifier, the scheme x-callback answers come back through.
    EXPECT_TRUE(contains(result.output, R"("id":"com.zerivoquastel.morvix.run")")) << result.output;
    std::ifstream file(picture, std::ios::binary);
    std::string signature(8, '\0');
    file.read(signature.data(), 8);
    EXPECT_EQ(signature, "\x89PNG\r\n\x1a\n");
}

TEST(MorvixRunTest, UsageErrorsSayWhatTheOptionExpects)
{
    auto result = run("--server http://127.0.0.1:1/ --bogus");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("usage: morvix-run"), std::string::npos);
    for (const char* seconds : { "-1", "inf", "nan", "1e300" }) {
        result = run("--server http://127.0.0.1:1/ --seconds " + std::string(seconds));
        EXPECT_EQ(result.status, 1) << seconds;
        EXPECT_TRUE(contains(result.output, "--seconds expects a number of seconds from 0 to 100000000 (decimals allowed), got \"" +
                                                std::string(seconds) + "\""))
            << result.output;
    }
    result = run("--server http://127.0.0.1:1/ --location 47,200");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(result.output, "--location expects LAT,LON in degrees, the longitude from -180 to 180, got \"200\""))
        << result.output;
}

// What was asked is written or reported: a picture that cannot be written fails the run, and an
// interrupt ends a run that has no limit of its own after writing the picture and the tree; a
// second one stops it.
TEST(MorvixRunTest, OutputsAreWrittenOnInterruptAndAFailedPictureFailsTheRun)
{
    ScriptFolder output;
    auto result = run("--script " + helloSample().string() + " --png " + (output.path() / "missing" / "window.png").string());
    EXPECT_EQ(result.status, 6) << result.output;
    EXPECT_TRUE(contains(result.output, "morvix-run: could not write")) << result.output;

    auto picture = output.path() / "window.png";
    // The interrupt comes once the script has logged its greeting: sent earlier, it could reach
    // a program still loading its libraries, before it can catch it (seconds, under a sanitizer
    // on a busy machine). It is sent to the safety net's `timeout`, which hands it on twice: to
    // the program and to its process group.
    auto log = output.path() / "run.log";
    result = run("--script " + helloSample().string() + " --tree --idle-ms 600000 --png " + picture.string() + " > " +
            log.string() + " 2>&1 & pid=$!; for i in $(seq 1200); do grep -q 'Hello from the script peer' " + log.string() +
            " && break; sleep 0.1; done; kill -INT $pid; wait $pid; status=$?; cat " + log.string() + "; exit $status #");
    EXPECT_EQ(result.status, 7) << result.output;
    EXPECT_TRUE(contains(result.output, "zub.widgets.Display") || contains(result.output, "(the object tree is empty)"))
        << result.output;
    EXPECT_TRUE(contains(result.output, "morvix-run: interrupted")) << result.output;
    EXPECT_TRUE(std::filesystem::is_regular_file(picture));
    EXPECT_GT(std::filesystem::file_size(picture), 1000u);

    // A script that never returns cannot notice the first interrupt; a second one, a while later,
    // stops the program. It goes to the program itself, whose process id a shell writes down before
    // it becomes the program: `timeout` answers a second signal with KILL.
    ScriptApp spinning("console.log('spinning');\nwhile (true) {}\n");
    log = output.path() / "spin.log";
    auto pidFile = output.path() / "spin.pid";
    result = run("--script " + spinning.folder.path().string() + " --idle-ms 600000 > " + log.string() +
                    " 2>&1 & pid=$!; for i in $(seq 1200); do grep -q spinning " + log.string() +
                    " && break; sleep 0.1; done; kill -INT $pid; sleep 2; kill -INT $(cat " + pidFile.string() +
                    "); wait $pid; status=$?; cat " + log.string() + "; exit $status #",
            "sh -c 'echo $$ > " + pidFile.string() + "; exec \"$0\" \"$@\"' ");
    EXPECT_EQ(result.status, 128 + SIGINT) << result.output;
    EXPECT_TRUE(contains(result.output, "spinning")) << result.output;
    EXPECT_FALSE(contains(result.output, "morvix-run: interrupted")) << result.output;
}

// Each peer has a client store of its own (the demo must not be handed the gallery's), kept
// across runs; --documents names another folder.
TEST(MorvixRunTest, EachPeerKeepsItsOwnDocumentsUnlessToldOtherwise)
{
    ScriptFolder home;
    auto data = home.path() / "data";
    std::string environment = "env HOME=" + home.path().string() + " XDG_DATA_HOME=" + data.string() + " ";
    // Says what the store held, then leaves the application's name in it.
    auto remembering = [](const std::string& name) {
        return "var client = window.morvix._client;\n"
               "console.log('found ' + client.call('morvix.ClientStore', 'get', {key: 'who'}));\n"
               "client.call('morvix.ClientStore', 'add', {key: 'who', value: '" + name + "'});\n";
    };
    ScriptApp first(remembering("first"));
    ScriptApp second(remembering("second"));
    auto runApp = [&](const ScriptApp& app, const std::string& options = "") {
        return run("--script " + app.folder.path().string() + " --idle-ms 100 --seconds 20" + options, environment);
    };
    auto result = runApp(first);
    EXPECT_TRUE(contains(result.output, "[log] found undefined")) << result.output;
    result = runApp(first);
    EXPECT_TRUE(contains(result.output, "[log] found first")) << result.output;
    result = runApp(second);
    EXPECT_TRUE(contains(result.output, "[log] found undefined")) << result.output;

    // One folder per peer, named after it, under the program's own support folder.
    std::vector<std::string> folders;
    for (const auto& entry : std::filesystem::directory_iterator(data / "com.zerivoquastel.morvix.run" / "Documents")) {
        folders.push_back(entry.path().filename().string());
        EXPECT_TRUE(std::filesystem::is_regular_file(entry.path() / "morvix.ClientStore")) << entry.path();
    }
    std::sort(folders.begin(), folders.end());
    ASSERT_EQ(folders.size(), 2u);
    for (const ScriptApp* app : { &first, &second }) {
        std::string name = app->folder.path().filename().string() + "-";
        EXPECT_EQ(std::count_if(folders.begin(), folders.end(), [&](const std::string& folder) { return folder.rfind(name, 0) == 0; }), 1)
            << name;
    }
    EXPECT_FALSE(std::filesystem::exists(home.path() / "Documents"));

    // --documents: the folder named, made when missing.
    auto chosen = home.path() / "chosen" / "docs";
    result = runApp(second, " --documents " + chosen.string());
    EXPECT_TRUE(contains(result.output, "[log] found undefined")) << result.output;
    EXPECT_TRUE(std::filesystem::is_regular_file(chosen / "morvix.ClientStore"));
    result = runApp(first, " --documents " + chosen.string());
    EXPECT_TRUE(contains(result.output, "[log] found second")) << result.output;

    result = run("--help");
    EXPECT_TRUE(contains(result.output, "--documents DIR")) << result.output;
    EXPECT_TRUE(contains(result.output, "one folder per peer")) << result.output;
}


// A server flooding the session with operations does not keep an interrupt from being heard: the
// run ends in order, with the tree it was asked for, while the flood goes on.
TEST(MorvixRunTest, AnInterruptIsHeardWhileAFloodOfOperationsApplies)
{
    ScriptFolder output;
    auto flooding = output.path() / "flooding";
    TestHttpServer server;
    server.handle("*", [&](const RecordedRequest& request, ResponseWriter& writer) {
        if (request.method != "GET")
            return (void)writer.respond(200, R"({"head":{},"operations":[]})");
        std::string page = R"({"head":{"requestCounter":1},"operations":[["create","w1","zub.widgets.Display",{}],)"
                           R"(["create","w2","zub.widgets.Shell",{"parent":"w1","bounds":[0,0,320,548],"visibility":true}])";
        for (int index = 0; index < 1000; ++index) {
            page += R"(,["create","l)" + std::to_string(index) + R"(","zub.widgets.Label",{"parent":"w2","bounds":[0,)" +
                std::to_string(20 * index) + ",300,20]}]";
        }
        if (!writer.writeHead(200, { { "Content-Type", "application/json" }, { "Transfer-Encoding", "chunked" } }) || !writer.writeChunk(page))
            return;
        std::ofstream(flooding) << "on";
        // Text changes for every label, for as long as the client reads.
        for (long round = 0; !writer.isStopping(); ++round) {
            std::string sets;
            for (int index = 0; index < 1000; ++index)
                sets += R"(,["set","l)" + std::to_string(index) + R"(",{"text":")" + std::to_string(round) + R"("}])";
            if (!writer.writeChunk(sets))
                return;
        }
    });
    server.start();
    auto log = output.path() / "flood.log";
    auto result = run("--server " + server.url("/app") + " --tree --idle-ms 600000 > " + log.string() +
        " 2>&1 & pid=$!; for i in $(seq 1200); do [ -e " + flooding.string() + " ] && break; sleep 0.1; done; sleep 1; "
        "kill -TERM $pid; wait $pid; status=$?; cat " + log.string() + "; exit $status #");
    EXPECT_EQ(result.status, 7) << result.output;
    // How much of the page applied before the signal depends on the build's speed; the tree
    // lists what did.
    EXPECT_TRUE(contains(result.output, "l0 zub.widgets.Label w2")) << result.output;
    EXPECT_TRUE(contains(result.output, "morvix-run: interrupted")) << result.output;
    server.stop();
}

} // namespace
} // namespace morvix::testing

#endif
