#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetJSONResponseSerializer.h"

#include "platform/foundation/MainLoop.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/MemoryOutputStream.h"
#include "platform/net/URLError.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

using namespace morvix;
using namespace std::chrono_literals;
using morvix::platform::Error;
using morvix::testing::TestHttpServer;
using morvix::testing::TestResponse;

namespace {

class NetHTTPRequestOperationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        server.route("/text", TestResponse().withHeader("Content-Type", "text/plain").withHeader("ETag", "\"v1\"").withBody("hello"));
        server.route("/missing", TestResponse().withStatus(404).withHeader("Content-Type", "text/plain").withBody("gone"));
        server.route("/empty", TestResponse().withStatus(204));
        server.route("/json", TestResponse().withHeader("Content-Type", "application/json").withBody("{\"a\":[1,2]}"));
        server.route("/json-error", TestResponse().withStatus(500).withHeader("Content-Type", "application/json").withBody("{\"e\":1}"));
        server.route("/html", TestResponse().withHeader("Content-Type", "text/html").withBody("<p>"));
        server.start();
    }
    void TearDown() override
    {
        server.stop();
        loop.resetForTesting();
    }

    struct Outcome {
        std::optional<std::any> object;
        std::optional<Error> error;
        int calls = 0;
        bool onMainThread = false;
    };

    std::shared_ptr<NetHTTPRequestOperation> operation(const std::string& path,
        std::shared_ptr<NetHTTPResponseSerializer> serializer = nullptr)
    {
        auto made = NetHTTPRequestOperation::create(platform::URLRequest(platform::Url::parse(server.url(path))));
        if (serializer)
            made->setResponseSerializer(std::move(serializer));
        made->setCompletionBlockWithSuccess(
            [this](const auto&, const std::any& object) {
                outcome.object = object;
                outcome.onMainThread = platform::isMainThread();
                ++outcome.calls;
            },
            [this](const auto&, const Error& error) {
                outcome.error = error;
                outcome.onMainThread = platform::isMainThread();
                ++outcome.calls;
            });
        return made;
    }

    bool runUntilDelivered()
    {
        return loop.runUntil([&] { return outcome.calls > 0; }, 5s);
    }

    platform::MainLoop& loop = platform::MainLoop::main();
    TestHttpServer server;
    Outcome outcome;
};

} // namespace

TEST_F(NetHTTPRequestOperationTest, SuccessGetsTheRawBodyOnTheMainLoop)
{
    auto request = operation("/text");
    request->start();
    ASSERT_TRUE(runUntilDelivered());
    loop.runUntilIdle();
    EXPECT_EQ(outcome.calls, 1);
    ASSERT_TRUE(outcome.object);
    EXPECT_EQ(std::any_cast<std::string>(*outcome.object), "hello");
    EXPECT_TRUE(outcome.onMainThread);
    ASSERT_TRUE(request->response());
    EXPECT_EQ(request->response()->statusCode(), 200);
    EXPECT_FALSE(request->error());
}

TEST_F(NetHTTPRequestOperationTest, AStatusOutsideTheTwoHundredsGoesToFailureWithTheBody)
{
    auto request = operation("/missing");
    request->start();
    ASSERT_TRUE(runUntilDelivered());
    loop.runUntilIdle();
    EXPECT_EQ(outcome.calls, 1);
    ASSERT_TRUE(outcome.error);
    EXPECT_TRUE(outcome.error->is(NetURLResponseSerializationErrorDomain, -1011));
    EXPECT_EQ(outcome.error->description(), "Request failed: " + platform::HTTPURLResponse::localizedStringForStatusCode(404) + " (404)");
    ASSERT_TRUE(outcome.error->value<std::string>(NetworkingOperationFailingURLResponseDataErrorKey));
    EXPECT_EQ(*outcome.error->value<std::string>(NetworkingOperationFailingURLResponseDataErrorKey), "gone");
    // The base serializer still hands out the body.
    EXPECT_EQ(std::any_cast<std::string>(request->responseObject()), "gone");
    // Holders of the base type (the network logger) see the validation error too.
    std::shared_ptr<NetURLConnectionOperation> base = request;
    ASSERT_TRUE(base->error());
    EXPECT_EQ(base->error()->code(), -1011);
}

TEST_F(NetHTTPRequestOperationTest, ANoContentResponseSucceeds)
{
    auto request = operation("/empty");
    request->start();
    ASSERT_TRUE(runUntilDelivered());
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(request->response()->statusCode(), 204);
}

