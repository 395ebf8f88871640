// End-to-end tests of a session against a scripted server on loopback: the session GET, the
// POST of every message, the request counter, the single repeat, reload and error reporting,
// the server identity, suspend, resume and terminate.

#include "tests/support/SessionFixture.h"

#include "core/base/LogEntry.h"
#include "core/outgoing/Notifications.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "core/session/ErrorHandler.h"
#include "core/session/MorvixHTTPClient.h"
#include "platform/foundation/SystemLog.h"
#include "platform/foundation/Value.h"
#include "platform/ui/AlertView.h"
#include "tests/support/RecordingErrorDelegate.h"
#include "tests/support/SessionNotificationCounter.h"

#include <atomic>
#include <cstdlib>
#include <thread>

namespace morvix::testing {
namespace {

using platform::Value;

constexpr const char* kEmptyBody = R"({"head":{},"operations":[]})";
// A body whose head moves the session elsewhere: whether it was applied shows in the base URL.
constexpr const char* kRelocatingBody = R"({"head":{"url":"http://elsewhere.invalid/"},"operations":[]})";

std::string counterBody(int counter)
{
    return R"({"head":{"requestCounter":)" + std::to_string(counter) + R"(},"operations":[]})";
}

Value bodyOf(const RecordedRequest& request)
{
    return Value::parse(request.body);
}

void sendHead(const std::string& key)
{
    auto head = Notifications::forHead();
    head->setAttribute(true, key);
    head->send();
}

class SessionTest : public SessionFixture {
protected:
    /// GET answers `getBody`; POST number n (from 1) answers `postStatus(n)` with a body that
    /// announces counter n + 1 unless `postsAnnounce` is false.
    void serve(std::string getBody, std::function<int(int)> postStatus = {}, TestHeaders getHeaders = {})
    {
        server.handle("*", [this, getBody, postStatus, getHeaders](const RecordedRequest& request, ResponseWriter& writer) {
            if (request.method == "GET") {
                ++m_gets;
                writer.respond(200, getBody, getHeaders);
                return;
            }
            int number = ++m_posts;
            int status = postStatus ? postStatus(number) : 200;
            writer.respond(status, postsAnnounce ? counterBody(number + 1) : std::string(kEmptyBody));
        });
        server.start();
        delegate->url = server.url("/app/");
    }

    void startSession()
    {
        makeClient();
        client->setErrorDelegate(errors);
        client->load();
        ASSERT_TRUE(pumpUntilRequests(1));
    }

    /// Starts a session without an error delegate, sends a message and waits for the built-in
    /// handler's alert.
    bool sendUntilBuiltInAlertShows()
    {
        makeClient();
        client->load();
        if (!pumpUntilRequests(1))
            return false;
        sendHead("event");
        return pumpUntil([&] {
            auto handler = client->errorHandler();
            return handler && handler->errorDialog() && handler->errorDialog()->isVisible();
        });
    }

