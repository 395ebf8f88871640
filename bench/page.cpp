// A page of widgets applied by a session, as a user meets it: N labels placed by bounds and N
// composites placed by attachments (chained to their siblings in tens, some moved into another
// composite, some destroyed), sent by a server in one response over loopback, against the same
// operations applied through the script bridge in one turn of a script session. N is 200 and
// 1,600. Each side runs until the page is applied and laid out; times are wall-clock, since the
// HTTP side spans the main thread, the network thread and the server.

#include "bench/LoopbackServer.h"
#include "bench/RatioReporter.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/Notifications.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "core/protocol/CommandOperator.h"
#include "core/script/JSBinding.h"
#include "core/session/MorvixClient.h"
#include "core/session/MorvixClientDelegate.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/Value.h"
#include "platform/ui/LayoutEngine.h"
#include "platform/ui/Window.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

using namespace morvix;
using platform::Value;

namespace {

constexpr auto kPatience = std::chrono::milliseconds(600000);

// The operations of page `number` with `rows` labels and `rows` composites, in a container of
// its own under the shell "shell", so that one destroy removes the page again.
Value pageOperations(long number, long rows)
{
    std::string prefix = "p" + std::to_string(number) + "_";
    auto id = [&](const char* kind, long index) { return prefix + kind + std::to_string(index); };
    Value operations = Value::array();
    operations.push_back(Value::array({ "create", prefix + "page", "zub.widgets.Composite",
        Value { { "parent", "shell" }, { "bounds", Value::array({ 0, 0, 320, 500 }) } } }));
    for (long index = 0; index < rows; ++index) {
        operations.push_back(Value::array({ "create", id("l", index), "zub.widgets.Label",
            Value { { "parent", prefix + "page" }, { "text", "Row " + std::to_string(index) },
                { "bounds", Value::array({ 10, 20 * index, 300, 20 }) } } }));
    }
    for (long index = 0; index < rows; ++index) {
        Value top = index % 10 == 0 ? Value::array({ 0, 20 * index }) : Value::array({ id("c", index - 1), 4 });
        operations.push_back(Value::array({ "create", id("c", index), "zub.widgets.Composite",
            Value { { "parent", prefix + "page" }, { "background", Value::array({ 200, 200, 255 }) },
                { "layoutData", Value { { "left", 10 }, { "right", 10 }, { "top", top }, { "height", 16 } } } } }));
    }
    // The last of each ten, which no sibling refers to, moves into the first of its ten.
    for (long index = 9; index < rows; index += 10) {
        operations.push_back(Value::array({ "set", id("c", index),
            Value { { "layoutData", Value { { "left", 2 }, { "top", 2 }, { "width", 10 }, { "height", 10 } } },
                { "parent", id("c", index - 9) } } }));
    }
    for (long index = 3; index < rows; index += 7)
        operations.push_back(Value::array({ "destroy", id("l", index) }));
    for (long index = 19; index < rows; index += 20)
        operations.push_back(Value::array({ "destroy", id("c", index) }));
    return operations;
}

// A composite of the page's last ten that is neither moved nor destroyed.
std::string lastCreated(long number, long rows)
{
    return "p" + std::to_string(number) + "_c" + std::to_string(rows - 2);
}

// What opens either session: the display, the shell the pages go into, and a label the HTTP
// side fires its events from.
const Value& openingOperations()
{
    static const Value operations = Value::array({
        Value::array({ "create", "w1", "zub.widgets.Display", Value::object() }),
        Value::array({ "create", "shell", "zub.widgets.Shell",
            Value { { "parent", "w1" }, { "bounds", Value::array({ 0, 0, 320, 548 }) }, { "visibility", true } } }),
        Value::array({ "create", "trigger", "zub.widgets.Label", Value { { "parent", "shell" }, { "text", "-" } } }),
    });
    return operations;
}

// The server's side: the session GET opens the session, each POST is answered with the page
// the benchmark put up for it.
class PageServer {
public:
    PageServer()
        : m_server([this](const std::string& method, const std::string&, const std::string& body) { return respond(method, body); })
    {
    }

