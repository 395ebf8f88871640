#include "networking/NetURLConnectionOperation.h"

#include "networking/NetHTTPRequestOperation.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/FileOutputStream.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/URLError.h"
#include "platform/net/URLResponse.h"
#include "tests/networking/SecurityPolicyTestSupport.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <mutex>

using namespace morvix;
using namespace morvix::testing;
using namespace std::chrono_literals;
using morvix::platform::Error;

namespace {

// What one operation announced, posted and completed, in the order it happened.
class OperationRecorder {
public:
    explicit OperationRecorder(const std::shared_ptr<NetURLConnectionOperation>& operation)
        : m_operation(operation.get())
    {
        auto center = platform::NotificationCenter::defaultCenter();
        auto record = [this](const char* event) {
            return [this, event](const platform::Notification& notification) {
                auto object = std::any_cast<std::shared_ptr<NetURLConnectionOperation>>(&notification.object);
                if (object && object->get() == m_operation)
                    add(event);
            };
        };
        m_start = center->addObserver(NetworkingOperationDidStartNotification, nullptr, record("start"));
        m_finish = center->addObserver(NetworkingOperationDidFinishNotification, nullptr, record("finish"));
        operation->addKeyObserver([this](platform::Operation&, const std::string& key, platform::KeyChange change) {
            add((change == platform::KeyChange::Will ? "will " : "did ") + key);
        });
        operation->setCompletionBlock([this] { add("completion"); });
    }

