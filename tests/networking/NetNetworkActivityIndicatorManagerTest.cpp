#include "networking/NetNetworkActivityIndicatorManager.h"
#include "networking/NetURLConnectionOperation.h"

#include "platform/foundation/MainLoop.h"
#include "platform/net/NetworkThread.h"
#include "platform/ui/Application.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

using namespace morvix;
using namespace std::chrono_literals;
using morvix::platform::Application;
using morvix::platform::NotificationCenter;

namespace {

struct FakeTask final : NetOriginalRequestProviding {
    explicit FakeTask(std::optional<std::string> url)
        : request(url ? platform::Url::parse(*url) : std::nullopt)
    {
    }
    std::optional<platform::URLRequest> originalRequest() const override { return request; }
    platform::URLRequest request;
};

class NetNetworkActivityIndicatorManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::install(clock);
        loop.resetForTesting();
        NotificationCenter::resetDefaultForTesting();
        Application::shared().resetForTesting();
        manager = NetNetworkActivityIndicatorManager::create();
        manager->setEnabled(true);
    }
    void TearDown() override
    {
        manager.reset();
        loop.resetForTesting();
        Application::shared().resetForTesting();
        NotificationCenter::resetDefaultForTesting();
        platform::Clock::install(nullptr);
    }

    std::shared_ptr<NetOriginalRequestProviding> task(std::optional<std::string> url = "http://127.0.0.1/a")
    {
        return std::make_shared<FakeTask>(std::move(url));
    }
    void post(const char* name, std::any object)
    {
        NotificationCenter::defaultCenter()->post(name, nullptr, nullptr, std::move(object));
        loop.runUntilIdle();
    }
    void start(const std::shared_ptr<NetOriginalRequestProviding>& subject) { post(NetworkingTaskDidResumeNotification, subject); }
    void finish(const std::shared_ptr<NetOriginalRequestProviding>& subject) { post(NetworkingTaskDidCompleteNotification, subject); }
    bool indicator() const { return Application::shared().isNetworkActivityIndicatorVisible(); }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    platform::MainLoop& loop = platform::MainLoop::main();
    std::shared_ptr<NetNetworkActivityIndicatorManager> manager;
};

} // namespace

TEST_F(NetNetworkActivityIndicatorManagerTest, OneRequestShowsAtOnceAndHidesOneHundredSeventyMillisecondsAfterItsEnd)
{
    auto request = task();
    NotificationCenter::defaultCenter()->post(NetworkingTaskDidResumeNotification, nullptr, nullptr, std::any(request));
    EXPECT_EQ(manager->activityCount(), 1);
    EXPECT_FALSE(indicator()); // shown from the main loop, not inside the post
    loop.runUntilIdle();
    EXPECT_TRUE(indicator());

    finish(request);
    EXPECT_EQ(manager->activityCount(), 0);
    loop.advanceBy(169ms);
    EXPECT_TRUE(indicator());
    loop.advanceBy(1ms);
    EXPECT_FALSE(indicator());
}

TEST_F(NetNetworkActivityIndicatorManagerTest, ARequestStartingWithinTheDelayKeepsTheIndicatorOn)
{
    auto first = task();
    auto second = task();
    start(first);
    finish(first);
    loop.advanceBy(100ms);
    start(second);
    loop.advanceBy(100ms); // the hide timer fired at 170 ms and found a request running
    EXPECT_TRUE(indicator());
    finish(second);
    loop.advanceBy(169ms);
    EXPECT_TRUE(indicator());
    loop.advanceBy(1ms);
    EXPECT_FALSE(indicator());
}

TEST_F(NetNetworkActivityIndicatorManagerTest, AFinishWithoutACountedStartLeavesOtherRequestsCounted)
{
    auto running = task();
    auto cancelledBeforeStart = task();
    start(running);
    finish(cancelledBeforeStart);
    EXPECT_EQ(manager->activityCount(), 1);
    loop.advanceBy(1s);
    EXPECT_TRUE(indicator());

    // A paused transfer ends and starts again: down and up.
    post(NetworkingTaskDidSuspendNotification, running);
    EXPECT_EQ(manager->activityCount(), 0);
    start(running);
    EXPECT_EQ(manager->activityCount(), 1);
    finish(running);
    finish(running);
    EXPECT_EQ(manager->activityCount(), 0);
}