    std::shared_ptr<RecordingErrorDelegate> errors = std::make_shared<RecordingErrorDelegate>();
    std::atomic<int> m_gets { 0 };
    std::atomic<int> m_posts { 0 };
    std::atomic<bool> postsAnnounce { true };
};

TEST_F(SessionTest, SessionGetGoesToTheServerURLWithoutItsTrailingSlash)
{
    serve(kEmptyBody);
    startSession();
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/app");
    EXPECT_EQ(requests[0].header("Accept"), "application/json");
    EXPECT_TRUE(client->isActive());
}

TEST_F(SessionTest, EveryPostCarriesTheCounterTheServerAnnouncedLast)
{
    serve(counterBody(1));
    startSession();
    sendHead("first");
    ASSERT_TRUE(pumpUntilRequests(2));
    sendHead("second");
    ASSERT_TRUE(pumpUntilRequests(3));

    auto sent = posts();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(bodyOf(sent[0])["head"]["requestCounter"], 1);
    EXPECT_EQ(bodyOf(sent[0])["head"]["first"], true);
    EXPECT_EQ(bodyOf(sent[1])["head"]["requestCounter"], 2);
    EXPECT_EQ(sent[0].header("Content-Type"), "application/json; charset=utf-8");
    EXPECT_EQ(sent[0].target, "/app");
    EXPECT_TRUE(errors->errors.empty());
}

TEST_F(SessionTest, WithoutAnnouncedCounterPostsCarryNoneAndNeverFail)
{
    postsAnnounce = false;
    serve(kEmptyBody);
    startSession();
    for (int i = 0; i < 3; ++i) {
        sendHead("tick");
        ASSERT_TRUE(pumpUntilRequests(2 + static_cast<std::size_t>(i)));
    }
    for (const auto& post : posts())
        EXPECT_FALSE(bodyOf(post)["head"].contains("requestCounter"));
    EXPECT_TRUE(errors->errors.empty());
}

TEST_F(SessionTest, ReusedCounterIsReportedAndTheMessageDropped)
{
    postsAnnounce = false;
    serve(counterBody(5));
    startSession();
    sendHead("first");
    ASSERT_TRUE(pumpUntilRequests(2));
    sendHead("second");
    platform::MainLoop::main().runUntilIdle();

    EXPECT_EQ(posts().size(), 1u);
    EXPECT_EQ(bodyOf(posts()[0])["head"]["requestCounter"], 5);
    ASSERT_EQ(errors->errors.size(), 1u);
    EXPECT_TRUE(errors->errors[0].is("vek", 500));
    EXPECT_EQ(errors->errors[0].description(), "Invalid State");
    EXPECT_EQ(errors->errors[0].failureReason(), "A request with this RequestCounter was already sent.");
    // Nothing was kept to repeat: the user's "Retry" sends nothing.
    client->retry();
    platform::MainLoop::main().runUntilIdle();
    EXPECT_EQ(posts().size(), 1u);
}

TEST_F(SessionTest, FailedPostIsRepeatedOnceWithTheSameBodyAndCounter)
{
    serve(counterBody(1), [](int number) { return number == 1 ? 500 : 200; });
    startSession();
    SessionNotificationCounter counter({ ProtocolTransport::kOperationFailed, ProtocolTransport::kOperationSucceeded,
        ProtocolTransport::kProcessingFinished });
    sendHead("event");
    ASSERT_TRUE(pumpUntilRequests(3));

    auto sent = posts();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].body, sent[1].body);
    EXPECT_EQ(bodyOf(sent[1])["head"]["requestCounter"], 1);
    EXPECT_TRUE(errors->errors.empty());
    EXPECT_EQ(counter.order(), (std::vector<std::string> { ProtocolTransport::kOperationFailed, ProtocolTransport::kProcessingFinished,
                                   ProtocolTransport::kOperationSucceeded, ProtocolTransport::kProcessingFinished }));
}

TEST_F(SessionTest, SecondFailureIsReportedAndRetrySendsTheSameRequestAgain)
{
    serve(counterBody(1), [](int number) { return number <= 2 ? 500 : 200; });
    startSession();
    sendHead("event");
    ASSERT_TRUE(pumpUntil([&] { return !errors->errors.empty(); }));
    EXPECT_EQ(posts().size(), 2u);
    EXPECT_EQ(errors->errors[0].code(), -1011);
    EXPECT_TRUE(client->notificationsDispatcher()->isProcessing()); // the failed request is kept

    client->retry();
    ASSERT_TRUE(pumpUntilRequests(4));
    auto sent = posts();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].body, sent[0].body);
    EXPECT_EQ(errors->errors.size(), 1u);
}

TEST_F(SessionTest, FailureWhileResumingReloadsTheSession)
{
    std::atomic<bool> failing { false };
    serve(counterBody(1), [&](int) { return failing ? 500 : 200; });
    startSession();
    EXPECT_TRUE(client->suspend());
    failing = true;
    EXPECT_TRUE(client->resume());
    // The ping fails, its repeat fails, and the session starts over with a new GET.
    ASSERT_TRUE(pumpUntil([&] { return m_gets >= 2 && !client->notificationsDispatcher()->isProcessing(); }));
    EXPECT_EQ(posts().size(), 2u);
    EXPECT_EQ(bodyOf(posts()[0])["head"]["ping"], true);
    EXPECT_TRUE(errors->errors.empty());
}