    std::string url() const { return m_server.url("/app/"); }
    void putUp(const Value& operations)
    {
        std::string page = operations.dump();
        std::lock_guard lock(m_mutex);
        m_page = std::move(page);
    }

private:
    std::string respond(const std::string& method, const std::string& body)
    {
        long counter = 1;
        if (auto found = body.find("\"requestCounter\":"); found != std::string::npos)
            counter = std::atol(body.c_str() + found + 17) + 1;
        std::string operations = openingOperations().dump();
        if (method == "POST") {
            // The page goes once, to the first request after it was put up: a session's other
            // requests must not lay a page of the run before over the one measured.
            std::lock_guard lock(m_mutex);
            operations = std::exchange(m_page, "[]");
        }
        return R"({"head":{"requestCounter":)" + std::to_string(counter) + R"(},"operations":)" + operations + "}";
    }

    std::mutex m_mutex; // guards m_page
    std::string m_page = "[]";
    bench::LoopbackServer m_server;
};

PageServer* g_server = nullptr; // made and stopped by main

class PageDelegate final : public MorvixClientDelegate {
public:
    explicit PageDelegate(std::string url) : m_url(std::move(url)) { }
    std::string serverURL() override { return m_url; }
    void clientDidBecomeReady(MorvixClient&) override { }

private:
    std::string m_url;
};

bool pumpUntil(const std::function<bool()>& done)
{
    return platform::MainLoop::main().runUntil(done, kPatience);
}

// A script application folder whose main module opens the session; the pages are run into it
// later, one script each.
class ScriptApplication {
public:
    ScriptApplication()
    {
        char pattern[] = "/tmp/morvix-bench-XXXXXX";
        m_folder = ::mkdtemp(pattern);
        write("node_modules/morvix/index.js", "var morvix = window.morvix; morvix.version = '1.0.0'; morvix.trigger = function () {};"
            " window.document = {createElement: function () { return {}; }, head: {appendChild: function () {}}};"
            " morvix._notify = function () {}; module.exports = morvix;");
        write("index.js", "var client = window.morvix._client;\n" + applying(openingOperations()));
    }
    ~ScriptApplication() { std::filesystem::remove_all(m_folder); }
    ScriptApplication(const ScriptApplication&) = delete;
    ScriptApplication& operator=(const ScriptApplication&) = delete;

    std::string url() const { return "file://" + m_folder.string() + "/"; }

    // A script that hands `operations` to the bridge, one call each, as an application's own
    // code would.
    static std::string applying(const Value& operations)
    {
        return "(function (client) { var operations = " + operations.dump() + ";\n"
            "for (var i = 0; i < operations.length; i++) { var o = operations[i];\n"
            "  if (o[0] === 'create') client.create(o[1], o[2], o[3]);\n"
            "  else if (o[0] === 'set') client.set(o[1], o[2]);\n"
            "  else if (o[0] === 'destroy') client.destroy(o[1]); }\n"
            "})(window.morvix._client);\n";
    }

private:
    void write(const std::string& name, const std::string& text)
    {
        auto file = m_folder / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    std::filesystem::path m_folder;
};

// A session on a window of its own, opened and ready for a page. Each page gets a fresh one,
// made and dropped outside the timed part, so that what is timed is the page's own apply and
// layout, not the removal of the last page.
struct PageSession {
    std::shared_ptr<platform::Window> window = platform::Window::create({ 0, 0, 320, 568 });
    std::shared_ptr<PageDelegate> delegate;
    std::shared_ptr<MorvixClient> client;

