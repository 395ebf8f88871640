// One round trip of a session over loopback: an event sent, POSTed, and a response of a few
// operations read and applied to the session's objects, against a bare libcurl POST of the same
// body to the same server and path. Both sides talk to the same small HTTP server, which this
// program starts on a thread; both keep their connection alive. Times are wall-clock latencies,
// since a round trip spans the main thread, the network thread and the server.

#include "bench/LoopbackServer.h"
#include "bench/RatioReporter.h"
#include "core/objects/BasicObject.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/Notifications.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "core/session/MorvixClient.h"
#include "core/session/MorvixClientDelegate.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/Window.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace morvix;
using namespace std::chrono_literals;
using platform::Value;

namespace {

std::atomic<long> g_applied = 0; // calls of Record.touch applied by the session

// A non-visual object the responses change and call.
class Record : public RemoteClass<Record> {
public:
    static constexpr std::string_view kRemoteType = "bench.Record";

    Record(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
        : RemoteClass(key, std::move(id), std::move(client))
    {
        registerSelector(&Record::touch, "touch");
    }

    static const PropertyTable& properties()
    {
        static const PropertyTable table = PropertyTable::extend<Record>(BasicObject::properties())
                                               .string("text", &Record::m_text)
                                               .number("value", &Record::m_value);
        return table;
    }

    void touch(const Value*) { ++g_applied; }

private:
    std::optional<std::string> m_text;
    std::optional<Value> m_value;
};

// The session GET creates three records; every POST answers the next request counter, two sets
// and a call.
std::string sessionBody()
{
    return R"({"head":{"requestCounter":1},"operations":[)"
           R"(["create","r1","bench.Record",{"text":"one","value":1}],)"
           R"(["create","r2","bench.Record",{"text":"two","value":2}],)"
           R"(["create","r3","bench.Record",{"text":"three","value":3}]]})";
}

std::string messageResponse(long counter)
{
    return R"({"head":{"requestCounter":)" + std::to_string(counter) + R"(},"operations":[)"
           R"(["set","r1",{"text":"selected","value":)" + std::to_string(counter) + R"(}],)"
           R"(["set","r2",{"text":"unselected","value":0}],)"
           R"(["call","r1","touch",{"by":1}]]})";
}

// The counter a message body carries, 0 when none.
long requestCounterOf(const std::string& body)
{
    static constexpr std::string_view kKey = "\"requestCounter\":";
    auto found = body.find(kKey);
    return found == std::string::npos ? 0 : std::atol(body.c_str() + found + kKey.size());
}

bench::LoopbackServer* g_server = nullptr; // made and stopped by main

bench::LoopbackServer& server()
{
    return *g_server;
}

class BenchDelegate final : public MorvixClientDelegate {
public:
    std::string serverURL() override { return server().url("/app/"); }
    void clientDidBecomeReady(MorvixClient&) override { }
};

bool pumpUntil(const std::function<bool()>& done)
{
    return platform::MainLoop::main().runUntil(done, std::chrono::milliseconds(10000));
}

// The session's side: an event fired on the main thread until the response's call has run there
// and the session has no request in flight.
void BM_SessionRoundTrip(benchmark::State& state)
{
    auto window = platform::Window::create({ 0, 0, 320, 568 });
    auto delegate = std::make_shared<BenchDelegate>();
    auto client = MorvixClient::create(window, { MorvixClient::serverBinding() }, MorvixClient::ApplicationFrame::Off);
    client->setDelegate(delegate);
    client->load();
    auto idle = [&] { return !client->notificationsDispatcher()->isProcessing(); };
    if (!pumpUntil([&] { return client->objectRegistry()->objectById("r3") != nullptr && idle(); }))
        state.SkipWithError("the session did not start");
    long index = 0;
    for (auto _ : state) {
        long applied = g_applied.load() + 1;
        Notifications::forObject("r1")->fireEvent("Selection", Value { { "index", index++ } });
        if (!pumpUntil([&] { return g_applied.load() >= applied && idle(); })) {
            state.SkipWithError("a response was not applied");
            break;
        }
    }
    client.reset();
    platform::MainLoop::main().runUntilIdle();
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* target)
{
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// A bare libcurl POST of the session's last body to the path the session posts to.
void BM_BareCurlPost(benchmark::State& state)
{
    auto [path, body] = server().lastPost();
    if (path.empty()) {
        state.SkipWithError("run the session's round trip first");
        return;
    }
    CURL* curl = curl_easy_init();
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json; charset=utf-8");
    headers = curl_slist_append(headers, "Accept: application/json");
    std::string response;
    curl_easy_setopt(curl, CURLOPT_URL, server().url(path).c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
    for (auto _ : state) {
        response.clear();
        long status = 0;
        if (curl_easy_perform(curl) != CURLE_OK || curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK
            || status != 200 || response.empty()) {
            state.SkipWithError("the POST failed");
            break;
        }
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
}

BENCHMARK(BM_SessionRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_BareCurlPost)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    platform::MainLoop::main().bindToCurrentThread();
    WidgetRegistry::instance().addHandler<Record>();
    auto loopback = std::make_unique<bench::LoopbackServer>(
        [](const std::string& method, const std::string&, const std::string& body) {
            return method == "POST" ? messageResponse(requestCounterOf(body) + 1) : sessionBody();
        });
    g_server = loopback.get();
    bench::RatioReporter reporter(bench::RatioReporter::Clock::Real);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    auto session = reporter.times.find("BM_SessionRoundTrip");
    auto bare = reporter.times.find("BM_BareCurlPost");
    if (session != reporter.times.end() && bare != reporter.times.end() && bare->second > 0) {
        std::printf("session round trip: %.0f us; bare libcurl POST: %.0f us\n", session->second, bare->second);
        std::printf("session round trip / bare libcurl POST: %.2fx (target: at most 2x)\n", session->second / bare->second);
    }
    // Every round trip of every run applies one call: with `perf stat`, the count divides the
    // context switches and CPU time of the whole program into per-round-trip figures.
    std::printf("session round trips run: %ld\n", g_applied.load());
    loopback.reset();
    WidgetRegistry::instance().resetForTesting();
    curl_global_cleanup();
    return 0;
}