TEST_F(SessionTest, ResumeSendsAPingWithTheCounter)
{
    serve(counterBody(7));
    startSession();
    EXPECT_FALSE(client->resume()); // not suspended
    EXPECT_TRUE(client->suspend());
    EXPECT_TRUE(client->resume());
    ASSERT_TRUE(pumpUntilRequests(2));
    auto sent = posts();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(platform::valuesEqual(bodyOf(sent[0]), Value::parse(R"({"head":{"ping":true,"requestCounter":7},"operations":[]})")))
        << sent[0].body;
}

TEST_F(SessionTest, ResumeRepeatsAFailedRequestInsteadOfPinging)
{
    std::atomic<bool> failing { true };
    serve(counterBody(1), [&](int) { return failing ? 500 : 200; });
    startSession();
    sendHead("event");
    ASSERT_TRUE(pumpUntil([&] { return !errors->errors.empty(); }));
    client->suspend();
    failing = false;
    client->resume();
    ASSERT_TRUE(pumpUntilRequests(4));
    auto sent = posts();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].body, sent[0].body);
}

TEST_F(SessionTest, SuspendTwiceSuspendsOnceButAnnouncesTheBackgroundTwice)
{
    serve(kEmptyBody);
    startSession();
    SessionNotificationCounter counter({ MorvixClient::kDidEnterBackgroundNotification });
    EXPECT_TRUE(client->suspend());
    EXPECT_FALSE(client->suspend());
    EXPECT_EQ(counter.count(MorvixClient::kDidEnterBackgroundNotification), 2);
    EXPECT_EQ(errors->closeCount, 2); // once by the first load, once by the first suspend
}

TEST_F(SessionTest, TerminateAnnouncesShutdown)
{
    serve(counterBody(3));
    startSession();
    client->terminate();
    ASSERT_TRUE(pumpUntilRequests(2));
    auto sent = posts();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(bodyOf(sent[0])["head"]["shutdown"], true);
    EXPECT_EQ(bodyOf(sent[0])["head"]["requestCounter"], 3);
}

TEST_F(SessionTest, ServerSendingAnUnexpectedIdentityIsRefusedBeforeItsBodyIsApplied)
{
    serve(kRelocatingBody, {}, { { "com.zerivoquastel.morvix.server.id", "other" } });
    makeClient();
    client->setErrorDelegate(errors);
    client->load();
    ASSERT_TRUE(pumpUntil([&] { return !errors->errors.empty(); }));
    platform::MainLoop::main().runUntilIdle();
    EXPECT_TRUE(errors->errors[0].is("com.zerivoquastel.morvix", 417));
    EXPECT_EQ(errors->errors[0].description(), "Unauthorized Access");
    EXPECT_EQ(errors->errors[0].failureReason(), "You are not allowed to connect to the server.");
    EXPECT_EQ(client->httpClient()->baseURL(), server.url("/app/")) << "the refused server's head was applied";
    // Blocked: nothing goes out, not even the shutdown, and "Retry" reports the same again.
    client->retry();
    ASSERT_TRUE(pumpUntil([&] { return errors->errors.size() == 2; }));
    EXPECT_TRUE(posts().empty());
    EXPECT_TRUE(client->notificationsDispatcher()->isProcessing());
}

TEST_F(SessionTest, IdentityHeaderNameIsMatchedWithoutRegardToCase)
{
    serve(counterBody(1), {}, { { "COM.ZERIVOQUASTEL.MORVIX.SERVER.ID", "abc" } });
    delegate->serverId = "abc";
    startSession();
    EXPECT_TRUE(errors->errors.empty());
    EXPECT_FALSE(client->notificationsDispatcher()->isProcessing());
}

