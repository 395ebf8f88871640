// The streaming reader: a 5 MB message of create/set/call operations written in 16 KiB chunks
// and applied to non-visual objects, against a bare YAJL parse of the same bytes with empty
// callbacks. Prints the ratio of the two, the operations applied per second and the reader's
// peak memory. Further cases: one "set" of 40,000 keys, one long string (linear time), and the
// reader's peak heap for one large operation against its bytes.

#include "bench/BenchSession.h"
#include "bench/RatioReporter.h"
#include "core/base/LogEntry.h"
#include "core/objects/BasicObject.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/WidgetRegistry.h"
#include "core/protocol/CommandOperator.h"
#include "core/protocol/ProtocolReader.h"
#include "platform/foundation/MainLoop.h"

#include <benchmark/benchmark.h>
#include <yajl/yajl_parse.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>

using namespace morvix;
using platform::Value;

// Counts live heap bytes so that the reader's peak memory can be reported.
namespace {
std::atomic<std::size_t> g_liveBytes = 0;
std::atomic<std::size_t> g_peakBytes = 0;
std::atomic<std::size_t> g_allocations = 0;

void noteAllocated(std::size_t size)
{
    std::size_t live = g_liveBytes.fetch_add(size) + size;
    std::size_t peak = g_peakBytes.load();
    while (live > peak && !g_peakBytes.compare_exchange_weak(peak, live)) { }
}
} // namespace

void* operator new(std::size_t size)
{
    auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
    if (!block)
        throw std::bad_alloc();
    *block = size;
    noteAllocated(size);
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}

void operator delete(void* pointer) noexcept
{
    if (!pointer)
        return;
    auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(pointer) - sizeof(std::max_align_t));
    g_liveBytes.fetch_sub(*block);
    std::free(block);
}

void operator delete(void* pointer, std::size_t) noexcept
{
    operator delete(pointer);
}

namespace {

constexpr std::size_t kMessageBytes = 5 * 1024 * 1024;
constexpr std::size_t kChunkBytes = 16 * 1024;

// A non-visual object with a few properties of common kinds and one call.
class Counter : public RemoteClass<Counter> {
public:
    static constexpr std::string_view kRemoteType = "bench.Counter";

    Counter(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
        : RemoteClass(key, std::move(id), std::move(client))
    {
        registerSelector(&Counter::increment, "increment");
    }

    static const PropertyTable& properties()
    {
        static const PropertyTable table = PropertyTable::extend<Counter>(BasicObject::properties())
                                               .string("text", &Counter::m_text)
                                               .number("value", &Counter::m_value)
                                               .boolean("enabled", &Counter::m_enabled)
                                               .rect("bounds", &Counter::m_bounds);
        return table;
    }

    void increment(const Value* properties)
    {
        if (properties)
            m_count += (*properties).value("by", 1);
    }

private:
    std::optional<std::string> m_text;
    std::optional<Value> m_value;
    bool m_enabled = false;
    platform::Rect m_bounds;
    long m_count = 0;
};

struct Message {
    std::string body;
    std::size_t operations = 0;
};

const Message& message()
{
    static const Message generated = [] {
        Message result;
        result.body = R"({"head":{"requestCounter":1},"operations":[)";
        for (std::size_t i = 0; result.body.size() < kMessageBytes; ++i) {
            std::string id = "\"w" + std::to_string(i / 3) + "\"";
            if (i)
                result.body += ",";
            switch (i % 3) {
            case 0:
                result.body += R"(["create",)" + id + R"(,"bench.Counter",{"text":"item )" + std::to_string(i)
                    + R"(","value":0.5,"enabled":true,"bounds":[0,)" + std::to_string(i % 500) + "," + "320,44]}]";
                break;
            case 1:
                result.body += R"(["set",)" + id + R"(,{"value":)" + std::to_string(i) + R"(,"text":"changed \u00e9"}])";
                break;
            default:
                result.body += R"(["call",)" + id + R"(,"increment",{"by":2}])";
                break;
            }
            ++result.operations;
        }
        result.body += "]}";
        return result;
    }();
    return generated;
}