TEST_F(NetHTTPRequestOperationTest, JSONIsDecodedOnTheWayAndAServerErrorStillCarriesTheObject)
{
    auto request = operation("/json", NetJSONResponseSerializer::serializer());
    request->start();
    ASSERT_TRUE(runUntilDelivered());
    ASSERT_TRUE(outcome.object);
    EXPECT_EQ(std::any_cast<platform::Value>(*outcome.object)["a"][1], 2);

    outcome = {};
    auto failing = operation("/json-error", NetJSONResponseSerializer::serializer());
    failing->start();
    ASSERT_TRUE(runUntilDelivered());
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), -1011);
    EXPECT_EQ(std::any_cast<platform::Value>(failing->responseObject())["e"], 1);

    outcome = {};
    auto html = operation("/html", NetJSONResponseSerializer::serializer());
    html->start();
    ASSERT_TRUE(runUntilDelivered());
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), -1016);
    EXPECT_FALSE(html->responseObject().has_value());
}

TEST_F(NetHTTPRequestOperationTest, ReplacingTheSerializerDecodesAgain)
{
    auto request = operation("/html", NetJSONResponseSerializer::serializer());
    request->start();
    ASSERT_TRUE(runUntilDelivered());
    ASSERT_TRUE(request->responseSerializationError());
    request->setResponseSerializer(NetHTTPResponseSerializer::serializer());
    EXPECT_FALSE(request->error());
    EXPECT_EQ(std::any_cast<std::string>(request->responseObject()), "<p>");
}

TEST_F(NetHTTPRequestOperationTest, TransferErrorsGoToFailureUnchanged)
{
    int port = server.port();
    server.stop();
    auto request = NetHTTPRequestOperation::create(platform::URLRequest(platform::Url::parse("http://127.0.0.1:" + std::to_string(port) + "/")));
    request->setCompletionBlockWithSuccess(nullptr, [this](const auto&, const Error& error) {
        outcome.error = error;
        ++outcome.calls;
    });
    request->start();
    ASSERT_TRUE(runUntilDelivered());
    EXPECT_EQ(outcome.error->domain(), platform::URLErrorDomain);
    EXPECT_FALSE(request->responseObject().has_value());
}

TEST_F(NetHTTPRequestOperationTest, ACompletionGroupCoversTheWholeDeliveryOnTheGivenQueue)
{
    auto group = platform::DispatchGroup::create();
    std::atomic<bool> delivered { false };
    std::atomic<bool> offMain { false };
    std::atomic<bool> notified { false };
    auto request = NetHTTPRequestOperation::create(platform::URLRequest(platform::Url::parse(server.url("/text"))));
    request->setCompletionQueue(platform::globalDispatchQueue());
    request->setCompletionGroup(group);
    request->setCompletionBlockWithSuccess([&](const auto&, const std::any&) {
        offMain = !platform::isMainThread();
        delivered = true;
    }, nullptr);
    request->start();
    ASSERT_TRUE(loop.runUntil([&] { return delivered.load(); }, 5s));
    group->notify(platform::mainDispatchQueue(), [&] { notified = true; });
    ASSERT_TRUE(loop.runUntil([&] { return notified.load(); }, 5s));
    EXPECT_TRUE(offMain);
}

TEST_F(NetHTTPRequestOperationTest, AnotherCompletionQueueIsServedWhileTheMainLoopIsNotRunning)
{
    auto body = std::make_shared<std::promise<std::string>>();
    auto delivered = body->get_future();
    auto request = NetHTTPRequestOperation::create(platform::URLRequest(platform::Url::parse(server.url("/text"))));
    request->setCompletionQueue(platform::globalDispatchQueue());
    request->setCompletionBlockWithSuccess([body](const auto&, const std::any& object) {
        body->set_value(platform::isMainThread() ? "on main" : std::any_cast<std::string>(object));
    }, nullptr);
    request->start();
    ASSERT_EQ(delivered.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(delivered.get(), "hello");
}

TEST_F(NetHTTPRequestOperationTest, DroppingTheOperationAfterStartStillDeliversOnce)
{
    operation("/text")->start();
    ASSERT_TRUE(runUntilDelivered());
    loop.runUntilIdle();
    EXPECT_EQ(outcome.calls, 1);
}

TEST_F(NetHTTPRequestOperationTest, PauseAsksForTheRestOfTheBody)
{
    auto ready = NetHTTPRequestOperation::create(platform::URLRequest(platform::Url::parse(server.url("/text"))));
    auto stream = platform::MemoryOutputStream::create();
    stream->open();
    std::string thousand(1000, 'x');
    stream->write(thousand.data(), thousand.size());
    ready->setOutputStream(stream);
    ready->pause();
    EXPECT_TRUE(ready->isPaused());
    EXPECT_EQ(ready->request().valueForHeader("Range"), "bytes=1000-");
    EXPECT_FALSE(ready->request().valueForHeader("If-Range"));

    // A finished operation cannot pause, but its request is rewritten all the same, with the
    // response's entity tag.
    auto finished = operation("/text");
    finished->start();
    ASSERT_TRUE(runUntilDelivered());
    finished->pause();
    EXPECT_TRUE(finished->isFinished());
    EXPECT_EQ(finished->request().valueForHeader("If-Range"), "\"v1\"");
    EXPECT_EQ(finished->request().valueForHeader("Range"), "bytes=0-");
}