TEST_F(SessionTest, RepeatedSessionGetIsCheckedForIdentityToo)
{
    // The first GET fails; its repeat comes from a server without the required identity.
    // The failed answer's body is not applied either.
    std::atomic<int> gets { 0 };
    server.handle("*", [&](const RecordedRequest&, ResponseWriter& writer) {
        if (++gets == 1)
            writer.respond(500, kRelocatingBody);
        else
            writer.respond(200, kEmptyBody);
    });
    server.start();
    delegate->url = server.url("/");
    delegate->serverId = "expected";
    makeClient();
    client->setErrorDelegate(errors);
    client->load();
    ASSERT_TRUE(pumpUntil([&] { return !errors->errors.empty(); }));
    platform::MainLoop::main().runUntilIdle();
    EXPECT_EQ(gets.load(), 2);
    EXPECT_TRUE(errors->errors[0].is("com.zerivoquastel.morvix", 417));
    EXPECT_EQ(client->httpClient()->baseURL(), server.url("/"));
}

TEST_F(SessionTest, MessageAnsweredWithACutBodyOrAnHTMLPageIsReported)
{
    server.handle("*", [this](const RecordedRequest& request, ResponseWriter& writer) {
        if (request.method == "GET") {
            writer.respond(200, counterBody(1));
            return;
        }
        if (++m_posts <= 2) {
            // The head promises more than the server sends before it hangs up.
            writer.writeHead(200, { { "Content-Type", "application/json" }, { "Content-Length", "200" } });
            writer.write(R"({"head":{},"operations":[["set")");
            writer.closeConnection();
            return;
        }
        writer.respond(200, "<html><body>Please sign in to the network</body></html>", { { "Content-Type", "text/html" } });
    });
    server.start();
    delegate->url = server.url("/app/");
    startSession();
    sendHead("event");
    ASSERT_TRUE(pumpUntil([&] { return !errors->errors.empty(); }));
    EXPECT_EQ(m_posts.load(), 2); // repeated once
    EXPECT_EQ(errors->errors[0].domain(), "com.zerivoquastel.morvix");
    EXPECT_EQ(errors->errors[0].description(), "Insufficient data was returned.");

    // The user's "Retry" gets a sign-in page: a failure of its own, reported at once.
    client->retry();
    ASSERT_TRUE(pumpUntil([&] { return errors->errors.size() == 2; }));
    EXPECT_EQ(m_posts.load(), 3);
    EXPECT_TRUE(errors->errors[1].is("com.zerivoquastel.morvix", 3));
    EXPECT_EQ(errors->errors[1].description(), "Server Response");
    EXPECT_EQ(errors->errors[1].failureReason(), "Response could not be parsed.");
    EXPECT_TRUE(client->notificationsDispatcher()->isProcessing()); // still kept for a retry
}

TEST_F(SessionTest, ResponseLargerThanTheSessionLimitIsCancelledAndReportedAsUnparsable)
{
    // Small on the wire, large once inflated: the limit counts what the reader would get.
    std::string inflated = R"({"head":{"note":")" + std::string(300000, 'a') + R"("},"operations":[]})";
    std::string packed = gzip(inflated);
    // The server's thread may still be sending when the test ends: it keeps its own copy.
    server.handle("*", [this, packed](const RecordedRequest& request, ResponseWriter& writer) {
        if (request.method == "GET") {
            writer.respond(200, counterBody(1));
            return;
        }
        ++m_posts;
        writer.respond(200, packed, { { "Content-Type", "application/json" }, { "Content-Encoding", "gzip" } });
    });
    server.start();
    delegate->url = server.url("/app/");
    makeClient();
    EXPECT_EQ(client->maximumResponseSize(), std::size_t(256) * 1024 * 1024);
    constexpr std::size_t kLimit = 64 * 1024;
    ASSERT_LT(packed.size(), kLimit);
    client->setMaximumResponseSize(kLimit);
    client->setErrorDelegate(errors);
    client->load();
    ASSERT_TRUE(pumpUntilRequests(1));
    EXPECT_TRUE(errors->errors.empty()); // the session GET is well within it

    sendHead("event");
    ASSERT_TRUE(pumpUntil([&] { return !errors->errors.empty(); }));
    EXPECT_EQ(m_posts.load(), 2);
    EXPECT_TRUE(errors->errors[0].is("com.zerivoquastel.morvix", 3));
    EXPECT_EQ(errors->errors[0].description(), "Server Response");
    EXPECT_EQ(errors->errors[0].failureReason(), "Response could not be parsed: it is larger than 65536 bytes.");
}