int ignoreEvent(void*)
{
    return 1;
}
int ignoreBoolean(void*, int)
{
    return 1;
}
int ignoreText(void*, const char*, size_t)
{
    return 1;
}
int ignoreBytes(void*, const unsigned char*, size_t)
{
    return 1;
}

void BM_BareYajlParse(benchmark::State& state)
{
    const std::string& body = message().body;
    yajl_callbacks callbacks = { ignoreEvent, ignoreBoolean, nullptr, nullptr, ignoreText, ignoreBytes,
        ignoreEvent, ignoreBytes, ignoreEvent, ignoreEvent, ignoreEvent };
    for (auto _ : state) {
        yajl_handle parser = yajl_alloc(&callbacks, nullptr, nullptr);
        for (std::size_t offset = 0; offset < body.size(); offset += kChunkBytes) {
            auto length = std::min(kChunkBytes, body.size() - offset);
            yajl_parse(parser, reinterpret_cast<const unsigned char*>(body.data() + offset), length);
        }
        yajl_free(parser);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

void BM_ProtocolReader(benchmark::State& state)
{
    platform::MainLoop::main().bindToCurrentThread();
    WidgetRegistry::instance().addHandler<Counter>();
    const Message& input = message();
    auto session = std::make_shared<bench::BenchSession>();
    auto commandOperator = CommandOperator::create(session);
    auto apply = [&] {
        auto reader = ProtocolReader::create(commandOperator);
        reader->open();
        for (std::size_t offset = 0; offset < input.body.size(); offset += kChunkBytes)
            reader->write(std::string_view(input.body).substr(offset, kChunkBytes));
        reader->close();
        return reader;
    };
    // One untimed pass first: the first one pays for the kernel's mapping of fresh heap pages
    // for the objects it creates, which (on a loaded virtual machine) can take five times as
    // long as the apply itself and would leave the benchmark with that single iteration.
    apply();
    session->registry->reset();
    std::size_t peakBytes = 0;
    std::size_t allocations = 0;
    for (auto _ : state) {
        std::size_t before = g_liveBytes.load();
        g_peakBytes.store(before);
        std::size_t allocationsBefore = g_allocations.load();
        auto reader = apply();
        allocations += g_allocations.load() - allocationsBefore;
        if (reader->error() || session->failures)
            state.SkipWithError("the message was not applied cleanly");
        state.PauseTiming();
        // What the reader itself holds at its peak, besides the objects it created.
        std::size_t objectsBytes = g_liveBytes.load() - before - input.body.size();
        peakBytes = std::max(peakBytes, g_peakBytes.load() - before - objectsBytes);
        reader.reset();
        session->registry->reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.body.size()));
    state.counters["operations_per_second"]
        = benchmark::Counter(static_cast<double>(input.operations), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["reader_peak_bytes"] = static_cast<double>(peakBytes);
    // Heap allocations of reading and applying one operation, the objects' own included.
    state.counters["allocations_per_operation"]
        = static_cast<double>(allocations) / static_cast<double>(input.operations * state.iterations());
    WidgetRegistry::instance().resetForTesting();
}

// The reader's own share: the same body, with every head member and operation built and handed
// over, to an operator that applies nothing.
class DiscardingOperator final : public CommandOperator {
public:
    DiscardingOperator() : CommandOperator({}) { }
    std::optional<std::string> processHead(const Value&, const std::string&, const std::atomic<bool>&) override
    {
        return std::nullopt;
    }
    std::optional<Value> processOperation(const Value&, const std::atomic<bool>&) override
    {
        ++operations;
        return std::nullopt;
    }
    std::size_t operations = 0;
};

void BM_ProtocolReaderWithoutApplying(benchmark::State& state)
{
    const Message& input = message();
    auto commandOperator = std::make_shared<DiscardingOperator>();
    std::size_t allocationsBefore = g_allocations.load();
    for (auto _ : state) {
        auto reader = ProtocolReader::create(commandOperator);
        reader->open();
        for (std::size_t offset = 0; offset < input.body.size(); offset += kChunkBytes)
            reader->write(std::string_view(input.body).substr(offset, kChunkBytes));
        reader->close();
        if (reader->error())
            state.SkipWithError("the message was not read cleanly");
    }
    if (commandOperator->operations != input.operations * state.iterations())
        state.SkipWithError("operations were lost");
    // Heap allocations of building and handing over one operation: what the value type costs.
    state.counters["allocations_per_operation"] = static_cast<double>(g_allocations.load() - allocationsBefore)
        / static_cast<double>(input.operations * state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.body.size()));
}

// A bare YAJL parse of `body` in chunks of `chunkBytes`, with empty callbacks.
void bareParse(const std::string& body, std::size_t chunkBytes)
{
    yajl_callbacks callbacks = { ignoreEvent, ignoreBoolean, nullptr, nullptr, ignoreText, ignoreBytes,
        ignoreEvent, ignoreBytes, ignoreEvent, ignoreEvent, ignoreEvent };
    yajl_handle parser = yajl_alloc(&callbacks, nullptr, nullptr);
    for (std::size_t offset = 0; offset < body.size(); offset += chunkBytes) {
        auto length = std::min(chunkBytes, body.size() - offset);
        yajl_parse(parser, reinterpret_cast<const unsigned char*>(body.data() + offset), length);
    }
    yajl_free(parser);
}

// One "set" of 40,000 keys on one object: reading and applying it must be linear in the keys.
const std::string& manyKeysMessage()
{
    static const std::string body = [] {
        std::string text = R"({"operations":[["create","w0","bench.Counter",{}],["set","w0",{)";
        for (int i = 0; i < 40000; ++i)
            text += "\"key" + std::to_string(i) + "\":" + std::to_string(i) + ",";
        return text + R"("text":"last"}]]})";
    }();
    return body;
}

void BM_BareYajlParseManyKeys(benchmark::State& state)
{
    for (auto _ : state)
        bareParse(manyKeysMessage(), kChunkBytes);
}

void BM_ProtocolReaderManyKeys(benchmark::State& state)
{
    platform::MainLoop::main().bindToCurrentThread();
    WidgetRegistry::instance().addHandler<Counter>();
    auto session = std::make_shared<bench::BenchSession>();
    auto commandOperator = CommandOperator::create(session);
    const std::string& body = manyKeysMessage();
    for (auto _ : state) {
        auto reader = ProtocolReader::create(commandOperator, ProtocolReader::BodyCopy::Discard);
        for (std::size_t offset = 0; offset < body.size(); offset += kChunkBytes)
            reader->write(std::string_view(body).substr(offset, kChunkBytes));
        if (reader->error() || session->failures)
            state.SkipWithError("the message was not applied cleanly");
        state.PauseTiming();
        reader.reset();
        session->registry->reset();
        state.ResumeTiming();
    }
    WidgetRegistry::instance().resetForTesting();
}

// One operation whose value is one long string (escapes included), in 16 KiB chunks, read and
// handed over without applying; its bytes per iteration are the benchmark's argument in MiB.
std::string longStringMessage(std::size_t mebibytes)
{
    std::string text = R"({"operations":[["set","w0",{"text":")";
    while (text.size() < mebibytes * 1024 * 1024)
        text += "abcdefghijklmnopqrstuvwxyz \\u00e9\\n 0123456789 ";
    return text + "\"}]]}";
}