    void add(std::string event)
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    std::vector<std::string> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    /// The events that are not key changes.
    std::vector<std::string> posts() const
    {
        std::vector<std::string> result;
        for (const auto& event : events()) {
            if (!event.starts_with("will ") && !event.starts_with("did "))
                result.push_back(event);
        }
        return result;
    }
    std::vector<std::string> keyChanges() const
    {
        std::vector<std::string> result;
        for (const auto& event : events()) {
            if (event.starts_with("will ") || event.starts_with("did "))
                result.push_back(event);
        }
        return result;
    }
    bool completed() const
    {
        auto all = events();
        return std::find(all.begin(), all.end(), "completion") != all.end();
    }

private:
    const NetURLConnectionOperation* m_operation;
    mutable std::mutex m_mutex; // guards m_events
    std::vector<std::string> m_events;
    platform::ObserverToken m_start;
    platform::ObserverToken m_finish;
};

class NetURLConnectionOperationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        server.route("/text", TestResponse().withHeader("Content-Type", "text/plain").withBody("hello"));
        server.route("/latin1", TestResponse().withHeader("Content-Type", "text/plain; charset=ISO-8859-1").withBody("caf\xE9"));
        server.route("/unknown-charset", TestResponse().withHeader("Content-Type", "text/plain; charset=x-unknown").withBody("caf\xC3\xA9"));
        server.route("/bad-utf8", TestResponse().withHeader("Content-Type", "text/plain; charset=utf-8").withBody("caf\xE9"));
        server.route("/missing", TestResponse().withStatus(404).withBody("gone"));
        server.route("/chunks", TestResponse().withChunks({ "ab", "cde", "f" }).withDelayBetweenChunks(20ms));
        server.route("/held", TestResponse().withChunks({ "first-", "second" }).withHoldAfterFirstChunk(gate));
        server.handle("/ranged", [this](const RecordedRequest& request, ResponseWriter& writer) {
            const std::string body = "first-second";
            if (auto range = request.header("Range")) {
                auto offset = std::stoul(range->substr(std::string("bytes=").size()));
                writer.respond(206, body.substr(offset), { { "Content-Range", "bytes " + std::to_string(offset) + "-11/12" } });
                return;
            }
            writer.writeHead(200, { { "Transfer-Encoding", "chunked" }, { "ETag", "\"e1\"" } });
            writer.writeChunk("first-");
            writer.waitFor(*gate);
            writer.writeChunk("second");
            writer.endChunks();
        });
        server.handle("/sent", [this](const RecordedRequest&, ResponseWriter& writer) {
            writer.writeHead(200, { { "Transfer-Encoding", "chunked" } });
            writer.writeChunk("first-");
            writer.waitFor(*gate);
            writer.writeChunk("second");
            writer.endChunks();
            bodySent = true;
        });
        // Twelve bytes in three parts; a range is answered from where it was asked, or from four
        // bytes earlier while `misplacedRanges` is set.
        server.handle("/parts", [this](const RecordedRequest& request, ResponseWriter& writer) {
            const std::string body = "AAAABBBBCCCC";
            if (auto range = request.header("Range")) {
                auto offset = std::stoul(range->substr(std::string("bytes=").size())) - (misplacedRanges ? 4 : 0);
                writer.respond(206, body.substr(offset), { { "Content-Range", "bytes " + std::to_string(offset) + "-11/12" } });
                return;
            }
            writer.writeHead(200, { { "Content-Length", "12" }, { "ETag", "\"p1\"" } });
            writer.write("AAAA");
            writer.waitFor(*gate);
            writer.write("BBBB");
            secondPartSent = true;
            writer.waitFor(*lastPartGate);
            writer.write("CCCC");
        });
        server.handle("/private", [](const RecordedRequest& request, ResponseWriter& writer) {
            // "user:secret"
            if (request.header("Authorization") == "Basic dXNlcjpzZWNyZXQ=") {
                writer.respond(200, "welcome");
                return;
            }
            writer.respond(401, "who are you", { { "WWW-Authenticate", "Basic realm=\"test\"" } });
        });
        server.start();
    }
    void TearDown() override
    {
        gate->open();
        lastPartGate->open();
        server.stop();
        loop.resetForTesting();
    }

    platform::URLRequest request(const std::string& path) const { return platform::URLRequest(platform::Url::parse(server.url(path))); }
    std::shared_ptr<NetURLConnectionOperation> operation(const std::string& path) { return NetURLConnectionOperation::create(request(path)); }
    bool waitFor(const std::function<bool()>& done) { return loop.runUntil(done, 5s); }
    /// Waits until the network thread has run everything handed to it so far.
    bool drainNetworkThread()
    {
        auto drained = std::make_shared<std::atomic<bool>>(false);
        NetURLConnectionOperation::networkRequestThread().perform([drained] { *drained = true; });
        return waitFor([&] { return drained->load(); });
    }
    /// Runs `during` while the network thread is kept busy, so that what it does lands in the
    /// network thread's queue behind work the transfer has not done yet.
    void holdingTheNetworkThread(const std::function<void()>& during)
    {
        TestGate released;
        std::atomic<bool> holding { false };
        std::atomic<bool> never { false };
        NetURLConnectionOperation::networkRequestThread().perform([&] {
            holding = true;
            released.wait(never);
        });
        ASSERT_TRUE(waitFor([&] { return holding.load(); }));
        during();
        released.open();
        ASSERT_TRUE(drainNetworkThread());
    }

    platform::MainLoop& loop = platform::MainLoop::main();
    std::shared_ptr<TestGate> gate = std::make_shared<TestGate>();
    std::shared_ptr<TestGate> lastPartGate = std::make_shared<TestGate>();
    std::atomic<bool> bodySent { false };
    std::atomic<bool> secondPartSent { false };
    std::atomic<bool> misplacedRanges { false };
    TestHttpServer server;
};

} // namespace

TEST_F(NetURLConnectionOperationTest, ATransferAnnouncesItsStatesAndPostsStartFinishThenCompletion)
{
    auto transfer = operation("/text");
    OperationRecorder recorder(transfer);
    EXPECT_TRUE(transfer->isReady());
    transfer->start();
    EXPECT_TRUE(transfer->isExecuting());
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    loop.runUntilIdle();
    EXPECT_EQ(recorder.keyChanges(), (std::vector<std::string> {
        "will isExecuting", "will isReady", "did isReady", "did isExecuting",
        "will isFinished", "will isExecuting", "did isExecuting", "did isFinished" }));
    // The finish notification reaches its observers before the completion block runs.
    EXPECT_EQ(recorder.posts(), (std::vector<std::string> { "start", "finish", "completion" }));
    EXPECT_TRUE(transfer->isFinished());
    EXPECT_FALSE(transfer->error());
    EXPECT_EQ(transfer->responseData(), "hello");
    EXPECT_EQ(transfer->totalBytesRead(), 5);
}