TEST_F(SessionTest, ServerCannotSwitchAnHttpSessionToLocalFiles)
{
    serve(R"({"head":{"requestCounter":1,"url":"file:///etc/"},"operations":[]})");
    makeClient();
    std::vector<LogEntry> log;
    client->setLogObserver([&](const LogEntry& entry) { log.push_back(entry); });
    client->setErrorDelegate(errors);
    client->load();
    ASSERT_TRUE(pumpUntilRequests(1));
    platform::MainLoop::main().runUntilIdle();
    EXPECT_EQ(client->httpClient()->baseURL(), server.url("/app/"));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].type(), LogEntry::Type::Error);
    EXPECT_NE(log[0].message().find("file:///etc/"), std::string::npos) << log[0].message();

    // The next message still goes to the server.
    sendHead("event");
    ASSERT_TRUE(pumpUntilRequests(2));
    EXPECT_EQ(posts().size(), 1u);
    EXPECT_TRUE(errors->errors.empty());
}

TEST_F(SessionTest, HTTPClientMayBeAskedForFromAnyThreadWhileLoadsReplaceIt)
{
    delegate->url = "http://127.0.0.1/app/";
    client = MorvixClient::create(window, {}, MorvixClient::ApplicationFrame::Off);
    client->setDelegate(delegate);
    std::atomic<bool> stop = false;
    std::atomic<int> seen = 0;
    std::thread asker([&] {
        while (!stop) {
            if (auto http = client->httpClient(); http && !http->baseURL().empty())
                ++seen;
        }
    });
    for (int i = 0; i < 50; ++i)
        client->load();
    stop = true;
    asker.join();
    EXPECT_GT(seen.load(), 0);
}

TEST_F(SessionTest, ReloadIgnoresTheCancelledRequestOfTheOldSession)
{
    auto gate = std::make_shared<TestGate>();
    std::atomic<int> gets { 0 };
    server.handle("*", [&](const RecordedRequest&, ResponseWriter& writer) {
        if (++gets == 1) {
            // Half a message, then the rest only once the test lets it go.
            writer.writeHead(200, { { "Content-Type", "application/json" } });
            writer.write(R"({"head":{"requestCounter":9},"operations":[)");
            writer.waitFor(*gate);
            writer.write("]}");
            return;
        }
        writer.respond(200, counterBody(1));
    });
    server.start();
    delegate->url = server.url("/");
    makeClient();
    client->setErrorDelegate(errors);
    SessionNotificationCounter counter({ ProtocolTransport::kOperationFailed, ProtocolTransport::kProcessingFinished });
    client->load();
    ASSERT_TRUE(pumpUntil([&] { return gets >= 1; }));
    client->load();
    ASSERT_TRUE(pumpUntilRequests(2));
    gate->open();
    platform::MainLoop::main().runUntilIdle();

    // Only the new session's response was announced, and its counter holds.
    EXPECT_EQ(counter.count(ProtocolTransport::kOperationFailed), 0);
    EXPECT_EQ(counter.count(ProtocolTransport::kProcessingFinished), 1);
    EXPECT_TRUE(errors->errors.empty());
    sendHead("event");
    ASSERT_TRUE(pumpUntilRequests(3));
    EXPECT_EQ(bodyOf(posts().at(0))["head"]["requestCounter"], 1);
}

TEST_F(SessionTest, BuiltInHandlerRestartStartsANewSession)
{
    serve(counterBody(1), [](int) { return 500; });
    ASSERT_TRUE(sendUntilBuiltInAlertShows());
    auto alert = client->errorHandler()->errorDialog();
    EXPECT_EQ(alert->buttonTitles(), (std::vector<std::string> { "Restart", "Retry" }));
    EXPECT_TRUE(platform::Application::shared().pressAlertButton("Restart"));
    ASSERT_TRUE(pumpUntil([&] { return m_gets >= 2 && !client->notificationsDispatcher()->isProcessing(); }));
    EXPECT_FALSE(alert->isVisible());
    EXPECT_EQ(posts().size(), 2u);
}

