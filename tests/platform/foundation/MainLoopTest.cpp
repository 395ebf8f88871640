#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SystemLog.h"
#include "platform/foundation/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace morvix::platform;
using namespace std::chrono_literals;

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::install(clock);
        loop.resetForTesting();
    }
    void TearDown() override
    {
        loop.resetForTesting();
        Clock::install(nullptr);
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    MainLoop& loop = MainLoop::main();
};

TEST_F(MainLoopTest, TasksRunInPostOrderOnALaterTurn)
{
    std::vector<int> order;
    loop.post([&] {
        order.push_back(1);
        loop.post([&] { order.push_back(3); });
    });
    loop.post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(loop.runOnce(), 2u);
    EXPECT_EQ(order, (std::vector<int> { 1, 2 }));
    loop.runUntilIdle();
    EXPECT_EQ(order, (std::vector<int> { 1, 2, 3 }));
}

TEST_F(MainLoopTest, DelayedTasksFireAtTheirDueTimeInOrder)
{
    std::vector<int> order;
    loop.postAfter(300ms, [&] { order.push_back(2); });
    loop.postAfter(100ms, [&] { order.push_back(1); });
    loop.postAfter(300ms, [&] { order.push_back(3); });
    loop.advanceBy(99ms);
    EXPECT_TRUE(order.empty());
    loop.advanceBy(1ms);
    EXPECT_EQ(order, (std::vector<int> { 1 }));
    loop.advanceBy(199ms);
    EXPECT_EQ(order.size(), 1u);
    loop.advanceBy(1ms);
    EXPECT_EQ(order, (std::vector<int> { 1, 2, 3 }));
}

TEST_F(MainLoopTest, CancelledTaskNeverRunsEvenWhenDueInTheSameTurn)
{
    bool second = false;
    MainLoop::TimerId secondId = 0;
    loop.postAfter(10ms, [&] { EXPECT_TRUE(loop.cancel(secondId)); });
    secondId = loop.postAfter(10ms, [&] { second = true; });
    loop.advanceBy(10ms);
    EXPECT_FALSE(second);
    EXPECT_FALSE(loop.cancel(secondId));
    EXPECT_EQ(loop.pendingTimerCount(), 0u);
}

TEST_F(MainLoopTest, AdvanceSeesTheClockAtEachDueTime)
{
    TimePoint start = clock->now();
    TimePoint seen;
    loop.postAfter(170ms, [&] { seen = clock->now(); });
    loop.advanceBy(1s);
    EXPECT_EQ(seen - start, 170ms);
    EXPECT_EQ(clock->now() - start, 1s);
}

TEST_F(MainLoopTest, RunSyncFromAWorkerRunsOnTheMainThreadAndReturnsTheResult)
{
    std::thread::id ranOn;
    std::atomic<int> result = 0;
    std::thread worker([&] {
        result = loop.runSync([&] {
            ranOn = std::this_thread::get_id();
            return 42;
        });
    });
    ASSERT_TRUE(loop.runUntil([&] { return result == 42; }, 5s));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(MainLoopTest, RunSyncRethrowsAndIsInlineOnMain)
{
    EXPECT_EQ(loop.runSync([] { return 7; }), 7);
    std::atomic<bool> threw = false;
    std::thread worker([&] {
        try {
            loop.runSync([]() -> int { throw std::logic_error("boom"); });
        } catch (const std::logic_error&) {
            threw = true;
        }
    });
    ASSERT_TRUE(loop.runUntil([&] { return threw.load(); }, 5s));
    worker.join();
}

TEST_F(MainLoopTest, ThrowingTaskIsLoggedWithItsOriginAndTheTurnGoesOn)
{
    std::vector<std::string> lines;
    auto previous = setSystemLogSink([&](const std::string& line) { lines.push_back(line); });
    std::vector<int> order;
    int throwingLine = __LINE__ + 1;
    loop.post([] { throw std::runtime_error("task failed"); });
    loop.postAfter(0ms, [] { throw 7; });
    // A hand-off queued behind the throwing task still gets its answer, and one whose function
    // throws gets the exception in its own thread.
    std::atomic<int> handedOff = 0;
    std::atomic<bool> rethrown = false;
    std::thread worker([&] {
        handedOff = loop.runSync([] { return 5; });
        try {
            loop.runSync([]() -> int { throw std::logic_error("in the hand-off"); });
        } catch (const std::logic_error&) {
            rethrown = true;
        }
    });
    loop.post([&] { order.push_back(1); });
    ASSERT_TRUE(loop.runUntil([&] { return rethrown.load(); }, 5s));
    worker.join();
    setSystemLogSink(previous);

    EXPECT_EQ(order, (std::vector<int> { 1 }));
    EXPECT_EQ(handedOff, 5);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("MainLoopTest.cpp:" + std::to_string(throwingLine)), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("threw: task failed"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("unknown type"), std::string::npos) << lines[1];
}

TEST(MainLoopBindingTest, BindsWhenFirstPumpedNotWhenFirstAsked)
{
    MainLoop loop;
    bool workerWasMain = true;
    std::thread([&] { workerWasMain = loop.isMainThread(); }).join();
    EXPECT_FALSE(workerWasMain);
    EXPECT_FALSE(loop.isBound());

    loop.runOnce();
    EXPECT_TRUE(loop.isBound());
    EXPECT_TRUE(loop.isMainThread());
    std::thread([&] { workerWasMain = loop.isMainThread(); }).join();
    EXPECT_FALSE(workerWasMain);

    // An explicit binding moves it.
    std::thread([&] {
        loop.bindToCurrentThread();
        workerWasMain = loop.isMainThread();
    }).join();
    EXPECT_TRUE(workerWasMain);
    EXPECT_FALSE(loop.isMainThread());
}

TEST(MainLoopBindingDeathTest, PostingBeforeAnyBindingStopsADebugBuild)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    MainLoop loop;
    EXPECT_DEBUG_DEATH(loop.post([] { }), "before it was bound");
    EXPECT_DEBUG_DEATH(loop.postAfter(1s, [] { }), "before it was bound");
}