TEST_F(NetURLConnectionOperationTest, StartTwiceAndCancelAfterTheFinishDoNothing)
{
    auto transfer = operation("/text");
    OperationRecorder recorder(transfer);
    transfer->start();
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    transfer->cancel();
    transfer->pause();
    loop.runUntilIdle();
    EXPECT_FALSE(transfer->isCancelled());
    EXPECT_TRUE(transfer->isFinished());
    EXPECT_EQ(recorder.posts(), (std::vector<std::string> { "start", "finish", "completion" }));
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(NetURLConnectionOperationTest, CancelBeforeStartFinishesAtStartWithoutAConnectionOrAStartNotification)
{
    auto transfer = operation("/text");
    OperationRecorder recorder(transfer);
    transfer->cancel();
    transfer->cancel();
    EXPECT_TRUE(transfer->isReady());
    EXPECT_TRUE(transfer->isCancelled());
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    loop.runUntilIdle();
    EXPECT_EQ(recorder.posts(), (std::vector<std::string> { "finish", "completion" }));
    ASSERT_TRUE(transfer->error());
    EXPECT_TRUE(transfer->error()->is(platform::URLErrorDomain, platform::kURLErrorCancelled));
    EXPECT_EQ(transfer->error()->failingURL(), server.url("/text"));
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(NetURLConnectionOperationTest, CancelMidTransferFailsWithCancelled)
{
    auto transfer = operation("/held");
    OperationRecorder recorder(transfer);
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return transfer->totalBytesRead() > 0; }));
    transfer->cancel();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    ASSERT_TRUE(transfer->error());
    EXPECT_EQ(transfer->error()->code(), platform::kURLErrorCancelled);
    EXPECT_FALSE(transfer->responseData());
}

TEST_F(NetURLConnectionOperationTest, PausingAReadyOperationPostsNothingAndResumeStartsIt)
{
    auto transfer = operation("/text");
    OperationRecorder recorder(transfer);
    transfer->pause();
    EXPECT_TRUE(transfer->isPaused());
    EXPECT_FALSE(transfer->isReady());
    transfer->start(); // not ready: nothing
    loop.runUntilIdle();
    EXPECT_TRUE(recorder.posts().empty());
    transfer->resume();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    EXPECT_EQ(transfer->responseData(), "hello");
}

TEST_F(NetURLConnectionOperationTest, ResumeAfterAPauseNeverKeepsTheOldPrefixInFrontOfAWholeBody)
{
    auto transfer = operation("/held");
    OperationRecorder recorder(transfer);
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return transfer->totalBytesRead() > 0; }));
    transfer->pause();
    EXPECT_TRUE(transfer->isPaused());
    ASSERT_TRUE(waitFor([&] { return recorder.posts().size() == 2; }));
    EXPECT_EQ(recorder.posts(), (std::vector<std::string> { "start", "finish" }));
    ASSERT_TRUE(drainNetworkThread()); // the connection is gone before the server goes on

    gate->open();
    transfer->resume();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    EXPECT_FALSE(transfer->error());
    EXPECT_EQ(transfer->responseData(), "first-second");
    EXPECT_EQ(server.requestCount(), 2u);
    loop.runUntilIdle();
    EXPECT_EQ(transfer->totalBytesRead(), 12);
}

TEST_F(NetURLConnectionOperationTest, ATransferThatEndsAfterThePauseIsDeliveredByResume)
{
    auto transfer = operation("/sent");
    OperationRecorder recorder(transfer);
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return transfer->totalBytesRead() > 0; }));

    // Hold the network thread while the operation pauses and the server finishes the body, so
    // that the transfer ends before the connection is cancelled.
    holdingTheNetworkThread([&] {
        transfer->pause();
        gate->open();
        ASSERT_TRUE(waitFor([&] { return bodySent.load(); }));
    });
    EXPECT_TRUE(transfer->isPaused());
    EXPECT_FALSE(recorder.completed());

    transfer->resume();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    EXPECT_FALSE(transfer->error());
    EXPECT_EQ(transfer->responseData(), "first-second");
    EXPECT_EQ(server.requestCount(), 1u);
    loop.runUntilIdle();
    EXPECT_EQ(recorder.posts(), (std::vector<std::string> { "start", "finish", "start", "finish", "completion" }));
}

