// Outgoing messages: a burst of property changes and events queued, merged and written as one
// request body, against the JSON generator writing the already-merged body on its own.

#include "bench/RatioReporter.h"
#include "core/outgoing/Notifications.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "core/outgoing/ServerBinding.h"
#include "core/outgoing/ServerMessage.h"

#include <benchmark/benchmark.h>
#include <yajl/yajl_gen.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

using namespace morvix;
using platform::Value;

namespace {

constexpr int kOperations = 10000;
constexpr int kObjects = 500;

// Keeps the last body; busy until the benchmark ends the burst.
class BenchTransport final : public ServerTransport {
public:
    void newSession(const std::string&) override { }
    void sendMessage(ServerMessage message) override
    {
        body = message.serialize();
        if (keepDocument)
            document = message.json();
        inFlight = true;
    }
    bool busy() override { return inFlight; }
    void queueFlushed() override { }
    void suspend() override { }
    void resume() override { }
    void retry() override { }
    void sendShutdown() override { }
    void destroy() override { }
    bool wasActive() override { return true; }
    void setRequestCounter(std::int64_t) override { }

    bool inFlight = false;
    bool keepDocument = false;
    std::string body;
    Value document;
};

const std::vector<std::string>& objectIds()
{
    static const std::vector<std::string> ids = [] {
        std::vector<std::string> result;
        for (int i = 0; i < kObjects; ++i)
            result.push_back("w" + std::to_string(i));
        return result;
    }();
    return ids;
}

// Each object in turn gets three property changes (stored) and an event (sent), while a request
// is in flight, so everything is merged into the next body.
void produceBurst()
{
    const auto& ids = objectIds();
    for (int i = 0; i < kOperations; ++i) {
        const std::string& id = ids[(i / 4) % kObjects];
        auto message = Notifications::forObject(id);
        switch (i % 4) {
        case 0:
            message->attributeChanged(i * 0.25, "value").store();
            break;
        case 1:
            message->attributeChanged("text " + std::to_string(i), "text").store();
            break;
        case 2:
            message->attributeChanged(Value::array({ i % 320, i % 568, 100, 40 }), "bounds").store();
            break;
        default:
            message->fireEvent("Selection", Value { { "index", i / 2000 } });
            break;
        }
    }
}

struct Session {
    Session()
    {
        platform::NotificationCenter::resetDefaultForTesting();
        dispatcher = NotificationsDispatcher::create(platform::NotificationCenter::defaultCenter());
        binding = ServerBinding::create({}, [this](const std::weak_ptr<MorvixClient>&) { return transport; }, {});
        dispatcher->addBinding(binding);
        dispatcher->start();
    }

    std::shared_ptr<BenchTransport> transport = std::make_shared<BenchTransport>();
    std::shared_ptr<NotificationsDispatcher> dispatcher;
    std::shared_ptr<ServerBinding> binding;
};

void BM_QueueMergeAndWrite(benchmark::State& state)
{
    Session session;
    for (auto _ : state) {
        session.transport->inFlight = true;
        produceBurst();
        session.transport->inFlight = false;
        session.binding->flush();
        benchmark::DoNotOptimize(session.transport->body.data());
    }
    state.counters["bodyBytes"] = static_cast<double>(session.transport->body.size());
}
BENCHMARK(BM_QueueMergeAndWrite)->Unit(benchmark::kMillisecond);

// Only making and handing on the burst's messages, with no binding to take them: what the
// objects' side costs before the binding does anything.
void BM_MessagesWithoutBinding(benchmark::State& state)
{
    platform::NotificationCenter::resetDefaultForTesting();
    for (auto _ : state)
        produceBurst();
}
BENCHMARK(BM_MessagesWithoutBinding)->Unit(benchmark::kMillisecond);

// The merge rules alone, on the arrays the burst produces.
void BM_MergePerQueuedOperation(benchmark::State& state)
{
    std::vector<std::vector<WireOperation>> blocks;
    const auto& ids = objectIds();
    for (int i = 0; i < kOperations; ++i) {
        const std::string& id = ids[(i / 4) % kObjects];
        std::vector<WireOperation> block;
        if (i % 4 == 3)
            block.push_back(WireOperation::fromArray(Value::array({ "notify", id, "Selection", Value { { "index", i / 2000 } } })));
        else
            block.push_back(WireOperation::fromArray(Value::array({ "set", id, Value { { "p" + std::to_string(i % 4), i } } })));
        blocks.push_back(std::move(block));
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto copies = blocks;
        std::vector<WireOperation> queue;
        state.ResumeTiming();
        for (auto& block : copies)
            ServerBinding::resolveInto(std::move(block), queue);
        benchmark::DoNotOptimize(queue.data());
    }
    state.counters["perOperation"] = benchmark::Counter(kOperations,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MergePerQueuedOperation)->Unit(benchmark::kMillisecond);

void generate(yajl_gen generator, const Value& value)
{
    switch (value.type()) {
    case Value::value_t::object:
        yajl_gen_map_open(generator);
        for (const auto& [key, member] : value.items()) {
            yajl_gen_string(generator, reinterpret_cast<const unsigned char*>(key.data()), key.size());
            generate(generator, member);
        }
        yajl_gen_map_close(generator);
        return;
    case Value::value_t::array:
        yajl_gen_array_open(generator);
        for (const auto& element : value)
            generate(generator, element);
        yajl_gen_array_close(generator);
        return;
    case Value::value_t::string: {
        const auto& text = value.get_ref<const std::string&>();
        yajl_gen_string(generator, reinterpret_cast<const unsigned char*>(text.data()), text.size());
        return;
    }
    case Value::value_t::boolean:
        yajl_gen_bool(generator, value.get<bool>());
        return;
    case Value::value_t::number_integer:
    case Value::value_t::number_unsigned:
        yajl_gen_integer(generator, value.get<long long>());
        return;
    case Value::value_t::number_float:
        yajl_gen_double(generator, value.get<double>());
        return;
    case Value::value_t::null:
    case Value::value_t::binary:
    case Value::value_t::discarded:
        yajl_gen_null(generator);
        return;
    }
}

// The generator alone writing the body the burst merges into.
void BM_GeneratorWritesMergedBody(benchmark::State& state)
{
    Value document;
    {
        Session session;
        session.transport->keepDocument = true;
        session.transport->inFlight = true;
        produceBurst();
        session.transport->inFlight = false;
        session.binding->flush();
        document = session.transport->document;
    }
    for (auto _ : state) {
        yajl_gen generator = yajl_gen_alloc(nullptr);
        generate(generator, document);
        const unsigned char* buffer = nullptr;
        size_t length = 0;
        yajl_gen_get_buf(generator, &buffer, &length);
        benchmark::DoNotOptimize(buffer);
        yajl_gen_free(generator);
    }
}
BENCHMARK(BM_GeneratorWritesMergedBody)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    auto pipeline = reporter.times.find("BM_QueueMergeAndWrite");
    auto generator = reporter.times.find("BM_GeneratorWritesMergedBody");
    if (pipeline != reporter.times.end() && generator != reporter.times.end() && generator->second > 0)
        std::printf("queue, merge and write / generator alone: %.2fx (target: at most 2x)\n",
            pipeline->second / generator->second);
    return 0;
}
