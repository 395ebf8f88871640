#include "core/session/ServerPush.h"

#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/HeadNotification.h"
#include "core/outgoing/Notifications.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "core/session/MorvixHTTPClient.h"
#include "networking/NetHTTPRequestOperation.h"
#include "platform/net/DispatchGroup.h"
#include "platform/net/URLError.h"
#include "tests/support/SessionFixture.h"

using namespace morvix;
using namespace morvix::testing;
using namespace std::chrono_literals;

namespace {

constexpr const char* kActivate = R"({"head":{},"operations":[["set","zub.client.ServerPush",{"active":true}]]})";
constexpr const char* kDeactivate = R"({"head":{},"operations":[["set","zub.client.ServerPush",{"active":false}]]})";
constexpr const char* kEmpty = R"({"head":{},"operations":[]})";
constexpr const char* kLongPollQuery = "servicehandler=org.quendal.vek.serverpush";

/// A server for "<url>/app/": the session GET activates server push; each long poll is held
/// until the test opens its gate (or refused at once while the server is "down"); POSTs are
/// answered at once, with a deactivation when the test asks for one.
class ServerPushTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        for (auto& gate : gates)
            gate = std::make_shared<TestGate>();
        server.handle("*", [this](const RecordedRequest& request, ResponseWriter& writer) {
            if (request.method == "POST") {
                writer.respond(200, deactivateOnPost ? kDeactivate : kEmpty);
                return;
            }
            if (request.query.empty()) {
                writer.respond(200, kActivate);
                return;
            }
            if (down) {
                writer.closeConnection(); // no answer at all: the long poll fails
                return;
            }
            auto index = m_held++;
            if (index < gates.size())
                writer.waitFor(*gates[index]);
            writer.respond(200, "");
        });
        server.start();
        delegate->url = server.url("/app/");
    }

    void TearDown() override
    {
        push.reset();
        SessionFixture::TearDown();
        platform::Clock::install(nullptr);
        WidgetRegistry::instance().resetForTesting();
    }

    void startSession()
    {
        makeClient();
        client->load();
        ASSERT_TRUE(pumpUntil([&] { return longPolls() == 1; }));
        push = std::dynamic_pointer_cast<ServerPush>(client->objectRegistry()->serverPushObject());
        ASSERT_TRUE(push);
        ASSERT_TRUE(pumpUntil([&] { return push->httpOperation() && push->httpOperation()->isExecuting(); }));
    }

    /// A session without bindings, for driving the push object by hand.
    void startQuietSession()
    {
        client = MorvixClient::create(window, {}, MorvixClient::ApplicationFrame::Off);
        client->setDelegate(delegate);
        client->load();
        push = std::static_pointer_cast<ServerPush>(ServerPush::create(std::string(ServerPush::kRemoteType), nullptr, client));
        push->setActive(true);
    }

    std::size_t longPolls() const
    {
        std::size_t count = 0;
        for (const auto& request : server.requests())
            count += request.query == kLongPollQuery ? 1 : 0;
        return count;
    }

    /// Makes the delivery of `operation`'s outcome observable: the operation drops its
    /// completion block only after its completion group has drained, that is after the push
    /// object has heard of the outcome.
    static void watchDelivery(const std::shared_ptr<NetHTTPRequestOperation>& operation)
    {
        operation->setCompletionGroup(platform::DispatchGroup::create());
    }
    bool pumpUntilDelivered(const std::shared_ptr<NetHTTPRequestOperation>& operation)
    {
        return pumpUntil([&] { return operation->isFinished() && !operation->completionBlock(); });
    }

    static bool hasPing(const RecordedRequest& request)
    {
        auto body = platform::Value::parse(request.body, nullptr, false);
        return body.is_object() && body["head"].value("ping", false);
    }

    std::array<std::shared_ptr<TestGate>, 4> gates;
    std::atomic<std::size_t> m_held { 0 };
    std::atomic<bool> down { false };
    std::atomic<bool> deactivateOnPost { false };
    std::shared_ptr<ServerPush> push;
};

} // namespace

TEST_F(ServerPushTest, RequestURLKeepsTheBaseURLTextAndJoinsAnExistingQuery)
{
    startQuietSession();
    client->httpClient()->setBaseURL("http://push.test/app/");
    EXPECT_EQ(push->requestURL(), "http://push.test/app/?servicehandler=org.quendal.vek.serverpush");
    client->httpClient()->setBaseURL("http://push.test/app?user=1");
    EXPECT_EQ(push->requestURL(), "http://push.test/app?user=1&servicehandler=org.quendal.vek.serverpush");

    auto request = push->requestWithURL(*platform::Url::parse(*push->requestURL()));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method(), "GET");
    EXPECT_FALSE(request->hasTimeout());
    EXPECT_TRUE(request->valueForHeader("User-Agent"));
}

TEST_F(ServerPushTest, WithoutASessionOrServerThereIsNoLongPoll)
{
    push = std::static_pointer_cast<ServerPush>(ServerPush::create(std::string(ServerPush::kRemoteType), nullptr, nullptr));
    push->setActive(true);
    push->establishLink();
    EXPECT_EQ(push->requestURL(), std::nullopt);
    EXPECT_EQ(push->httpOperation(), nullptr);

    startQuietSession(); // a session without a server URL yet
    client->httpClient()->setBaseURL("");
    push->establishLink();
    EXPECT_EQ(push->httpOperation(), nullptr);
}