TEST_F(NetURLConnectionOperationTest, HTTPResumeAppendsAPartialResponseAndRestartsOnAWholeOne)
{
    // The server honours the range: the rest is appended to what arrived before the pause.
    auto ranged = NetHTTPRequestOperation::create(request("/ranged"));
    OperationRecorder rangedRecorder(ranged);
    ranged->start();
    ASSERT_TRUE(waitFor([&] { return ranged->totalBytesRead() > 0; }));
    ranged->pause();
    ASSERT_TRUE(drainNetworkThread());
    EXPECT_EQ(ranged->request().valueForHeader("Range"), "bytes=6-");
    EXPECT_EQ(ranged->request().valueForHeader("If-Range"), "\"e1\"");
    ranged->resume();
    ASSERT_TRUE(waitFor([&] { return rangedRecorder.completed(); }));
    EXPECT_EQ(ranged->response()->statusCode(), 206);
    EXPECT_EQ(ranged->responseData(), "first-second");

    // The server ignores the range and sends everything again: the prefix is dropped first.
    auto whole = NetHTTPRequestOperation::create(request("/held"));
    OperationRecorder wholeRecorder(whole);
    whole->start();
    ASSERT_TRUE(waitFor([&] { return whole->totalBytesRead() > 0; }));
    whole->pause();
    ASSERT_TRUE(drainNetworkThread());
    gate->open();
    whole->resume();
    ASSERT_TRUE(waitFor([&] { return wholeRecorder.completed(); }));
    EXPECT_EQ(whole->response()->statusCode(), 200);
    EXPECT_EQ(whole->responseData(), "first-second");
    EXPECT_EQ(server.requests().back().header("Range"), "bytes=6-");
}

TEST_F(NetURLConnectionOperationTest, HTTPResumeAsksFromWhatTheStreamHeldWhenTheTransferStopped)
{
    auto transfer = NetHTTPRequestOperation::create(request("/parts"));
    OperationRecorder recorder(transfer);
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return transfer->totalBytesRead() == 4; }));
    // The second part is already on its way when the operation pauses: it lands in the stream
    // before the connection is cancelled, so the rest starts after it.
    holdingTheNetworkThread([&] {
        transfer->pause();
        gate->open();
        ASSERT_TRUE(waitFor([&] { return secondPartSent.load(); }));
    });
    EXPECT_EQ(transfer->request().valueForHeader("Range"), "bytes=8-");
    EXPECT_EQ(transfer->request().valueForHeader("If-Range"), "\"p1\"");
    transfer->resume();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    EXPECT_FALSE(transfer->error());
    EXPECT_EQ(transfer->response()->statusCode(), 206);
    EXPECT_EQ(transfer->responseData(), "AAAABBBBCCCC");
}

TEST_F(NetURLConnectionOperationTest, HTTPResumeRefusingAPartialResponseForAnotherRangeFetchesTheWholeBody)
{
    auto transfer = NetHTTPRequestOperation::create(request("/parts"));
    OperationRecorder recorder(transfer);
    gate->open();
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return transfer->totalBytesRead() == 8; }));
    transfer->pause();
    ASSERT_TRUE(drainNetworkThread());
    EXPECT_EQ(transfer->request().valueForHeader("Range"), "bytes=8-");
    misplacedRanges = true;
    lastPartGate->open();
    transfer->resume();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    EXPECT_FALSE(transfer->error());
    EXPECT_EQ(transfer->response()->statusCode(), 200);
    EXPECT_EQ(transfer->responseData(), "AAAABBBBCCCC");
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].header("Range"), "bytes=8-");
    EXPECT_FALSE(requests[2].header("Range"));
    EXPECT_FALSE(requests[2].header("If-Range"));
    loop.runUntilIdle();
    EXPECT_EQ(transfer->totalBytesRead(), 12);
    EXPECT_EQ(recorder.posts(), (std::vector<std::string> { "start", "finish", "start", "finish", "completion" }));
}

TEST_F(NetURLConnectionOperationTest, AFailedWriteFailsTheOperationWithTheStreamError)
{
    // A full disk: every write fails with ENOSPC.
    auto transfer = operation("/text");
    OperationRecorder recorder(transfer);
    transfer->setOutputStream(platform::FileOutputStream::create("/dev/full", platform::FileMode::Truncate));
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    ASSERT_TRUE(transfer->error());
    EXPECT_EQ(transfer->error()->domain(), platform::POSIXErrorDomain);
    EXPECT_EQ(transfer->error()->code(), ENOSPC);
    EXPECT_FALSE(transfer->responseData());
}

