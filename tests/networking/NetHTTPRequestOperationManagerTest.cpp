#include "networking/NetHTTPRequestOperationManager.h"

#include "networking/NetHTTPRequestSerializer.h"
#include "networking/NetJSONResponseSerializer.h"
#include "networking/NetNetworkReachabilityManager.h"
#include "networking/NetSecurityPolicy.h"
#include "platform/foundation/MainLoop.h"
#include "platform/net/OperationQueue.h"
#include "platform/net/URLError.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

using namespace morvix;
using namespace std::chrono_literals;
using morvix::platform::Error;
using morvix::platform::Url;
using morvix::platform::Value;
using morvix::testing::TestHttpServer;
using morvix::testing::TestResponse;

namespace {

class NetHTTPRequestOperationManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        server.route("/api/items", TestResponse().withHeader("Content-Type", "application/json").withBody("{\"b\":1,\"a\":[true]}"));
        server.route("/api/held", TestResponse().withChunks({ "[1,", "2]" }).withHoldAfterFirstChunk(gate));
        server.route("/api/missing", TestResponse().withStatus(404).withHeader("Content-Type", "application/json").withBody("{\"e\":1}"));
        server.start();
        manager = NetHTTPRequestOperationManager::create(Url::parse(server.url("/api")));
    }
    void TearDown() override
    {
        gate->open();
        server.stop();
        loop.resetForTesting();
    }

    NetHTTPRequestOperationManager::SuccessBlock success()
    {
        return [this](const auto& operation, const std::any& object) {
            outcome.operation = operation;
            outcome.object = object;
            outcome.onMainThread = platform::isMainThread();
            ++outcome.calls;
        };
    }
    NetHTTPRequestOperationManager::FailureBlock failure()
    {
        return [this](const auto& operation, const Error& error) {
            outcome.operation = operation;
            outcome.error = error;
            outcome.onMainThread = platform::isMainThread();
            ++outcome.calls;
        };
    }
    bool runUntilDelivered() { return loop.runUntil([&] { return outcome.calls > 0; }, 5s); }

    struct Outcome {
        std::shared_ptr<NetHTTPRequestOperation> operation;
        std::optional<std::any> object;
        std::optional<Error> error;
        int calls = 0;
        bool onMainThread = false;
    };

    platform::MainLoop& loop = platform::MainLoop::main();
    std::shared_ptr<morvix::testing::TestGate> gate = std::make_shared<morvix::testing::TestGate>();
    TestHttpServer server;
    std::shared_ptr<NetHTTPRequestOperationManager> manager;
    Outcome outcome;
};

} // namespace

TEST(NetHTTPRequestOperationManagerBaseURLTest, PathGetsATrailingSlashAndAnEmptyPathIsKept)
{
    EXPECT_EQ(NetHTTPRequestOperationManager::create(Url::parse("http://h/api"))->baseURL()->absoluteString(), "http://h/api/");
    EXPECT_EQ(NetHTTPRequestOperationManager::create(Url::parse("http://h/api/"))->baseURL()->absoluteString(), "http://h/api/");
    EXPECT_EQ(NetHTTPRequestOperationManager::create(Url::parse("http://h/api?x=1"))->baseURL()->absoluteString(), "http://h/api/?x=1");
    EXPECT_EQ(NetHTTPRequestOperationManager::create(Url::parse("http://h"))->baseURL()->absoluteString(), "http://h");
    EXPECT_FALSE(NetHTTPRequestOperationManager::manager()->baseURL());
}

TEST(NetHTTPRequestOperationManagerBaseURLTest, RelativeStringsResolveBelowTheBasePath)
{
    auto manager = NetHTTPRequestOperationManager::create(Url::parse("http://h/app"));
    auto below = manager->HTTPRequestOperationWithHTTPMethod("GET", "x", std::nullopt, nullptr, nullptr);
    EXPECT_EQ(below->request().url()->absoluteString(), "http://h/app/x");
    auto rooted = manager->HTTPRequestOperationWithHTTPMethod("GET", "/y", std::nullopt, nullptr, nullptr);
    EXPECT_EQ(rooted->request().url()->absoluteString(), "http://h/y");
    auto absolute = manager->HTTPRequestOperationWithHTTPMethod("GET", "https://o/z", std::nullopt, nullptr, nullptr);
    EXPECT_EQ(absolute->request().url()->absoluteString(), "https://o/z");

    auto withoutBase = NetHTTPRequestOperationManager::manager()->HTTPRequestOperationWithHTTPMethod("GET", "rel", std::nullopt, nullptr, nullptr);
    ASSERT_TRUE(withoutBase->request().url());
    EXPECT_EQ(withoutBase->request().url()->absoluteString(), "rel");
}

