// Inactivity times and timer delays from a peer that no clock can hold: clamped to the longest
// delay and logged, never fired at once.

#include "services/MorvixApp.h"

#include "core/base/LogEntry.h"
#include "tests/support/ScriptSessionFixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace morvix {
namespace {

using platform::Value;

class InactivityTimeSessionTest : public testing::ScriptSessionFixture {
protected:
    std::shared_ptr<MorvixApp> app() { return std::dynamic_pointer_cast<MorvixApp>(object("morvix.App")); }
    // The "Inactive" events sent since the last call.
    std::size_t inactiveEvents()
    {
        auto operations = sent();
        return std::count(operations.begin(), operations.end(), Value::parse(R"(["notify","morvix.App","Inactive",{}])"));
    }
};

TEST_F(InactivityTimeSessionTest, TimesBeyondTheClockAreClampedAndLoggedInsteadOfFiringAtOnce)
{
    startWithDisplay("");
    ASSERT_NE(app(), nullptr);
    std::vector<std::string> logged;
    client->setLogObserver([&](const LogEntry& entry) { logged.push_back(entry.message()); }, MorvixClient::LogDelivery::AnyThread);
    sent();

    // 9223372037000 ms is the first whole-second count whose nanoseconds overflow a 64-bit
    // count; 1e308 is no count at all.
    for (const char* time : { "9223372037000", "1e308" }) {
        run(std::string("client.call('morvix.App', 'startInactivityTimer', {inactivityTime: ") + time + "});");
        harness.advance(10);
        harness.runUntilIdle();
        EXPECT_EQ(inactiveEvents(), 0u) << time;
        EXPECT_EQ(app()->inactivityTime(), Value(1000000000000)) << time << ": the longest delay, in milliseconds";
    }
    EXPECT_EQ(MorvixApp::inactivitySeconds(Value(1e308)), 1000000000);
    EXPECT_NE(std::find(logged.begin(), logged.end(), "morvix.App waits at most 1000000000000 ms for inactivity: inactivityTime 1e+308 is clamped"),
        logged.end());

    // A timer's delay is clamped to the same longest delay, and says so.
    run("client.create('t1', 'morvix.Timer', {delay: 1e308}); client.listen('t1', 'Run', true); client.call('t1', 'start');");
    harness.advance(10);
    harness.runUntilIdle();
    auto operations = sent();
    EXPECT_EQ(std::count(operations.begin(), operations.end(), Value::parse(R"(["notify","t1","Run",{}])")), 0);
    EXPECT_NE(std::find(logged.begin(), logged.end(), "morvix.Timer t1 waits at most 1000000000 s: delay 1e+308 is clamped"), logged.end());

    // A time the clock holds replaces the clamped one and fires when it is due.
    run("client.call('morvix.App', 'startInactivityTimer', {inactivityTime: 2000});");
    harness.advance(1.999);
    harness.runUntilIdle();
    EXPECT_EQ(inactiveEvents(), 0u);
    harness.advance(0.001);
    harness.runUntilIdle();
    EXPECT_EQ(inactiveEvents(), 1u);
}

} // namespace
} // namespace morvix