TEST_F(NetURLConnectionOperationTest, AStreamThatCannotOpenFailsTheOperationInsteadOfWaiting)
{
    auto transfer = operation("/text");
    OperationRecorder recorder(transfer);
    transfer->setOutputStream(platform::FileOutputStream::create("/nonexistent-folder/body", platform::FileMode::Truncate));
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    ASSERT_TRUE(transfer->error());
    EXPECT_EQ(transfer->error()->code(), ENOENT);
    // The network thread is free for the next transfer.
    auto next = operation("/text");
    OperationRecorder nextRecorder(next);
    next->start();
    ASSERT_TRUE(waitFor([&] { return nextRecorder.completed(); }));
    EXPECT_EQ(next->responseData(), "hello");
}

TEST_F(NetURLConnectionOperationTest, AFileStreamStaysAttachedAndClosedWithoutResponseData)
{
    auto path = temporaryDirectory() / "operation-body";
    auto stream = platform::FileOutputStream::create(path, platform::FileMode::Truncate);
    auto transfer = operation("/text");
    OperationRecorder recorder(transfer);
    transfer->setOutputStream(stream);
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    EXPECT_FALSE(transfer->error());
    EXPECT_FALSE(transfer->responseData());
    EXPECT_EQ(transfer->outputStream(), stream);
    EXPECT_EQ(stream->streamStatus(), platform::StreamStatus::Closed);
    std::ifstream file(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "hello");
}

TEST_F(NetURLConnectionOperationTest, NotFoundWithABodyIsNotAnError)
{
    auto transfer = operation("/missing");
    OperationRecorder recorder(transfer);
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    EXPECT_FALSE(transfer->error());
    EXPECT_EQ(transfer->responseData(), "gone");
}

TEST_F(NetURLConnectionOperationTest, BasicAuthenticationOffersTheCredentialOnceAndOtherwiseDeliversThe401)
{
    auto fetch = [&](std::optional<platform::URLCredential> credential) {
        auto transfer = operation("/private");
        transfer->setCredential(std::move(credential));
        OperationRecorder recorder(transfer);
        transfer->start();
        EXPECT_TRUE(waitFor([&] { return recorder.completed(); }));
        EXPECT_FALSE(transfer->error());
        return transfer;
    };
    auto anonymous = fetch(std::nullopt);
    auto status = [](const std::shared_ptr<NetURLConnectionOperation>& transfer) {
        auto http = std::dynamic_pointer_cast<const platform::HTTPURLResponse>(transfer->response());
        return http ? http->statusCode() : 0;
    };
    EXPECT_EQ(status(anonymous), 401);
    EXPECT_EQ(anonymous->responseData(), "who are you");
    EXPECT_EQ(server.requestCount(), 1u);

    auto known = fetch(platform::URLCredential("user", "secret"));
    EXPECT_EQ(known->responseData(), "welcome");
    EXPECT_EQ(status(known), 200);
    ASSERT_EQ(server.requestCount(), 3u);
    EXPECT_FALSE(server.requests()[1].header("Authorization"));
    EXPECT_TRUE(server.requests()[2].header("Authorization"));

    // A refused credential is not offered again: the 401 is the response.
    auto refused = fetch(platform::URLCredential("user", "wrong"));
    EXPECT_EQ(refused->responseData(), "who are you");
    EXPECT_EQ(status(refused), 401);
    EXPECT_EQ(server.requestCount(), 5u);
}

TEST_F(NetURLConnectionOperationTest, ResponseTextFollowsTheCharsetAndFallsBackToUTF8)
{
    auto fetch = [&](const std::string& path) {
        auto transfer = operation(path);
        OperationRecorder recorder(transfer);
        transfer->start();
        EXPECT_TRUE(waitFor([&] { return recorder.completed(); })) << path;
        return transfer;
    };
    auto latin1 = fetch("/latin1");
    EXPECT_EQ(latin1->responseStringEncoding(), platform::kISOLatin1StringEncoding);
    EXPECT_EQ(latin1->responseString(), "caf\xC3\xA9");
    auto unknown = fetch("/unknown-charset");
    EXPECT_EQ(unknown->responseStringEncoding(), platform::kUTF8StringEncoding);
    EXPECT_EQ(unknown->responseString(), "caf\xC3\xA9");
    auto invalid = fetch("/bad-utf8");
    EXPECT_FALSE(invalid->responseString());

    auto unstarted = operation("/text");
    EXPECT_EQ(unstarted->responseStringEncoding(), 0u);
    EXPECT_FALSE(unstarted->responseString());
}

