#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetJSONResponseSerializer.h"
#include "platform/foundation/MainLoop.h"
#include "platform/net/BlockOperation.h"
#include "platform/net/OperationQueue.h"
#include "platform/net/URLError.h"
#include "platform/net/Url.h"
#include "platform/ui/Application.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

using namespace morvix;
using namespace std::chrono_literals;
using morvix::platform::Url;
using morvix::testing::TestHttpServer;
using morvix::testing::TestResponse;

namespace {

class NetOperationBatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        server.route("*", TestResponse().withBody("ok"));
        server.start();
    }
    void TearDown() override
    {
        server.stop();
        loop.resetForTesting();
    }

    platform::MainLoop& loop = platform::MainLoop::main();
    TestHttpServer server;
    std::shared_ptr<platform::OperationQueue> queue = platform::OperationQueue::create();
};

} // namespace

TEST_F(NetOperationBatchTest, ProgressCountsEachOperationAndCompletionComesAfterTheirOwnBlocks)
{
    std::vector<std::string> events;
    std::vector<std::shared_ptr<NetURLConnectionOperation>> operations;
    for (int i = 0; i < 3; ++i) {
        auto operation = NetHTTPRequestOperation::create(platform::URLRequest(Url::parse(server.url("/" + std::to_string(i)))));
        operation->setCompletionBlockWithSuccess([&events, i](const auto&, const std::any&) { events.push_back("own " + std::to_string(i)); },
            [&events](const auto&, const platform::Error&) { events.push_back("failed"); });
        operations.push_back(operation);
    }
    std::vector<std::size_t> finishedCounts;
    bool onMain = true;
    int completions = 0;
    auto batch = NetURLConnectionOperation::batchOfRequestOperations(operations,
        [&](std::size_t finished, std::size_t total) {
            EXPECT_EQ(total, 3u);
            onMain = onMain && platform::isMainThread();
            finishedCounts.push_back(finished);
        },
        [&](const auto& list) {
            onMain = onMain && platform::isMainThread();
            EXPECT_EQ(list.size(), 3u);
            events.push_back("batch");
            ++completions;
        });
    ASSERT_EQ(batch.size(), 4u);
    for (const auto& operation : batch)
        queue->addOperation(operation);
    ASSERT_TRUE(loop.runUntil([&] { return completions > 0; }, 10s));

    EXPECT_TRUE(onMain);
    EXPECT_EQ(completions, 1);
    ASSERT_EQ(finishedCounts.size(), 3u);
    EXPECT_EQ(*std::max_element(finishedCounts.begin(), finishedCounts.end()), 3u);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events.back(), "batch");
    EXPECT_EQ(std::count(events.begin(), events.end(), "failed"), 0);
}

TEST_F(NetOperationBatchTest, AnEmptyBatchIsOneBlockOperationReportingAnEmptyList)
{
    std::optional<std::size_t> reported;
    auto batch = NetURLConnectionOperation::batchOfRequestOperations({}, nullptr, [&](const auto& list) { reported = list.size(); });
    ASSERT_EQ(batch.size(), 1u);
    ASSERT_TRUE(std::dynamic_pointer_cast<platform::BlockOperation>(batch.front()));
    queue->addOperation(batch.front());
    ASSERT_TRUE(loop.runUntil([&] { return reported.has_value(); }, 10s));
    EXPECT_EQ(*reported, 0u);

    // A cancelled block operation finishes without running its function.
    bool ran = false;
    auto cancelled = platform::BlockOperation::create([&] { ran = true; });
    cancelled->cancel();
    cancelled->start();
    EXPECT_TRUE(cancelled->isFinished());
    EXPECT_FALSE(ran);
}

TEST_F(NetOperationBatchTest, ACopyOfAFinishedOperationIsReadyWithItsBlocksAndAFreshSerializer)
{
    auto original = NetHTTPRequestOperation::create(platform::URLRequest(Url::parse(server.url("/x"))));
    int progressCalls = 0;
    original->setDownloadProgressBlock([&](auto, auto, auto) { ++progressCalls; });
    auto group = platform::DispatchGroup::create();
    original->setCompletionGroup(group);
    original->setResponseSerializer(NetJSONResponseSerializer::serializer());
    bool done = false;
    original->setCompletionBlockWithSuccess([&](const auto&, const std::any&) { done = true; }, [&](const auto&, const auto&) { done = true; });
    original->start();
    ASSERT_TRUE(loop.runUntil([&] { return done; }, 10s));

    auto copy = std::dynamic_pointer_cast<NetHTTPRequestOperation>(original->copy());
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->isReady());
    EXPECT_FALSE(copy->response());
    EXPECT_FALSE(copy->responseData());
    EXPECT_EQ(copy->request().url()->absoluteString(), server.url("/x"));
    EXPECT_EQ(copy->completionGroup(), group);
    ASSERT_TRUE(std::dynamic_pointer_cast<NetJSONResponseSerializer>(copy->responseSerializer()));
    EXPECT_NE(copy->responseSerializer(), original->responseSerializer());

    int before = progressCalls;
    bool copyDone = false;
    copy->setCompletionBlock([&] { copyDone = true; });
    copy->start();
    ASSERT_TRUE(loop.runUntil([&] { return copyDone; }, 10s));
    EXPECT_GT(progressCalls, before) << "the copy carries the progress block";
}

TEST_F(NetOperationBatchTest, AnExpiredBackgroundTaskCancelsItsOperationAndEndsTheTask)
{
    auto& application = platform::Application::shared();
    application.resetForTesting();
    auto gate = std::make_shared<morvix::testing::TestGate>();
    TestHttpServer held;
    held.route("/held", TestResponse().withChunks({ "a", "b" }).withHoldAfterFirstChunk(gate));
    held.start();
    auto operation = NetURLConnectionOperation::create(platform::URLRequest(Url::parse(held.url("/held"))));
    int expirations = 0;
    operation->setShouldExecuteAsBackgroundTaskWithExpirationHandler([&] { ++expirations; });
    operation->setShouldExecuteAsBackgroundTaskWithExpirationHandler([&] { expirations += 100; }); // only the first counts
    ASSERT_EQ(application.openBackgroundTasks().size(), 1u);
    EXPECT_NE(application.openBackgroundTasks().front(), platform::Application::kInvalidBackgroundTask);
    operation->start();
    ASSERT_TRUE(loop.runUntil([&] { return operation->totalBytesRead() > 0; }, 10s));
    application.expireBackgroundTasks();
    EXPECT_EQ(expirations, 1);
    EXPECT_TRUE(application.openBackgroundTasks().empty());
    ASSERT_TRUE(loop.runUntil([&] { return operation->isFinished(); }, 10s));
    ASSERT_TRUE(operation->error());
    EXPECT_EQ(operation->error()->code(), platform::kURLErrorCancelled);
    gate->open();

    // Releasing an operation ends its task.
    auto released = NetURLConnectionOperation::create(platform::URLRequest(Url::parse(held.url("/held"))));
    released->setShouldExecuteAsBackgroundTaskWithExpirationHandler(nullptr);
    EXPECT_EQ(application.openBackgroundTasks().size(), 1u);
    released.reset();
    EXPECT_TRUE(application.openBackgroundTasks().empty());
}