    PageSession(const std::string& url, BindingFactory binding)
        : delegate(std::make_shared<PageDelegate>(url))
    {
        client = MorvixClient::create(window, { std::move(binding) }, MorvixClient::ApplicationFrame::Off);
        client->setDelegate(delegate);
        client->load();
    }
    ~PageSession()
    {
        client.reset();
        window.reset();
        platform::MainLoop::main().runUntilIdle();
    }
    bool idle() { return !client->notificationsDispatcher()->isProcessing(); }
    bool has(const std::string& id) { return client->objectRegistry()->objectById(id) != nullptr; }
    // Turns the loop until the session has made its opening objects and has nothing in flight.
    bool open() { return pumpUntil([&] { return has("trigger") && idle(); }) && platform::MainLoop::main().runUntilIdle() >= 0; }
};

// Runs `apply` once per iteration on a fresh session that `open` makes, timing only `apply`,
// and reports the layout passes run per page.
// Runs each page once per iteration on a fresh session that `open` makes: `prepare` turns the
// page's operations into what the peer sends (the server's body, the script's text) and `apply`
// has the session apply it; only `apply` is timed. Reports the layout passes run per page.
template<typename Open, typename Prepare, typename Apply>
void measurePages(benchmark::State& state, Open open, Prepare prepare, Apply apply)
{
    std::uint64_t passes = 0;
    long number = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto session = open();
        auto sent = prepare(pageOperations(++number, state.range(0)));
        auto before = platform::LayoutEngine::passesRunForTesting();
        state.ResumeTiming();
        std::string last = lastCreated(number, state.range(0));
        bool done = session && apply(*session, sent, last) && session->has(last);
        state.PauseTiming();
        passes += platform::LayoutEngine::passesRunForTesting() - before;
        session.reset();
        state.ResumeTiming();
        if (!done) {
            state.SkipWithError("the page was not applied");
            break;
        }
    }
    state.counters["passes"] = benchmark::Counter(static_cast<double>(passes), benchmark::Counter::kAvgIterations);
}

// The page as the response of the POST that an event on the page sends.
void BM_PageOverHTTP(benchmark::State& state)
{
    auto open = [] {
        auto session = std::make_unique<PageSession>(g_server->url(), MorvixClient::serverBinding());
        return session->open() ? std::move(session) : nullptr;
    };
    auto prepare = [](const Value& operations) {
        g_server->putUp(operations);
        return 0;
    };
    measurePages(state, open, prepare, [](PageSession& session, int, const std::string& last) {
        Notifications::forObject("trigger")->fireEvent("Selection", Value::object());
        if (!pumpUntil([&] { return session.has(last) && session.idle(); }))
            return false;
        platform::MainLoop::main().runUntilIdle(); // the passes the page's last chunk scheduled
        return true;
    });
}

// The same page run into a script session in one call of its application's code.
void BM_PageFromAScript(benchmark::State& state)
{
    ScriptApplication application;
    auto open = [&application] {
        auto session = std::make_unique<PageSession>(application.url(), JSBinding::factory());
        return session->open() ? std::move(session) : nullptr;
    };
    measurePages(state, open, ScriptApplication::applying, [](PageSession& session, const std::string& script, const std::string&) {
        auto binding = std::dynamic_pointer_cast<JSBinding>(session.client->bindings().at(0));
        binding->execute(script);
        platform::MainLoop::main().runUntilIdle();
        return true;
    });
}

BENCHMARK(BM_PageOverHTTP)->Arg(200)->Arg(1600)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PageFromAScript)->Arg(200)->Arg(1600)->Unit(benchmark::kMillisecond)->UseRealTime();

void printRatio(const bench::RatioReporter& reporter, const char* label, const std::string& over, const std::string& under,
    const char* note)
{
    auto top = reporter.time(over);
    auto bottom = reporter.time(under);
    if (top && bottom)
        std::printf("%s: %.2fx  (%s)\n", label, *top / *bottom, note);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    platform::MainLoop::main().bindToCurrentThread();
    registerRemoteTypes();
    auto server = std::make_unique<PageServer>();
    g_server = server.get();
    bench::RatioReporter reporter(bench::RatioReporter::Clock::Real);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const char* http = "page over HTTP / page from a script";
    printRatio(reporter, http, "BM_PageOverHTTP/200", "BM_PageFromAScript/200", "200 rows; goal: at most 1.5x");
    printRatio(reporter, http, "BM_PageOverHTTP/1600", "BM_PageFromAScript/1600", "1,600 rows; goal: at most 1.5x");
    printRatio(reporter, "1,600 rows / 200 rows", "BM_PageOverHTTP/1600", "BM_PageOverHTTP/200",
        "over HTTP; goal: at most 10x, linear is 8x");
    printRatio(reporter, "1,600 rows / 200 rows", "BM_PageFromAScript/1600", "BM_PageFromAScript/200", "from a script");
    server.reset();
    WidgetRegistry::instance().resetForTesting();
    curl_global_cleanup();
    return 0;
}