TEST_F(NetURLConnectionOperationTest, DownloadProgressCountsEveryChunkInFull)
{
    auto transfer = operation("/chunks");
    OperationRecorder recorder(transfer);
    std::vector<std::int64_t> steps;
    std::int64_t lastTotal = 0;
    bool totalsAddUp = true;
    transfer->setDownloadProgressBlock([&](std::int64_t length, std::int64_t total, std::int64_t expected) {
        steps.push_back(length);
        totalsAddUp = totalsAddUp && total == lastTotal + length && expected == -1 && platform::isMainThread();
        lastTotal = total;
    });
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    loop.runUntilIdle();
    EXPECT_TRUE(totalsAddUp);
    EXPECT_EQ(lastTotal, 6);
    EXPECT_FALSE(steps.empty());
}

TEST_F(NetURLConnectionOperationTest, DescriptionShowsStateCancellationRequestAndResponse)
{
    auto transfer = operation("/text");
    auto text = transfer->description();
    EXPECT_EQ(text.rfind("<NetURLConnectionOperation: 0x", 0), 0u) << text;
    auto expectedTail = ", state: isReady, cancelled: NO request: " + transfer->request().description() + ", response: (null)>";
    EXPECT_TRUE(text.ends_with(expectedTail)) << text;
    transfer->cancel();
    EXPECT_NE(transfer->description().find("cancelled: YES request: "), std::string::npos);
}

TEST_F(NetURLConnectionOperationTest, ARequestWithoutURLFailsAsABadURL)
{
    auto transfer = NetURLConnectionOperation::create(platform::URLRequest());
    OperationRecorder recorder(transfer);
    transfer->start();
    ASSERT_TRUE(waitFor([&] { return recorder.completed(); }));
    ASSERT_TRUE(transfer->error());
    EXPECT_EQ(transfer->error()->code(), platform::kURLErrorBadURL);
}

namespace {

// Real handshakes against servers presenting the test certificates; the system store holds
// only the test root.
class NetURLConnectionOperationTLSTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        setenv("SSL_CERT_FILE", pki.rootFile.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("SSL_CERT_FILE");
        loop.resetForTesting();
    }

    static std::shared_ptr<NetSecurityPolicy> policy(NetSSLPinningMode mode, bool allowInvalid, bool validatesDomain,
        std::vector<std::string> pinned = {})
    {
        return makePolicy(mode, allowInvalid, validatesDomain, std::move(pinned));
    }

    /// The transfer's error against a new server presenting `certificate` (and `chain`), or
    /// nothing when it succeeded; "localhost" is the host asked for.
    std::optional<Error> fetch(const TestCertificate& certificate, const std::vector<TestCertificate>& chain,
        std::shared_ptr<NetSecurityPolicy> securityPolicy)
    {
        TestHttpServer server;
        server.route("/", TestResponse().withBody("secret"));
        server.startTLS(certificate, chain);
        auto transfer = NetURLConnectionOperation::create(platform::URLRequest(platform::Url::parse(server.url("/", "localhost"))));
        transfer->setSecurityPolicy(std::move(securityPolicy));
        OperationRecorder recorder(transfer);
        transfer->start();
        EXPECT_TRUE(loop.runUntil([&] { return recorder.completed(); }, 10s));
        if (!transfer->error()) {
            EXPECT_EQ(transfer->responseData(), "secret");
        }
        return transfer->error();
    }

    static bool refusedByPolicy(const std::optional<Error>& error)
    {
        return error && error->is(platform::URLErrorDomain, platform::kURLErrorUserCancelledAuthentication);
    }

    platform::MainLoop& loop = platform::MainLoop::main();
    const TestPKI& pki = TestPKI::shared();
};

} // namespace