TEST(NetHTTPRequestOperationManagerBaseURLTest, DefaultsAndSharedObjects)
{
    auto manager = NetHTTPRequestOperationManager::manager();
    EXPECT_TRUE(manager->shouldUseCredentialStorage());
    EXPECT_TRUE(std::dynamic_pointer_cast<NetJSONResponseSerializer>(manager->responseSerializer()));
    EXPECT_EQ(manager->reachabilityManager(), NetNetworkReachabilityManager::sharedManager());
    EXPECT_EQ(NetHTTPRequestOperationManager::manager()->reachabilityManager(), manager->reachabilityManager());
    EXPECT_NE(NetHTTPRequestOperationManager::manager()->operationQueue(), manager->operationQueue());

    auto first = manager->HTTPRequestOperationWithRequest(platform::URLRequest(Url::parse("http://h/")), nullptr, nullptr);
    EXPECT_EQ(first->securityPolicy(), manager->securityPolicy());
    EXPECT_EQ(first->responseSerializer(), manager->responseSerializer());
    // Changing the shared policy changes it for operations made before.
    manager->securityPolicy()->setAllowInvalidCertificates(true);
    EXPECT_TRUE(first->securityPolicy()->allowInvalidCertificates());
    EXPECT_FALSE(first->isExecuting());
    EXPECT_EQ(manager->operationQueue()->operationCount(), 0u);
}

TEST(NetHTTPRequestOperationManagerBaseURLTest, DescriptionAndCopy)
{
    auto manager = NetHTTPRequestOperationManager::manager();
    auto text = manager->description();
    EXPECT_EQ(text.rfind("<NetHTTPRequestOperationManager: 0x", 0), 0u) << text;
    EXPECT_NE(text.find(", baseURL: (null), operationQueue: <OperationQueue: 0x"), std::string::npos) << text;

    auto based = NetHTTPRequestOperationManager::create(Url::parse("http://h/a"));
    based->requestSerializer()->setValueForHTTPHeaderField("1", "X-Copied");
    based->setShouldUseCredentialStorage(false);
    auto copy = based->copy();
    EXPECT_EQ(copy->baseURL()->absoluteString(), "http://h/a/");
    EXPECT_NE(copy->requestSerializer(), based->requestSerializer());
    EXPECT_EQ(copy->requestSerializer()->valueForHTTPHeaderField("X-Copied"), "1");
    EXPECT_NE(copy->responseSerializer(), based->responseSerializer());
    EXPECT_TRUE(std::dynamic_pointer_cast<NetJSONResponseSerializer>(copy->responseSerializer()));
    EXPECT_TRUE(copy->shouldUseCredentialStorage());
}

TEST_F(NetHTTPRequestOperationManagerTest, GETIsQueuedStartedAndDecodedOnTheMainLoop)
{
    auto operation = manager->GET("items", Value { { "page", 2 } }, success(), failure());
    ASSERT_TRUE(operation);
    ASSERT_TRUE(runUntilDelivered());
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_TRUE(outcome.onMainThread);
    EXPECT_EQ(outcome.operation, operation);
    ASSERT_TRUE(outcome.object);
    auto value = std::any_cast<Value>(*outcome.object);
    EXPECT_EQ(value.dump(), "{\"b\":1,\"a\":[true]}");
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/api/items?page=2");
    EXPECT_TRUE(requests[0].header("User-Agent"));
    EXPECT_TRUE(requests[0].header("Accept-Language"));
}

TEST_F(NetHTTPRequestOperationManagerTest, HEADGivesTheOperationOnly)
{
    std::shared_ptr<NetHTTPRequestOperation> received;
    int calls = 0;
    auto operation = manager->HEAD("items", std::nullopt,
        [&](const auto& operation) {
            received = operation;
            ++calls;
        },
        failure());
    ASSERT_TRUE(loop.runUntil([&] { return calls > 0 || outcome.calls > 0; }, 5s));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(received, operation);
    EXPECT_EQ(server.requests().at(0).method, "HEAD");
}

