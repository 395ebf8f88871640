// Heap bytes per remote object: 100,000 non-visual objects created through the command operator,
// as a server's "create" operations make them, and the heap bytes still in use afterwards
// divided by their number.

#include "bench/BenchSession.h"
#include "bench/HeapCounter.h"
#include "core/base/LogEntry.h"
#include "core/objects/BasicObject.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/WidgetRegistry.h"
#include "core/protocol/CommandOperator.h"
#include "platform/foundation/MainLoop.h"

#include <cstdio>
#include <string>

using namespace morvix;
using platform::Value;

namespace {

constexpr int kObjects = 100000;
constexpr double kTargetBytesPerObject = 1024;

// A non-visual object with a text and a number, as a model object of an application would be.
class Record : public RemoteClass<Record> {
public:
    static constexpr std::string_view kRemoteType = "bench.Record";
    using RemoteClass::RemoteClass;

    static const PropertyTable& properties()
    {
        static const PropertyTable table = PropertyTable::extend<Record>(BasicObject::properties())
                                               .string("text", &Record::m_text)
                                               .number("value", &Record::m_value);
        return table;
    }

private:
    std::optional<std::string> m_text;
    std::optional<Value> m_value;
};

} // namespace

int main()
{
    platform::MainLoop::main().bindToCurrentThread();
    WidgetRegistry::instance().addHandler<Record>();
    auto session = std::make_shared<bench::BenchSession>();
    auto commandOperator = CommandOperator::create(session);

    // One creation first, so that what every creation shares (tables, the registry's first
    // buckets, the operator's own state) is not counted per object.
    commandOperator->processOperation(Value::array({ "create", "warm-up", "bench.Record", Value::object() }));
    long long before = bench::liveHeapBytes();
    for (int i = 0; i < kObjects; ++i) {
        Value operation = Value::array({ "create", "r" + std::to_string(i), "bench.Record",
            Value { { "text", "record " + std::to_string(i) }, { "value", i } } });
        commandOperator->processOperation(operation);
    }
    long long after = bench::liveHeapBytes();
    if (session->failures || session->registry->objectById("r" + std::to_string(kObjects - 1)) == nullptr) {
        std::fprintf(stderr, "the objects were not all created\n");
        return 1;
    }
    double perObject = static_cast<double>(after - before) / kObjects;
    std::printf("%d objects of bench.Record created through the command operator: %lld heap bytes\n", kObjects,
        after - before);
    std::printf("non-visual remote object: %.0f bytes per object (target: at most %.0f)\n", perObject,
        kTargetBytesPerObject);
    std::printf("bytes per object / 1 KiB: %.2fx (target: at most 1x)\n", perObject / kTargetBytesPerObject);
    session->registry->reset();
    WidgetRegistry::instance().resetForTesting();
    return 0;
}