TEST_F(NetURLConnectionOperationTLSTest, DefaultPolicyAcceptsAValidChainAndRefusesAnotherHostOrAnExpiredLeaf)
{
    EXPECT_FALSE(fetch(pki.leaf, { pki.intermediate }, NetSecurityPolicy::defaultPolicy()));
    EXPECT_TRUE(refusedByPolicy(fetch(pki.wrongHost, { pki.intermediate }, NetSecurityPolicy::defaultPolicy())));
    EXPECT_TRUE(refusedByPolicy(fetch(pki.expired, { pki.intermediate }, NetSecurityPolicy::defaultPolicy())));
    EXPECT_TRUE(refusedByPolicy(fetch(pki.selfSigned, {}, NetSecurityPolicy::defaultPolicy())));
}

TEST_F(NetURLConnectionOperationTLSTest, SessionPoliciesCheckTheChainWithoutTheHostOrAcceptEverything)
{
    auto strict = policy(NetSSLPinningMode::None, false, false);
    EXPECT_FALSE(fetch(pki.wrongHost, { pki.intermediate }, strict));
    EXPECT_TRUE(refusedByPolicy(fetch(pki.selfSigned, {}, strict)));
    auto lax = policy(NetSSLPinningMode::None, true, false);
    EXPECT_FALSE(fetch(pki.selfSigned, {}, lax));
    EXPECT_FALSE(fetch(pki.expired, { pki.intermediate }, lax));
}

TEST_F(NetURLConnectionOperationTLSTest, CertificatePinningAcceptsAnyPinnedCertificateOfTheChainAndRefusesAMismatch)
{
    EXPECT_FALSE(fetch(pki.leaf, { pki.intermediate }, policy(NetSSLPinningMode::Certificate, false, true, { pki.intermediate.der })));
    EXPECT_FALSE(fetch(pki.leaf, { pki.intermediate }, policy(NetSSLPinningMode::Certificate, false, true, { pki.leaf.der })));
    // The root was never sent by the server; it matches through the chain built on evaluation.
    EXPECT_FALSE(fetch(pki.leaf, { pki.intermediate }, policy(NetSSLPinningMode::Certificate, false, true, { pki.root.der })));
    EXPECT_TRUE(refusedByPolicy(fetch(pki.leaf, { pki.intermediate }, policy(NetSSLPinningMode::Certificate, false, true, { pki.otherRoot.der }))));
    EXPECT_TRUE(refusedByPolicy(fetch(pki.leaf, { pki.intermediate }, policy(NetSSLPinningMode::Certificate, false, true, {}))));
    EXPECT_FALSE(fetch(pki.selfSigned, {}, policy(NetSSLPinningMode::Certificate, true, true, { pki.selfSigned.der })));
}

TEST_F(NetURLConnectionOperationTLSTest, PublicKeyPinningAcceptsAPinnedKeyAndRefusesAMismatch)
{
    EXPECT_FALSE(fetch(pki.selfSigned, {}, policy(NetSSLPinningMode::PublicKey, true, false, { pki.selfSigned.der })));
    EXPECT_TRUE(refusedByPolicy(fetch(pki.selfSigned, {}, policy(NetSSLPinningMode::PublicKey, true, false, { pki.leaf.der }))));
    EXPECT_FALSE(fetch(pki.leaf, { pki.intermediate }, policy(NetSSLPinningMode::PublicKey, false, true, { pki.intermediate.der })));
    // A pinned key does not make an invalid chain acceptable unless invalid certificates are allowed.
    EXPECT_TRUE(refusedByPolicy(fetch(pki.selfSigned, {}, policy(NetSSLPinningMode::PublicKey, false, false, { pki.selfSigned.der }))));
    // Nor does a genuine pinned certificate that a server appends to a chain it did not sign.
    EXPECT_TRUE(refusedByPolicy(fetch(pki.selfSigned, { pki.intermediate }, policy(NetSSLPinningMode::PublicKey, true, false, { pki.intermediate.der }))));
}

TEST_F(NetURLConnectionOperationTLSTest, DomainValidationOfInvalidCertificatesWithoutPinsIsRefused)
{
    std::vector<std::string> logged;
    NetSecurityPolicy::setLogHandler([&](const std::string& line) { logged.push_back(line); });
    EXPECT_TRUE(refusedByPolicy(fetch(pki.selfSigned, {}, policy(NetSSLPinningMode::None, true, true))));
    NetSecurityPolicy::setLogHandler(nullptr);
    EXPECT_EQ(logged, std::vector<std::string> { "In order to validate a domain name for self signed certificates, you MUST use pinning." });
}
