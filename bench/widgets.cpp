// Composites: 1,000 "zub.widgets.Composite" objects created through the command operator under
// one parent and laid out, placed by relative "layoutData" (each attached below the one before,
// a chain as long as the page) against the same frames given as absolute "bounds". Prints the
// ratio of the two and the heap bytes each composite costs with its view, its layout object and
// its share of the layout engine's solver, against the 8 KiB a widget may cost.

#include "bench/BenchSession.h"
#include "bench/HeapCounter.h"
#include "bench/RatioReporter.h"
#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/protocol/CommandOperator.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/View.h"
#include "widgets/foundation/Composite.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

using namespace morvix;
using platform::Value;

namespace {

constexpr int kComposites = 1000;
constexpr double kRowHeight = 20;
constexpr double kTargetBytesPerComposite = 8192;

enum class Placement { Relative, Bounds };

std::string childId(int index)
{
    return "c" + std::to_string(index);
}

// Row i at (10, 20 i), 300 by 18, inside a 320-point-wide parent: attached to the parent's sides
// and to the row above, or given as the same rectangle.
Value createOperation(int index, Placement placement)
{
    Value properties = Value::object();
    if (placement == Placement::Relative) {
        Value top = index ? Value::array({ childId(index - 1), kRowHeight - 18 }) : Value(0);
        properties["layoutData"] = Value { { "left", 10 }, { "right", 10 }, { "top", std::move(top) }, { "height", 18 } };
    } else {
        properties["bounds"] = Value::array({ 10, index * kRowHeight, 300, 18 });
    }
    properties["parent"] = "root";
    return Value::array({ "create", childId(index), "zub.widgets.Composite", std::move(properties) });
}

// A session with the parent composite on a root view, ready for the children.
struct Scene {
    std::shared_ptr<bench::BenchSession> session = std::make_shared<bench::BenchSession>();
    std::shared_ptr<CommandOperator> commandOperator = CommandOperator::create(session);
    std::shared_ptr<platform::View> rootView = platform::View::create({ 0, 0, 320, 568 });

    Scene()
    {
        commandOperator->processOperation(Value::array({ "create", "root", "zub.widgets.Composite",
            Value { { "bounds", Value::array({ 0, 0, 320, kComposites * kRowHeight }) } } }));
        auto root = std::dynamic_pointer_cast<BasicWidget>(session->registry->objectById("root"));
        rootView->addSubview(root->view());
    }
    ~Scene() { session->registry->reset(); }

    void createChildren(Placement placement)
    {
        for (int i = 0; i < kComposites; ++i)
            commandOperator->processOperation(createOperation(i, placement));
        rootView->layoutIfNeeded();
    }
    bool placedRight() const
    {
        auto last = std::dynamic_pointer_cast<BasicWidget>(session->registry->objectById(childId(kComposites - 1)));
        return !session->failures && last && last->bounds() == platform::Rect(10, (kComposites - 1) * kRowHeight, 300, 18);
    }
};

void runPlacement(benchmark::State& state, Placement placement)
{
    platform::MainLoop::main().bindToCurrentThread();
    for (auto _ : state) {
        state.PauseTiming();
        {
            Scene scene;
            state.ResumeTiming();
            scene.createChildren(placement);
            state.PauseTiming();
            if (!scene.placedRight())
                state.SkipWithError("the composites were not placed where asked");
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kComposites);
}

void BM_CompositesWithRelativeLayoutData(benchmark::State& state)
{
    runPlacement(state, Placement::Relative);
}

void BM_CompositesWithBounds(benchmark::State& state)
{
    runPlacement(state, Placement::Bounds);
}

BENCHMARK(BM_CompositesWithRelativeLayoutData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompositesWithBounds)->Unit(benchmark::kMillisecond);

// Heap bytes per composite with its view and layout object, laid out.
double bytesPerComposite(Placement placement)
{
    Scene scene;
    scene.commandOperator->processOperation(createOperation(0, placement));
    scene.rootView->layoutIfNeeded();
    long long before = bench::liveHeapBytes();
    for (int i = 1; i <= kComposites; ++i)
        scene.commandOperator->processOperation(createOperation(i, placement));
    scene.rootView->layoutIfNeeded();
    return static_cast<double>(bench::liveHeapBytes() - before) / kComposites;
}

} // namespace

int main(int argc, char** argv)
{
    platform::MainLoop::main().bindToCurrentThread();
    registerRemoteTypes();
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto relative = reporter.times.find("BM_CompositesWithRelativeLayoutData");
    auto bounds = reporter.times.find("BM_CompositesWithBounds");
    if (relative != reporter.times.end() && bounds != reporter.times.end() && bounds->second > 0)
        std::printf("relative layoutData / bounds: %.2fx (target: at most 10x)\n", relative->second / bounds->second);
    double relativeBytes = bytesPerComposite(Placement::Relative);
    std::printf("zub.widgets.Composite with its view and relative layout: %.0f bytes per object\n", relativeBytes);
    std::printf("zub.widgets.Composite with its view and bounds: %.0f bytes per object\n", bytesPerComposite(Placement::Bounds));
    std::printf("relative layoutData bytes per composite / 8 KiB: %.2fx (target: at most 1x)\n",
        relativeBytes / kTargetBytesPerComposite);
    benchmark::Shutdown();
    WidgetRegistry::instance().resetForTesting();
    return 0;
}