TEST_F(SessionTest, BuiltInHandlerRetrySendsTheSameRequest)
{
    serve(counterBody(1), [](int number) { return number <= 2 ? 500 : 200; });
    ASSERT_TRUE(sendUntilBuiltInAlertShows());
    EXPECT_TRUE(platform::Application::shared().pressAlertButton("Retry"));
    ASSERT_TRUE(pumpUntilRequests(4));
    auto sent = posts();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].body, sent[0].body);
    EXPECT_EQ(m_gets.load(), 1);
}

TEST_F(SessionTest, ReadySignalOnFirstOrientationNotificationOnly)
{
    unsetenv("TESTMODE");
    makeClient();
    auto center = platform::NotificationCenter::defaultCenter();
    EXPECT_EQ(delegate->readyCount, 0);
    center->post(MorvixClient::kOrientationNotification);
    center->post(MorvixClient::kOrientationNotification);
    EXPECT_EQ(delegate->readyCount, 1);
    EXPECT_TRUE(client->isFrameworkStarted());
    // The device's own notification follows on the next turn and changes nothing.
    platform::MainLoop::main().runUntilIdle();
    EXPECT_EQ(delegate->readyCount, 1);
}

TEST_F(SessionTest, DeviceGivesTheReadySignalToAnApplicationThatPostsNoOrientation)
{
    unsetenv("TESTMODE");
    makeClient(); // sets the delegate after creating the session, as applications do
    EXPECT_EQ(delegate->readyCount, 0);
    platform::MainLoop::main().runUntilIdle();
    EXPECT_EQ(delegate->readyCount, 1);
    EXPECT_TRUE(client->isFrameworkStarted());
}

TEST_F(SessionTest, NoReadySignalInTestMode)
{
    setenv("TESTMODE", "  +007", 1);
    makeClient();
    platform::NotificationCenter::defaultCenter()->post(MorvixClient::kOrientationNotification);
    unsetenv("TESTMODE");
    EXPECT_EQ(delegate->readyCount, 0);
}

TEST(MorvixClientTest, TestModeParsesLikeThePlatformBoolean)
{
    for (const char* yes : { "YES", "y", "true", "T", "1", " 2", "-3", "+0009", "00001" })
        EXPECT_TRUE(MorvixClient::parseBoolean(yes)) << yes;
    for (const char* no : std::initializer_list<const char*> { "", "NO", "false", "0", "000", " ", "x1", nullptr })
        EXPECT_FALSE(MorvixClient::parseBoolean(no)) << (no ? no : "(null)");
}

TEST_F(SessionTest, TooOldSystemGetsNoSession)
{
    std::vector<std::string> lines;
    auto previous = platform::setSystemLogSink([&](const std::string& line) { lines.push_back(line); });
    auto device = platform::DeviceInfo::current();
    device.systemVersion = "7.0.6";
    platform::DeviceInfo::setCurrent(device);
    EXPECT_FALSE(MorvixClient::create(window));
    platform::DeviceInfo::resetForTesting();
    platform::setSystemLogSink(previous);
    EXPECT_EQ(lines, std::vector<std::string> { MorvixClient::kTooOldMessage });
    EXPECT_TRUE(MorvixClient::create(window));
}

TEST_F(SessionTest, DelegateSettingsFallBackToTheirDefaults)
{
    makeClient();
    EXPECT_TRUE(client->useSSLStrict());
    EXPECT_EQ(client->requestTimeout(), 90);
    EXPECT_FALSE(client->useInfiniteRequestTimeout());
    EXPECT_FALSE(client->requiredServerId());
    EXPECT_FALSE(client->defaultAutoCapitalization());
    EXPECT_FALSE(client->enableDeveloperConsole());
    EXPECT_FALSE(client->localResourceRoots());
    delegate->reload = true;
    EXPECT_TRUE(client->enableDeveloperConsole());
    delegate->developerConsole = false;
    EXPECT_FALSE(client->enableDeveloperConsole());
    delegate->roots = std::vector<std::string> {};
    EXPECT_FALSE(client->localResourceRoots()); // an empty list counts as none
}