TEST_F(NetHTTPRequestOperationManagerTest, BodyMethodsSendAFormBody)
{
    for (const std::string method : { "POST", "PUT", "PATCH" }) {
        outcome = {};
        auto parameters = Value { { "name", "a b" } };
        if (method == "POST")
            manager->POST("items", parameters, success(), failure());
        else if (method == "PUT")
            manager->PUT("items", parameters, success(), failure());
        else
            manager->PATCH("items", parameters, success(), failure());
        ASSERT_TRUE(runUntilDelivered()) << method;
        auto request = server.requests().back();
        EXPECT_EQ(request.method, method);
        EXPECT_EQ(request.target, "/api/items");
        EXPECT_EQ(request.body, "name=a%20b");
        EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
    }
    outcome = {};
    manager->DELETE("items", Value { { "id", 3 } }, success(), failure());
    ASSERT_TRUE(runUntilDelivered());
    EXPECT_EQ(server.requests().back().method, "DELETE");
    EXPECT_EQ(server.requests().back().target, "/api/items?id=3");
    EXPECT_EQ(server.requests().back().body, "");
}

TEST_F(NetHTTPRequestOperationManagerTest, StatusFailureReachesFailureWithTheOperation)
{
    auto operation = manager->GET("missing", std::nullopt, success(), failure());
    ASSERT_TRUE(runUntilDelivered());
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), -1011);
    EXPECT_EQ(outcome.operation, operation);
}

TEST_F(NetHTTPRequestOperationManagerTest, RequestSerializerErrorFailsLaterWithoutAnOperation)
{
    manager->requestSerializer()->setQueryStringSerializationWithBlock(
        [](const platform::URLRequest&, const Value&, std::optional<Error>* error) -> std::optional<std::string> {
            *error = Error("test", 5);
            return std::nullopt;
        });
    outcome.operation = NetHTTPRequestOperation::create(platform::URLRequest());
    auto operation = manager->GET("items", Value::object(), success(), failure());
    EXPECT_FALSE(operation);
    EXPECT_EQ(outcome.calls, 0); // asynchronous
    EXPECT_EQ(manager->operationQueue()->operationCount(), 0u);
    ASSERT_TRUE(runUntilDelivered());
    EXPECT_TRUE(outcome.onMainThread);
    EXPECT_FALSE(outcome.operation);
    ASSERT_TRUE(outcome.error);
    EXPECT_TRUE(outcome.error->is("test", 5));
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(NetHTTPRequestOperationManagerTest, CompletionQueueAndGroupAreGivenToEveryOperation)
{
    std::atomic<int> queued { 0 };
    auto group = platform::DispatchGroup::create();
    manager->setCompletionQueue([&](std::function<void()> task) {
        ++queued;
        platform::mainDispatchQueue()(std::move(task));
    });
    manager->setCompletionGroup(group);
    auto operation = manager->GET("items", std::nullopt, success(), failure());
    EXPECT_EQ(operation->completionGroup(), group);
    ASSERT_TRUE(runUntilDelivered());
    // The completion block and then the success delivery both go through the queue.
    EXPECT_EQ(queued.load(), 2);
    EXPECT_TRUE(loop.runUntil([&] { return group->count() == 0; }, 5s));
}

TEST_F(NetHTTPRequestOperationManagerTest, CancellingTheQueueFailsRunningAndQueuedOperationsWithCancelled)
{
    manager->operationQueue()->setMaxConcurrentOperationCount(1);
    std::vector<std::shared_ptr<NetHTTPRequestOperation>> failed;
    auto record = [&](const auto& operation, const Error& error) {
        if (error.is(platform::URLErrorDomain, platform::kURLErrorCancelled))
            failed.push_back(operation);
    };
    auto running = manager->GET("held", std::nullopt, success(), record);
    auto queued = manager->GET("items", std::nullopt, success(), record);
    ASSERT_TRUE(loop.runUntil([&] { return running->totalBytesRead() > 0; }, 5s));
    EXPECT_FALSE(queued->isExecuting());
    manager->operationQueue()->cancelAllOperations();
    ASSERT_TRUE(loop.runUntil([&] { return failed.size() == 2; }, 5s));
    EXPECT_EQ(outcome.calls, 0);
    EXPECT_TRUE(loop.runUntil([&] { return manager->operationQueue()->operationCount() == 0; }, 5s));
    EXPECT_EQ(server.requestCount(), 1u);
}