TEST_F(ServerPushTest, RetryDelayDoublesFromOneSecondUpToAMinute)
{
    EXPECT_EQ(ServerPush::retryDelay(1), 0s);
    EXPECT_EQ(ServerPush::retryDelay(2), 1s);
    EXPECT_EQ(ServerPush::retryDelay(3), 2s);
    EXPECT_EQ(ServerPush::retryDelay(7), 32s);
    EXPECT_EQ(ServerPush::retryDelay(8), 60s);
    EXPECT_EQ(ServerPush::retryDelay(1000), 60s);
}

TEST_F(ServerPushTest, LongPollIsHeldUntilAnsweredThenPingedAndReopened)
{
    startSession();
    auto first = server.requests().back();
    EXPECT_EQ(first.method, "GET");
    EXPECT_EQ(first.target, "/app/?servicehandler=org.quendal.vek.serverpush");
    EXPECT_TRUE(first.header("User-Agent"));

    // Another exchange ends with an empty flush: the open long poll is left alone.
    auto opened = push->httpOperation();
    Notifications::forHead()->setAttribute(true, "other").send();
    ASSERT_TRUE(pumpUntilRequests(3));
    EXPECT_EQ(longPolls(), 1u);
    EXPECT_EQ(push->httpOperation(), opened);
    EXPECT_FALSE(hasPing(posts().back()));

    gates[0]->open();
    ASSERT_TRUE(pumpUntil([&] { return longPolls() == 2; }));
    auto sent = posts();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(hasPing(sent[1]));
}

TEST_F(ServerPushTest, SuspendStopsTheLongPollForGoodAndResumeReopensIt)
{
    startSession();
    auto opened = push->httpOperation();
    watchDelivery(opened);
    client->suspend();
    ASSERT_TRUE(pumpUntilDelivered(opened));
    platform::MainLoop::main().runUntilIdle();

    ASSERT_TRUE(opened->error());
    EXPECT_TRUE(opened->error()->is(platform::URLErrorDomain, platform::kURLErrorCancelled));
    EXPECT_EQ(push->httpOperation(), opened); // not replaced: nothing reopened it
    EXPECT_FALSE(push->isWaitingToReopen());
    EXPECT_EQ(longPolls(), 1u);

    client->resume();
    ASSERT_TRUE(pumpUntil([&] { return longPolls() == 2; }));
    ASSERT_FALSE(posts().empty());
    EXPECT_TRUE(hasPing(posts().back()));
}

TEST_F(ServerPushTest, DeactivationByTheServerCancelsTheLongPollWithoutAPing)
{
    startSession();
    auto opened = push->httpOperation();
    watchDelivery(opened);
    deactivateOnPost = true;
    Notifications::forHead()->setAttribute(true, "other").send();
    ASSERT_TRUE(pumpUntilDelivered(opened));
    ASSERT_TRUE(pumpUntilRequests(3));

    EXPECT_FALSE(push->isActive());
    EXPECT_TRUE(opened->isCancelled());
    EXPECT_EQ(push->httpOperation(), opened);
    EXPECT_EQ(longPolls(), 1u);
    for (const auto& post : posts())
        EXPECT_FALSE(hasPing(post));
}

TEST_F(ServerPushTest, DestroyAndDestructionCancelTheLongPoll)
{
    startQuietSession();
    push->establishLink();
    auto opened = push->httpOperation();
    ASSERT_TRUE(opened);
    push->destroy();
    EXPECT_FALSE(push->isActive());
    EXPECT_TRUE(opened->isCancelled());

    push->setActive(true);
    push->establishLink();
    auto reopened = push->httpOperation();
    ASSERT_NE(reopened, opened);
    push.reset();
    EXPECT_TRUE(reopened->isCancelled());
}

TEST_F(ServerPushTest, ServerGoingAwayBacksOffAndComingBackEndsTheSeries)
{
    auto clock = std::make_shared<platform::ManualClock>();
    platform::Clock::install(clock);
    auto& loop = platform::MainLoop::main();
    down = true;
    startQuietSession();
    auto replaced = [&](const std::shared_ptr<NetHTTPRequestOperation>& operation) {
        return pumpUntil([&] { return push->httpOperation() != operation; });
    };

    push->establishLink();
    auto first = push->httpOperation();
    ASSERT_TRUE(replaced(first)); // the first failure reopens at once
    auto second = push->httpOperation();
    ASSERT_TRUE(pumpUntil([&] { return push->isWaitingToReopen(); }));
    push->establishLink(); // an empty flush meanwhile does not cut the delay short
    loop.advanceBy(999ms);
    EXPECT_EQ(push->httpOperation(), second);
    loop.advanceBy(1ms);
    auto third = push->httpOperation();
    EXPECT_NE(third, second);

    ASSERT_TRUE(pumpUntil([&] { return push->isWaitingToReopen(); }));
    loop.advanceBy(1999ms);
    EXPECT_EQ(push->httpOperation(), third);
    down = false; // the server comes back
    loop.advanceBy(1ms);
    auto held = push->httpOperation();
    ASSERT_NE(held, third);
    ASSERT_TRUE(pumpUntil([&] { return m_held == 1; }));

    int pings = 0;
    auto token = platform::NotificationCenter::defaultCenter()->addObserver(Message::kSendNotification, nullptr,
        [&](const platform::Notification&) { ++pings; });
    watchDelivery(held);
    gates[0]->open();
    ASSERT_TRUE(pumpUntilDelivered(held));
    EXPECT_EQ(pings, 1);

    // After an answer, a failure is again reopened at once.
    down = true;
    push->establishLink();
    auto failing = push->httpOperation();
    ASSERT_TRUE(replaced(failing));
    ASSERT_TRUE(pumpUntil([&] { return push->isWaitingToReopen(); }));
}