TEST_F(MainLoopTest, QuitMakesWaitingHandOffsFail)
{
    std::atomic<bool> failed = false;
    std::atomic<bool> started = false;
    std::thread worker([&] {
        started = true;
        try {
            loop.runSync([] { });
        } catch (const std::exception&) {
            failed = true;
        }
    });
    while (!started)
        std::this_thread::yield();
    // The hand-off is either queued (and dropped by quit) or refused after it.
    while (loop.hasQuit() == false) {
        loop.quit();
    }
    worker.join();
    EXPECT_TRUE(failed);
    bool refused = false;
    std::thread([&] {
        try {
            loop.runSync([] { });
        } catch (const std::runtime_error&) {
            refused = true;
        }
    }).join();
    EXPECT_TRUE(refused);
}

TEST_F(MainLoopTest, RunReturnsAfterQuitFromATask)
{
    int turns = 0;
    loop.post([&] { ++turns; });
    loop.post([&] { loop.quit(); });
    loop.run();
    EXPECT_EQ(turns, 1);
}

// A worker posts its next task only once the last one has run, so that each post finds the loop
// asleep or on its way to sleep, and the loop writes its wake-up descriptor once per sleep: a
// wake-up lost there would leave `run` waiting for its next check, a second later, every time.
// Tasks posted by the loop's own tasks meanwhile run too, in order.
TEST_F(MainLoopTest, EachPostFromAnotherThreadWakesTheSleepingLoop)
{
    constexpr int kRounds = 100;
    std::vector<int> order;
    std::atomic<int> ran = 0;
    std::thread worker([&] {
        for (int round = 0; round < kRounds; ++round) {
            loop.post([&, round] {
                order.push_back(round);
                loop.post([&, round] { order.push_back(-round); });
                if (round == kRounds - 1)
                    loop.post([&] { loop.quit(); });
                ran.fetch_add(1);
                ran.notify_all();
            });
            ran.wait(round);
        }
    });
    loop.run();
    worker.join();
    ASSERT_EQ(order.size(), 2u * kRounds);
    for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(order[2 * round], round);
        EXPECT_EQ(order[2 * round + 1], -round);
    }
}

TEST_F(MainLoopTest, RepeatingTimerFiresOncePerIntervalAndStopsFromItsCallback)
{
    Timer timer;
    int fired = 0;
    timer.start(300ms, Repeat::Yes, [&] {
        if (++fired == 3)
            timer.stop();
    });
    loop.advanceBy(299ms);
    EXPECT_EQ(fired, 0);
    loop.advanceBy(1ms);
    EXPECT_EQ(fired, 1);
    loop.advanceBy(2s);
    EXPECT_EQ(fired, 3);
    EXPECT_FALSE(timer.isActive());
}

TEST_F(MainLoopTest, DestroyingATimerCancelsIt)
{
    bool fired = false;
    {
        Timer timer;
        timer.start(100ms, Repeat::No, [&] { fired = true; });
    }
    loop.advanceBy(1s);
    EXPECT_FALSE(fired);
}

TEST_F(MainLoopTest, RestartingAOneShotTimerReschedulesIt)
{
    Timer timer;
    int fired = 0;
    timer.start(300ms, Repeat::No, [&] { ++fired; });
    loop.advanceBy(200ms);
    timer.start(300ms, Repeat::No, [&] { ++fired; });
    loop.advanceBy(200ms);
    EXPECT_EQ(fired, 0);
    loop.advanceBy(100ms);
    EXPECT_EQ(fired, 1);
}