TEST_F(SessionTest, LaunchWithoutPushMessageKeepsNone)
{
    makeClient();
    client->didFinishLaunchingWithOptions(Value::object());
    EXPECT_FALSE(client->launchPushMessage());
    client->didFinishLaunchingWithOptions(Value::parse(R"({"UIApplicationLaunchOptionsRemoteNotificationKey":{"a":1}})"));
    EXPECT_EQ(client->launchPushMessage(), R"({"a":1})");
    client->didFinishLaunchingWithOptions(nullptr);
    EXPECT_FALSE(client->launchPushMessage());
    EXPECT_TRUE(client->openURL("x-callback-url://anything", "app", nullptr));
}

TEST_F(SessionTest, SessionCanRunOnAnotherBindingWithAFolderURL)
{
    struct LocalBinding final : Binding {
        int starts = 0;
        void start() override { ++starts; }
        void suspend() override { }
        void resume() override { }
        void retry() override { }
        void stop() override { }
        void sendMessage(const std::shared_ptr<Message>&) override { }
        void scheduleMessage(const std::shared_ptr<Message>&) override { }
        void storeMessage(const std::shared_ptr<Message>&) override { }
        void reset() override { }
        bool isActive() override { return starts > 0; }
        bool isProcessing() override { return false; }
        void receivedRequestCounter(std::int64_t) override { }
        bool supportsCustomDrawer() override { return true; }
    };
    auto binding = std::make_shared<LocalBinding>();
    delegate->url = "file:///tmp/app/";
    client = MorvixClient::create(window, { [&](std::weak_ptr<MorvixClient>) { return binding; } }, MorvixClient::ApplicationFrame::Off);
    client->setDelegate(delegate);
    client->load();
    EXPECT_EQ(binding->starts, 1);
    EXPECT_TRUE(client->isActive());
    EXPECT_EQ(client->httpClient()->baseURL(), "file:///tmp/app/");
    EXPECT_EQ(client->relativeURLToServer("img/a.png")->absoluteString(), "file:///tmp/app/img/a.png");
}

TEST_F(SessionTest, TimeInSessionCountsFromTheLastLoadOnTheProcessClock)
{
    auto clock = std::make_shared<platform::ManualClock>();
    platform::Clock::install(clock);
    client = MorvixClient::create(window, {}, MorvixClient::ApplicationFrame::Off);
    client->load();
    clock->advance(std::chrono::milliseconds(2500));
    EXPECT_DOUBLE_EQ(client->timeInSession(), 2.5);
    client->load();
    clock->advance(std::chrono::seconds(1));
    EXPECT_DOUBLE_EQ(client->timeInSession(), 1.0);
    platform::Clock::install(nullptr);
}

TEST_F(SessionTest, RootViewFillsTheWindow)
{
    makeClient();
    ASSERT_TRUE(client->view());
    EXPECT_EQ(client->view()->superview(), window);
    EXPECT_TRUE(window->isKeyWindow());
}

// Destroying a session ends its transfer: a body still streaming stops being read, rather than
// going on to its end on the network thread that every transfer of the process shares.
TEST_F(SessionTest, DestroyingTheSessionCancelsItsTransfer)
{
    std::atomic<bool> streaming = false;
    std::atomic<bool> ended = false;
    server.handle("*", [&](const RecordedRequest&, ResponseWriter& writer) {
        TestHeaders headers { { "Content-Type", "application/json" }, { "Transfer-Encoding", "chunked" } };
        if (writer.writeHead(200, headers) && writer.writeChunk(R"({"head":{},"operations":[["set","nobody",{}])")) {
            streaming = true;
            std::string more;
            for (int index = 0; index < 100; ++index)
                more += R"(,["set","nobody",{"text":"filler"}])";
            while (!writer.isStopping() && writer.writeChunk(more))
                writer.delay(std::chrono::milliseconds(5));
        }
        ended = true;
    });
    server.start();
    delegate->url = server.url("/app/");
    makeClient();
    client->load();
    ASSERT_TRUE(pumpUntil([&] { return streaming.load(); }));
    client.reset();
    EXPECT_TRUE(pumpUntil([&] { return ended.load(); }));
}

} // namespace
} // namespace morvix::testing