void BM_ProtocolReaderLongString(benchmark::State& state)
{
    const std::string body = longStringMessage(static_cast<std::size_t>(state.range(0)));
    auto commandOperator = std::make_shared<DiscardingOperator>();
    for (auto _ : state) {
        auto reader = ProtocolReader::create(commandOperator, ProtocolReader::BodyCopy::Discard);
        for (std::size_t offset = 0; offset < body.size(); offset += kChunkBytes)
            reader->write(std::string_view(body).substr(offset, kChunkBytes));
        if (reader->error())
            state.SkipWithError("the message was not read cleanly");
    }
}

void BM_BareYajlParseLongStringInOnePiece(benchmark::State& state)
{
    const std::string body = longStringMessage(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        bareParse(body, body.size());
}

// The reader's peak heap while it reads one large operation (nested arrays of numbers and
// strings), against the operation's bytes on the wire.
double g_largeOperationPeakRatio = 0;

void BM_ProtocolReaderLargeOperationMemory(benchmark::State& state)
{
    std::string body = R"({"operations":[["set","w0",{"rows":[)";
    for (int i = 0; body.size() < 8 * 1024 * 1024; ++i)
        body += (i ? "," : "") + std::string(R"([")") + std::to_string(i) + R"(",)" + std::to_string(i * 7) + R"(,[0.5,true,"item text here"]])";
    body += "]}]]}";
    auto commandOperator = std::make_shared<DiscardingOperator>();
    std::size_t peak = 0;
    for (auto _ : state) {
        std::size_t before = g_liveBytes.load();
        g_peakBytes.store(before);
        auto reader = ProtocolReader::create(commandOperator, ProtocolReader::BodyCopy::Discard);
        for (std::size_t offset = 0; offset < body.size(); offset += kChunkBytes)
            reader->write(std::string_view(body).substr(offset, kChunkBytes));
        peak = std::max(peak, g_peakBytes.load() - before);
    }
    g_largeOperationPeakRatio = static_cast<double>(peak) / static_cast<double>(body.size());
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.counters["operation_bytes"] = static_cast<double>(body.size());
}

BENCHMARK(BM_BareYajlParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProtocolReaderWithoutApplying)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProtocolReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareYajlParseManyKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProtocolReaderManyKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareYajlParseLongStringInOnePiece)->Arg(8)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProtocolReaderLongString)->Arg(8)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProtocolReaderLargeOperationMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto bare = reporter.times.find("BM_BareYajlParse");
    auto reader = reporter.times.find("BM_ProtocolReader");
    auto readerOnly = reporter.times.find("BM_ProtocolReaderWithoutApplying");
    if (bare != reporter.times.end() && reader != reporter.times.end() && bare->second > 0) {
        std::printf("message: %zu bytes, %zu operations, %zu-byte chunks\n", message().body.size(), message().operations,
            kChunkBytes);
        std::printf("reader / bare YAJL parse: %.2fx (target: at most 3x)\n", reader->second / bare->second);
    }
    if (bare != reporter.times.end() && readerOnly != reporter.times.end() && bare->second > 0)
        std::printf("reader building and handing over without applying / bare YAJL parse: %.2fx\n",
            readerOnly->second / bare->second);
    auto ratio = [&](const char* label, const std::string& a, const std::string& b, double target) {
        auto first = reporter.times.find(a);
        auto second = reporter.times.find(b);
        if (first != reporter.times.end() && second != reporter.times.end() && second->second > 0)
            std::printf("%s: %.2fx (target: at most %gx)\n", label, first->second / second->second, target);
    };
    ratio("set of 40,000 keys, reader / bare YAJL parse", "BM_ProtocolReaderManyKeys", "BM_BareYajlParseManyKeys", 1.5);
    // Linear time: the reader's time grows from 8 to 32 MiB as a bare parse in one piece does
    // (both pay the machine's cost of touching fresh memory for large buffers).
    auto growth = [&](const std::string& name) {
        auto small = reporter.times.find(name + "/8");
        auto large = reporter.times.find(name + "/32");
        bool found = small != reporter.times.end() && large != reporter.times.end() && small->second > 0;
        return found ? large->second / small->second : 0.0;
    };
    if (growth("BM_ProtocolReaderLongString") > 0 && growth("BM_BareYajlParseLongStringInOnePiece") > 0)
        std::printf("long string from 8 to 32 MiB, reader growth / bare YAJL growth: %.2fx (target: at most 1.1x)\n",
            growth("BM_ProtocolReaderLongString") / growth("BM_BareYajlParseLongStringInOnePiece"));
    ratio("long string of 32 MiB, reader in 16 KiB chunks / bare YAJL parse in one piece",
        "BM_ProtocolReaderLongString/32", "BM_BareYajlParseLongStringInOnePiece/32", 1.5);
    if (g_largeOperationPeakRatio > 0)
        std::printf("large operation, reader peak heap / operation bytes: %.2fx (target: at most 4x)\n",
            g_largeOperationPeakRatio);
    benchmark::Shutdown();
    return 0;
}