TEST_F(NetNetworkActivityIndicatorManagerTest, OnlyNotificationsAboutARequestWithAURLCount)
{
    start(task(std::nullopt));
    post(NetworkingTaskDidResumeNotification, std::string("not a request"));
    post(NetworkingTaskDidResumeNotification, {});
    EXPECT_EQ(manager->activityCount(), 0);

    auto operation = NetURLConnectionOperation::create(platform::URLRequest(platform::Url::parse("http://127.0.0.1/op")));
    auto request = NetNetworkRequestFromNotification({ NetworkingOperationDidStartNotification, nullptr, operation, nullptr });
    ASSERT_TRUE(request && request->url());
    EXPECT_EQ(request->url()->absoluteString(), "http://127.0.0.1/op");
    post(NetworkingOperationDidStartNotification, operation);
    EXPECT_EQ(manager->activityCount(), 1);
    post(NetworkingOperationDidFinishNotification, operation);
    EXPECT_EQ(manager->activityCount(), 0);
}

TEST_F(NetNetworkActivityIndicatorManagerTest, ADisabledManagerCountsButNeverTouchesTheIndicator)
{
    manager->setEnabled(false);
    std::vector<long> counts;
    manager->onActivityCountChanged = [&](long count) { counts.push_back(count); };
    auto request = task();
    start(request);
    EXPECT_EQ(manager->activityCount(), 1);
    EXPECT_FALSE(indicator());
    Application::shared().setNetworkActivityIndicatorVisible(true);
    finish(request);
    loop.advanceBy(1s);
    EXPECT_TRUE(indicator()); // untouched
    EXPECT_EQ(counts, (std::vector<long> { 1, 0 }));

    // Enabling does not refresh the indicator by itself.
    manager->setEnabled(true);
    loop.advanceBy(1s);
    EXPECT_TRUE(indicator());
}

TEST_F(NetNetworkActivityIndicatorManagerTest, SettingTheCountToZeroHidesAfterTheDelay)
{
    manager->setActivityCount(3);
    loop.runUntilIdle();
    EXPECT_TRUE(indicator());
    manager->setActivityCount(0);
    loop.advanceBy(169ms);
    EXPECT_TRUE(indicator());
    loop.advanceBy(1ms);
    EXPECT_FALSE(indicator());
    manager->decrementActivityCount();
    EXPECT_EQ(manager->activityCount(), 0);
}

TEST_F(NetNetworkActivityIndicatorManagerTest, DestroyingTheManagerCancelsThePendingHideAndStopsCounting)
{
    auto request = task();
    start(request);
    finish(request);
    EXPECT_TRUE(indicator());
    manager.reset();
    loop.advanceBy(1s);
    EXPECT_TRUE(indicator()); // the hide never ran
    start(task());            // nobody observes any more
    EXPECT_EQ(NotificationCenter::defaultCenter()->observerCount(), 0u);
}

TEST_F(NetNetworkActivityIndicatorManagerTest, AnOperationPausedRightAfterItsStartLeavesNothingCounted)
{
    morvix::testing::TestHttpServer server;
    server.route("/a", morvix::testing::TestResponse().withBody("done"));
    server.start();
    auto operation = NetURLConnectionOperation::create(platform::URLRequest(platform::Url::parse(server.url("/a"))));
    std::atomic<bool> completed { false };
    operation->setCompletionBlock([&] { completed = true; });
    auto drained = std::make_shared<std::atomic<bool>>(false);
    morvix::testing::TestGate released;
    std::atomic<bool> holding { false };
    std::atomic<bool> never { false };
    auto& network = NetURLConnectionOperation::networkRequestThread();
    network.perform([&] {
        holding = true;
        released.wait(never);
    });
    ASSERT_TRUE(loop.runUntil([&] { return holding.load(); }, 5s));

    // The pause comes before the network thread has begun the transfer: no connection, and
    // neither a start nor a finish for the indicator.
    operation->start();
    operation->pause();
    released.open();
    network.perform([drained] { *drained = true; });
    ASSERT_TRUE(loop.runUntil([&] { return drained->load(); }, 5s));
    loop.runUntilIdle();
    EXPECT_EQ(manager->activityCount(), 0);
    EXPECT_EQ(server.requestCount(), 0u);

    operation->resume();
    ASSERT_TRUE(loop.runUntil([&] { return completed.load(); }, 5s));
    loop.runUntilIdle();
    EXPECT_EQ(operation->responseData(), "done");
    EXPECT_EQ(manager->activityCount(), 0);
    loop.advanceBy(170ms);
    EXPECT_FALSE(indicator());
}
