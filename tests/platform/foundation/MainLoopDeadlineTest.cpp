// Delays too long for the clock: they never fall due, rather than wrap around into the past.

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SaturatingTime.h"
#include "platform/foundation/Timer.h"

#include <gtest/gtest.h>

#include <vector>

using namespace morvix::platform;
using namespace std::chrono_literals;

namespace {

// The main loop on a manual clock for one test, and as it was afterwards.
struct ManualTime {
    ManualTime()
    {
        Clock::install(clock);
        MainLoop::main().resetForTesting();
    }
    ~ManualTime()
    {
        MainLoop::main().resetForTesting();
        Clock::install(nullptr);
    }
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
};

} // namespace

TEST(MainLoopDeadlineTest, DelaysPastTheEndOfTheClockNeverFallDueAndLeaveTheOthersInOrder)
{
    ManualTime time;
    auto& clock = time.clock;
    MainLoop& loop = MainLoop::main();
    // Nearly three hundred years of nanoseconds, an hour into the clock: the sum wraps a
    // 64-bit count into the past.
    const Duration kBeyond = Duration::max() - 1min;
    std::vector<int> order;
    loop.postAfter(kBeyond, [&] { order.push_back(9); });
    loop.postAfter(Duration::max(), [&] { order.push_back(10); });
    loop.postAfter(1s, [&] { order.push_back(1); });
    Timer repeating;
    int repeats = 0;
    repeating.start(kBeyond, Repeat::Yes, [&] { ++repeats; });
    ASSERT_EQ(loop.runOnce(), 0u) << "nothing is due at once";

    loop.advanceBy(1s);
    EXPECT_EQ(order, (std::vector<int> { 1 }));
    loop.advanceBy(std::chrono::hours(24 * 365 * 100));
    // Even at the clock's last moment they wait; the repeating timer does not spin there.
    loop.advanceBy(Duration::max());
    EXPECT_EQ(clock->now(), TimePoint::max());
    EXPECT_EQ(order, (std::vector<int> { 1 }));
    EXPECT_EQ(repeats, 0);
    EXPECT_EQ(loop.pendingTimerCount(), 3u);
    repeating.stop();
    EXPECT_EQ(loop.pendingTimerCount(), 2u);

    EXPECT_EQ(saturatingAdd(TimePoint(-1h), Duration::min()), TimePoint::min());
    EXPECT_EQ(saturatingAdd(TimePoint(1h), -30min), TimePoint(30min));
}

TEST(MainLoopDeadlineTest, ARealTimeoutPastTheEndOfTheClockWaitsForItsCondition)
{
    MainLoop& loop = MainLoop::main();
    loop.resetForTesting();
    // On the steady clock: the task falls due a millisecond from now, after the first turn.
    bool ran = false;
    loop.postAfter(1ms, [&] { ran = true; });
    EXPECT_TRUE(loop.runUntil([&] { return ran; }, std::chrono::milliseconds::max()));
    EXPECT_FALSE(loop.runUntil([] { return false; }, std::chrono::milliseconds::min()));
}
