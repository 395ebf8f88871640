#include "platform/net/URLConnection.h"

#include "platform/foundation/MainLoop.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/InputStream.h"
#include "platform/net/MimeTypes.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/ServerTrust.h"
#include "platform/net/URLError.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/stat.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <stdexcept>
#include <mutex>
#include <thread>

using namespace morvix::platform;
using namespace morvix::testing;
using namespace std::chrono_literals;

namespace {

// Records every delegate call; the test thread reads it once `ended` is set.
class RecordingDelegate final : public URLConnectionDelegate {
public:
    enum class TrustAnswer { Default, Accept, Reject };

    void connectionWillSendRequestForAuthenticationChallenge(URLConnection&, const AuthenticationChallenge& challenge) override
    {
        std::lock_guard lock(mutex);
        challenges.push_back(challenge.protectionSpace());
        if (challenge.protectionSpace().authenticationMethod == AuthenticationMethodHTTPBasic) {
            if (password && challenge.previousFailureCount() == 0)
                challenge.sender().useCredential(*password, challenge);
            else
                challenge.sender().continueWithoutCredential(challenge);
            return;
        }
        switch (trustAnswer) {
        case TrustAnswer::Default:
            challenge.sender().performDefaultHandling(challenge);
            break;
        case TrustAnswer::Accept:
            challenge.sender().useCredential(URLCredential::forTrust(challenge.protectionSpace().serverTrust), challenge);
            break;
        case TrustAnswer::Reject:
            challenge.sender().cancelAuthenticationChallenge(challenge);
            break;
        }
    }
    std::optional<URLRequest> connectionWillSendRequest(URLConnection&, URLRequest request, const std::shared_ptr<const URLResponse>& redirect) override
    {
        std::lock_guard lock(mutex);
        redirects.push_back(request.url()->absoluteString());
        (void)redirect;
        if (stopRedirects)
            return std::nullopt;
        return request;
    }
    void connectionDidSendBodyData(URLConnection&, std::int64_t written, std::int64_t, std::int64_t) override
    {
        std::lock_guard lock(mutex);
        uploaded += written;
    }
    void connectionDidReceiveResponse(URLConnection&, const std::shared_ptr<const URLResponse>& received) override
    {
        std::lock_guard lock(mutex);
        ++responses;
        response = std::dynamic_pointer_cast<const HTTPURLResponse>(received);
        plainResponse = received;
    }
    void connectionDidReceiveData(URLConnection& connection, std::string_view data) override
    {
        std::lock_guard lock(mutex);
        if (throwOnData)
            throw std::runtime_error("the delegate refused the data");
        received += data.size();
        largestChunk = std::max(largestChunk, data.size());
        if (keepBody)
            body.append(data);
        ++chunks;
        MainLoop::main().post([] { });
        if (cancelOnFirstData || (cancelAfterBytes && received >= cancelAfterBytes))
            connection.cancel();
        if (pauseOnFirstData && chunks == 1)
            connection.pause();
    }
    void connectionDidFinishLoading(URLConnection&) override
    {
        std::lock_guard lock(mutex);
        ++terminalCalls;
        ended = true;
        MainLoop::main().post([] { }); // wakes the test's runUntil
    }
    void connectionDidFailWithError(URLConnection&, const Error& failure) override
    {
        std::lock_guard lock(mutex);
        ++terminalCalls;
        error = failure;
        ended = true;
        MainLoop::main().post([] { });
    }

    std::mutex mutex;
    TrustAnswer trustAnswer = TrustAnswer::Default;
    std::optional<URLCredential> password; // the answer to a Basic challenge
    bool stopRedirects = false;
    bool cancelOnFirstData = false;
    bool pauseOnFirstData = false;
    std::size_t cancelAfterBytes = 0; // a reader's limit on a body; 0 for none
    bool keepBody = true;
    bool throwOnData = false;
    std::size_t received = 0;
    std::size_t largestChunk = 0;
    std::vector<ProtectionSpace> challenges;
    std::vector<std::string> redirects;
    std::int64_t uploaded = 0;
    int responses = 0;
    int chunks = 0;
    int terminalCalls = 0;
    std::shared_ptr<const HTTPURLResponse> response;
    std::shared_ptr<const URLResponse> plainResponse;
    std::string body;
    std::optional<Error> error;
    std::atomic<bool> ended { false };
};

class URLConnectionTest : public ::testing::Test {
protected:
    // The network thread posts its callbacks to the main loop, which must know its thread first.
    void SetUp() override { MainLoop::main().bindToCurrentThread(); }

    std::shared_ptr<RecordingDelegate> run(URLRequest request, std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>())
    {
        auto connection = URLConnection::create(std::move(request), delegate);
        NetworkThread::shared().perform([connection] { connection->start(); });
        EXPECT_TRUE(MainLoop::main().runUntil([&] { return delegate->ended.load(); }, 10s));
        return delegate;
    }

    // A round trip through the network thread's queue: whatever a transfer would still deliver
    // has been delivered by then.
    static bool drainNetworkThread()
    {
        std::atomic<bool> drained { false };
        NetworkThread::shared().perform([&] {
            NetworkThread::shared().perform([&] {
                drained = true;
                MainLoop::main().post([] { });
            });
        });
        return MainLoop::main().runUntil([&] { return drained.load(); }, 10s);
    }

    static URLRequest requestFor(const std::string& url)
    {
        return URLRequest(Url::parse(url));
    }

    TestHttpServer server;
};

} // namespace

TEST_F(URLConnectionTest, DeliversResponseAndBodyOnTheNetworkThread)
{
    server.handle("/hello", [&](const RecordedRequest&, ResponseWriter& writer) {
        writer.respond(200, "hello", { { "Content-Type", "text/plain; charset=ISO-8859-1" }, { "X-Twice", "a" }, { "x-twice", "b" } });
    });
    server.start();
    auto delegate = run(requestFor(server.url("/hello")));
    ASSERT_TRUE(delegate->response);
    EXPECT_EQ(delegate->response->statusCode(), 200);
    EXPECT_EQ(delegate->body, "hello");
    EXPECT_EQ(delegate->response->mimeType(), "text/plain");
    EXPECT_EQ(delegate->response->textEncodingName(), "ISO-8859-1");
    EXPECT_EQ(delegate->response->expectedContentLength(), 5);
    EXPECT_EQ(delegate->response->valueForHeader("x-TWICE"), "a, b");
    EXPECT_EQ(delegate->terminalCalls, 1);
}

TEST_F(URLConnectionTest, ChunkedBodyArrivesWhole)
{
    server.route("/chunks", TestResponse().withChunks({ "one ", "two ", "three" }));
    server.start();
    auto delegate = run(requestFor(server.url("/chunks")));
    EXPECT_EQ(delegate->body, "one two three");
    EXPECT_EQ(delegate->response->expectedContentLength(), -1);
    EXPECT_FALSE(delegate->error);
}

TEST_F(URLConnectionTest, NotFoundIsAResponseNotAnError)
{
    server.start();
    auto delegate = run(requestFor(server.url("/missing")));
    EXPECT_EQ(delegate->response->statusCode(), 404);
    EXPECT_EQ(delegate->body, "not found");
    EXPECT_FALSE(delegate->error);
}

TEST_F(URLConnectionTest, GzipBodyIsDecodedWhenTheCallerAskedForIt)
{
    server.handle("/gz", [](const RecordedRequest& request, ResponseWriter& writer) {
        auto accepted = request.header("Accept-Encoding").value_or("");
        if (accepted.find("gzip") == std::string::npos) {
            writer.respond(200, "plain");
            return;
        }
        writer.respond(200, gzip("zipped text"), { { "Content-Encoding", "gzip" } });
    });
    server.start();
    auto request = requestFor(server.url("/gz"));
    request.setValueForHeader("gzip, deflate", "Accept-Encoding");
    auto delegate = run(request);
    EXPECT_EQ(delegate->body, "zipped text");
    EXPECT_EQ(delegate->response->expectedContentLength(), -1);
}

TEST_F(URLConnectionTest, PostSendsBodyAndHeadersOnce)
{
    server.handle("/post", [](const RecordedRequest& request, ResponseWriter& writer) { writer.respond(200, request.body); });
    server.start();
    auto request = requestFor(server.url("/post"));
    request.setMethod("POST");
    request.setBody(std::string(3 << 20, 'x'));
    request.setValueForHeader("application/json", "Content-Type");
    request.setValueForHeader("999", "Content-Length");
    auto delegate = run(request);
    EXPECT_EQ(delegate->body.size(), 3u << 20);
    auto recorded = server.requests().at(0);
    EXPECT_EQ(recorded.method, "POST");
    EXPECT_EQ(recorded.header("Content-Type"), "application/json");
    EXPECT_EQ(recorded.header("Content-Length"), std::to_string(3 << 20));
    EXPECT_FALSE(recorded.header("Expect"));
    EXPECT_EQ(delegate->uploaded, 3 << 20);
}

TEST_F(URLConnectionTest, HeaderFieldsThatCouldSplitTheRequestAreRefusedAndNeverSent)
{
    server.route("/echo", TestResponse().withBody("ok"));
    server.start();
    auto request = requestFor(server.url("/echo"));
    request.setValueForHeader("kept", "X-Kept");
    auto refused = request.setValueForHeader("a\r\nX-Injected: yes", "X-Test");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->domain(), HTTPHeaderErrorDomain);
    EXPECT_EQ(refused->code(), kHTTPHeaderErrorInvalidValue);
    EXPECT_TRUE(request.setValueForHeader("kept", "X-Kept\r\nX-Injected: yes"));
    EXPECT_TRUE(request.setValueForHeader("v", "Bad Name"));
    EXPECT_TRUE(request.setValueForHeader("v", ""));
    EXPECT_TRUE(request.headers().add("X-Kept", std::string("a\0b", 3)));
    EXPECT_EQ(request.headers().add("X-Kept", "more"), std::nullopt);
    EXPECT_EQ(request.headers().size(), 1u);
    run(request);
    auto recorded = server.requests().at(0);
    EXPECT_FALSE(recorded.header("X-Injected"));
    EXPECT_FALSE(recorded.header("X-Test"));
    EXPECT_EQ(recorded.header("X-Kept"), "kept, more");
}

TEST_F(URLConnectionTest, StreamedBodyWithoutLengthIsSentChunked)
{
    server.handle("/upload", [](const RecordedRequest& request, ResponseWriter& writer) {
        writer.respond(200, request.header("Transfer-Encoding").value_or("") + ":" + request.body);
    });
    server.start();
    auto request = requestFor(server.url("/upload"));
    request.setMethod("PUT");
    request.setBodyStream(DataInputStream::create("streamed"));
    auto delegate = run(request);
    EXPECT_EQ(delegate->body, "chunked:streamed");
    EXPECT_EQ(server.requests().at(0).method, "PUT");
}

TEST_F(URLConnectionTest, AStreamedBodyShorterThanItsLengthFailsAtOnce)
{
    server.route("/upload", TestResponse().withBody("ok"));
    server.start();
    // The server waits for the seven bytes that never come; a minute's time-out would be the
    // only end if the connection did not notice the stream ending.
    auto request = requestFor(server.url("/upload"));
    request.setMethod("POST");
    request.setTimeoutInterval(60);
    request.setValueForHeader("10", "Content-Length");
    request.setBodyStream(DataInputStream::create("abc"));
    auto delegate = run(request);
    ASSERT_TRUE(delegate->ended.load());
    ASSERT_TRUE(delegate->error);
    EXPECT_TRUE(delegate->error->is(URLErrorDomain, URLConnection::kURLErrorRequestBodyStreamExhausted)) << delegate->error->code();
    EXPECT_EQ(delegate->error->failureReason(), "the body stream ended after 3 of the 10 bytes its Content-Length declares");
    EXPECT_EQ(delegate->error->failingURL(), server.url("/upload"));
    EXPECT_EQ(delegate->terminalCalls, 1);

    // Exactly the declared length goes through.
    auto whole = requestFor(server.url("/upload"));
    whole.setMethod("POST");
    whole.setValueForHeader("3", "Content-Length");
    whole.setBodyStream(DataInputStream::create("abc"));
    auto sent = run(whole);
    EXPECT_FALSE(sent->error);
    EXPECT_EQ(server.requests().back().body, "abc");
}

TEST_F(URLConnectionTest, HeadHasNoBodyAndDoesNotHang)
{
    server.route("/head", TestResponse().withBody("ignored"));
    server.start();
    auto request = requestFor(server.url("/head"));
    request.setMethod("HEAD");
    auto delegate = run(request);
    EXPECT_EQ(delegate->response->statusCode(), 200);
    EXPECT_EQ(delegate->body, "");
    EXPECT_FALSE(delegate->error);
}

TEST_F(URLConnectionTest, RedirectsAreFollowedAfterAskingTheDelegate)
{
    server.route("/from", TestResponse().withStatus(302).withHeader("Location", "/to?x=1").withBody("moved"));
    server.handle("/to", [](const RecordedRequest& request, ResponseWriter& writer) { writer.respond(200, request.method + " " + request.query); });
    server.start();
    auto request = requestFor(server.url("/from"));
    request.setMethod("POST");
    request.setBody("data");
    auto delegate = run(request);
    EXPECT_EQ(delegate->redirects, std::vector<std::string> { server.url("/to?x=1") });
    EXPECT_EQ(delegate->body, "GET x=1");
    EXPECT_EQ(delegate->responses, 1);
    EXPECT_EQ(delegate->response->url()->absoluteString(), server.url("/to?x=1"));
}

TEST_F(URLConnectionTest, TemporaryRedirectKeepsMethodAndBody)
{
    server.route("/from", TestResponse().withStatus(307).withHeader("Location", "/to"));
    server.handle("/to", [](const RecordedRequest& request, ResponseWriter& writer) { writer.respond(200, request.method + " " + request.body); });
    server.start();
    auto request = requestFor(server.url("/from"));
    request.setMethod("POST");
    request.setBodyStream(DataInputStream::create("kept"));
    auto delegate = run(request);
    EXPECT_EQ(delegate->body, "POST kept");
}

TEST_F(URLConnectionTest, RedirectRefusedByTheDelegateIsTheResponse)
{
    server.route("/from", TestResponse().withStatus(301).withHeader("Location", "/to").withBody("moved"));
    server.start();
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->stopRedirects = true;
    run(requestFor(server.url("/from")), delegate);
    EXPECT_EQ(delegate->response->statusCode(), 301);
    EXPECT_EQ(delegate->body, "moved");
}

TEST_F(URLConnectionTest, EndlessRedirectsFailWithTooManyRedirects)
{
    server.route("/loop", TestResponse().withStatus(302).withHeader("Location", "/loop"));
    server.start();
    auto delegate = run(requestFor(server.url("/loop")));
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->code(), kURLErrorHTTPTooManyRedirects);
    EXPECT_EQ(delegate->error->description(), "There were too many redirects.");
    EXPECT_NE(delegate->error->failureReason().value_or(""), "");
    EXPECT_EQ(server.requestCount(), 17u);
}

TEST_F(URLConnectionTest, CredentialsAndCallerCookiesDoNotFollowARedirectToAnotherOrigin)
{
    TestHttpServer other;
    other.handle("*", [](const RecordedRequest& request, ResponseWriter& writer) {
        writer.respond(200, "auth=" + request.header("Authorization").value_or("none") + " cookie=" + request.header("Cookie").value_or("none"));
    });
    other.start();
    server.handle("/login", [&](const RecordedRequest& request, ResponseWriter& writer) {
        if (!request.header("Authorization")) {
            writer.respond(401, "who?", { { "WWW-Authenticate", "Basic realm=\"here\"" } });
            return;
        }
        // "next" names where to go: this server again, or another one.
        auto target = request.query == "next=other" ? other.url("/landing", "localhost") : server.url("/landing");
        writer.respond(302, "", { { "Location", target } });
    });
    server.handle("/landing", [](const RecordedRequest& request, ResponseWriter& writer) {
        writer.respond(200, "auth=" + request.header("Authorization").value_or("none") + " cookie=" + request.header("Cookie").value_or("none"));
    });
    server.start();

    auto withPassword = [] {
        auto delegate = std::make_shared<RecordingDelegate>();
        delegate->password = URLCredential("user", "secret");
        return delegate;
    };
    // The credential the first server asked for goes along within that server only.
    EXPECT_EQ(run(requestFor(server.url("/login?next=self")), withPassword())->body, "auth=Basic dXNlcjpzZWNyZXQ= cookie=none");
    EXPECT_EQ(run(requestFor(server.url("/login?next=other")), withPassword())->body, "auth=none cookie=none");

    // So do an Authorization and a Cookie header the caller set.
    auto request = requestFor(server.url("/login?next=other"));
    request.setValueForHeader("Bearer token", "Authorization");
    request.setValueForHeader("caller=1", "Cookie");
    EXPECT_EQ(run(request)->body, "auth=none cookie=none");
    EXPECT_EQ(server.requests().back().header("Cookie"), "caller=1");
}

TEST_F(URLConnectionTest, CookiesSetByTheServerAreSentBackUnlessTheRequestOptsOut)
{
    server.route("/set", TestResponse().withCookie("session=abc; Path=/"));
    server.handle("/echo", [](const RecordedRequest& request, ResponseWriter& writer) { writer.respond(200, request.header("Cookie").value_or("none")); });
    server.start();
    run(requestFor(server.url("/set")));
    EXPECT_EQ(run(requestFor(server.url("/echo")))->body, "session=abc");
    auto request = requestFor(server.url("/echo"));
    request.setShouldHandleCookies(false);
    EXPECT_EQ(run(request)->body, "none");
}

TEST_F(URLConnectionTest, FailuresMapToURLErrorCodes)
{
    server.route("/cut", TestResponse().withBody(std::string(1000, 'a')).withCutAfter(10));
    server.start();
    auto lost = *run(requestFor(server.url("/cut")))->error;
    EXPECT_EQ(lost.code(), kURLErrorNetworkConnectionLost);
    EXPECT_EQ(lost.description(), "The network connection was lost.");
    EXPECT_NE(lost.failureReason().value_or(""), "");
    EXPECT_EQ(run(URLRequest())->error->code(), kURLErrorBadURL);
    EXPECT_EQ(run(requestFor("ftp://127.0.0.1/"))->error->code(), kURLErrorUnsupportedURL);

    TestHttpServer closed;
    closed.start();
    auto url = closed.url("/");
    closed.stop();
    EXPECT_EQ(run(requestFor(url))->error->code(), kURLErrorCannotConnectToHost);
    EXPECT_EQ(run(requestFor("http://no-such-host.invalid/"))->error->code(), kURLErrorCannotFindHost);
}

TEST_F(URLConnectionTest, AHandshakeWithAPlainServerFailsAsASecureConnectionFailure)
{
    // A peer that answers the TLS greeting with plain HTTP and hangs up.
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::thread peer([listener] {
        int client = ::accept(listener, nullptr, nullptr);
        if (client < 0)
            return;
        char greeting[512];
        (void)::read(client, greeting, sizeof greeting);
        const char reply[] = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
        (void)::write(client, reply, sizeof reply - 1);
        ::close(client);
    });
    auto delegate = run(requestFor("https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/"));
    peer.join();
    ::close(listener);
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->code(), kURLErrorSecureConnectionFailed);
}

TEST_F(URLConnectionTest, IdleTimeOutFailsWithTimedOut)
{
    server.route("/slow", TestResponse().withBody("late").withDelayBeforeHead(5000ms));
    server.start();
    auto request = requestFor(server.url("/slow"));
    request.setTimeoutInterval(1);
    auto delegate = run(request);
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->code(), kURLErrorTimedOut);
    EXPECT_EQ(delegate->error->failingURL(), server.url("/slow"));
    // The code's own description; what curl saw is only the reason.
    EXPECT_EQ(delegate->error->description(), "The request timed out.");
    EXPECT_NE(delegate->error->failureReason().value_or(""), "");

    // A body that stops half-way times out the same way.
    auto gate = std::make_shared<TestGate>();
    TestHttpServer stalling;
    stalling.route("/stall", TestResponse().withChunks({ "first", "never" }).withHoldAfterFirstChunk(gate));
    stalling.start();
    auto stalled = requestFor(stalling.url("/stall"));
    stalled.setTimeoutInterval(1);
    auto cut = run(stalled);
    ASSERT_TRUE(cut->error);
    EXPECT_EQ(cut->error->code(), kURLErrorTimedOut);
    EXPECT_EQ(cut->body, "first");
}

TEST_F(URLConnectionTest, SlowBodyWithinTheIdleTimeOutSucceeds)
{
    // A byte every 1.5 s is well under a byte a second on average, yet no gap lasts the time-out.
    server.route("/drip", TestResponse().withChunks({ "a", "b", "c", "d" }).withDelayBetweenChunks(1500ms));
    server.start();
    auto request = requestFor(server.url("/drip"));
    request.setTimeoutInterval(2);
    auto delegate = run(request);
    EXPECT_FALSE(delegate->error);
    EXPECT_EQ(delegate->body, "abcd");
}

TEST_F(URLConnectionTest, HugeTimeOutMeansNone)
{
    server.route("/ok", TestResponse().withBody("ok"));
    server.start();
    auto request = requestFor(server.url("/ok"));
    request.setTimeoutInterval(3.4e38);
    EXPECT_EQ(run(request)->body, "ok");
}

TEST_F(URLConnectionTest, CancelInsideACallbackStopsEveryLaterCall)
{
    auto gate = std::make_shared<TestGate>();
    server.route("/long", TestResponse().withChunks({ "first", "second" }).withHoldAfterFirstChunk(gate));
    server.start();
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->cancelOnFirstData = true;
    auto connection = URLConnection::create(requestFor(server.url("/long")), delegate);
    NetworkThread::shared().perform([connection] { connection->start(); });
    ASSERT_TRUE(MainLoop::main().runUntil([&] {
        std::lock_guard lock(delegate->mutex);
        return delegate->chunks == 1;
    }, 10s));
    gate->open();
    ASSERT_TRUE(drainNetworkThread());
    std::lock_guard lock(delegate->mutex);
    EXPECT_EQ(delegate->terminalCalls, 0);
    EXPECT_EQ(delegate->body, "first");
}

namespace {

// A body of `pieces` reads of 1000 bytes that asks its reader to wait `delay` seconds between
// reads. Before each read after the first it notes what `probe` answers then.
class ThrottledStream final : public InputStream {
public:
    ThrottledStream(int pieces, double delay, std::function<void()> onFirstRead, std::function<bool()> probe)
        : m_pieces(pieces), m_delay(delay), m_onFirstRead(std::move(onFirstRead)), m_probe(std::move(probe)) { }

    long read(char* buffer, std::size_t capacity) override
    {
        if (m_sent == m_pieces) {
            setStatus(StreamStatus::AtEnd);
            return 0;
        }
        if (m_sent == 0)
            m_onFirstRead();
        else
            probes.push_back(m_probe());
        auto count = std::min<std::size_t>(capacity, 1000);
        std::memset(buffer, 'a' + m_sent++, count);
        return static_cast<long>(count);
    }
    double delayBeforeNextRead() const override { return m_sent > 0 && m_sent < m_pieces ? m_delay : 0; }

    std::vector<bool> probes;

private:
    int m_pieces;
    int m_sent = 0;
    double m_delay;
    std::function<void()> m_onFirstRead;
    std::function<bool()> m_probe;
};

} // namespace

TEST_F(URLConnectionTest, AThrottledBodyPausesItsOwnTransferWhileOthersGoOn)
{
    server.route("/upload", TestResponse().withBody("stored"));
    server.route("/quick", TestResponse().withBody("quick"));
    server.start();
    // Another transfer starts once the throttled body has been read once; by the next read,
    // which waits out the body's delay, it has finished. A network thread that slept for the
    // delay, or a connection that ignored it, would read on first.
    auto quick = std::make_shared<RecordingDelegate>();
    auto quickConnection = URLConnection::create(requestFor(server.url("/quick")), quick);
    auto stream = std::make_shared<ThrottledStream>(3, 1.0,
        [quickConnection] { NetworkThread::shared().perform([quickConnection] { quickConnection->start(); }); },
        [quick] { return quick->ended.load(); });
    auto request = requestFor(server.url("/upload"));
    request.setMethod("POST");
    EXPECT_FALSE(request.setValueForHeader("3000", "Content-Length"));
    request.setBodyStream(stream);
    request.setTimeoutInterval(0.6); // shorter than the delay: waiting out a delay is not idling
    auto throttled = run(request);
    EXPECT_FALSE(throttled->error) << throttled->error->description();
    EXPECT_EQ(throttled->body, "stored");
    EXPECT_EQ(stream->probes, (std::vector<bool> { true, true }));
    ASSERT_EQ(server.requests().size(), 2u);
    auto upload = server.requests()[1].path == "/upload" ? server.requests()[1] : server.requests()[0];
    EXPECT_EQ(upload.body, std::string(1000, 'a') + std::string(1000, 'b') + std::string(1000, 'c'));
    EXPECT_EQ(quick->body, "quick");
}

TEST_F(URLConnectionTest, APausedTransferHoldsItsResponseUntilUnpaused)
{
    auto gate = std::make_shared<TestGate>();
    std::atomic<bool> sent { false };
    server.handle("/held", [&](const RecordedRequest&, ResponseWriter& writer) {
        writer.writeHead(200, { { "Transfer-Encoding", "chunked" } });
        writer.writeChunk("first");
        writer.waitFor(*gate);
        writer.writeChunk("second");
        writer.endChunks();
        sent = true;
        MainLoop::main().post([] { });
    });
    server.route("/other", TestResponse().withBody("other"));
    server.start();
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->pauseOnFirstData = true;
    auto connection = URLConnection::create(requestFor(server.url("/held")), delegate);
    NetworkThread::shared().perform([connection] { connection->start(); });
    ASSERT_TRUE(MainLoop::main().runUntil([&] {
        std::lock_guard lock(delegate->mutex);
        return delegate->chunks == 1;
    }, 10s));
    // The pause asked for in the data callback is carried out on the network thread: let it
    // happen before the rest of the body is on its way.
    ASSERT_TRUE(drainNetworkThread());
    gate->open();
    ASSERT_TRUE(MainLoop::main().runUntil([&] { return sent.load(); }, 10s));
    // The rest of the body waits on the socket while other transfers run to their end.
    EXPECT_EQ(run(requestFor(server.url("/other")))->body, "other");
    ASSERT_TRUE(drainNetworkThread());
    connection->pause(); // already paused: nothing changes
    {
        std::lock_guard lock(delegate->mutex);
        EXPECT_EQ(delegate->body, "first");
        EXPECT_EQ(delegate->terminalCalls, 0);
    }
    connection->unpause();
    ASSERT_TRUE(MainLoop::main().runUntil([&] { return delegate->ended.load(); }, 10s));
    EXPECT_FALSE(delegate->error);
    EXPECT_EQ(delegate->body, "firstsecond");
    EXPECT_EQ(delegate->terminalCalls, 1);
}

TEST_F(URLConnectionTest, FileURLsAreReadLocally)
{
    auto path = writeTemporaryFile("page.html", "<p>local</p>");
    auto delegate = run(URLRequest(Url::fileURL(path.string())));
    EXPECT_EQ(delegate->body, "<p>local</p>");
    EXPECT_EQ(delegate->plainResponse->mimeType(), "text/html");
    EXPECT_FALSE(delegate->response); // not an HTTP response
    EXPECT_EQ(run(URLRequest(Url::fileURL("/no/such/file")))->error->code(), kURLErrorFileDoesNotExist);
}

// A fresh folder of files for the "file://" tests, removed afterwards.
class FileURLTest : public URLConnectionTest {
protected:
    void SetUp() override
    {
        URLConnectionTest::SetUp();
        std::string pattern = (std::filesystem::temp_directory_path() / "morvix-fileurl-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string write(const std::string& name, const std::string& text)
    {
        auto path = folder / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    // A URL naming `name` in the folder, with `name` written as given (escapes and all).
    URLRequest requestForName(const std::string& name) const
    {
        return requestFor(Url::fileURL(folder.string()).absoluteString() + "/" + name);
    }
    // The error code of loading `request`, the same whether loaded on the network thread or
    // synchronously; 0 for none.
    long errorCode(const URLRequest& request)
    {
        auto delegate = run(request);
        EXPECT_EQ(delegate->responses, 0);
        auto result = URLConnection::sendSynchronousRequest(request);
        EXPECT_FALSE(result.response);
        long code = delegate->error ? delegate->error->code() : 0;
        EXPECT_EQ(result.error ? result.error->code() : 0, code);
        return code;
    }

    std::filesystem::path folder;
};

TEST_F(FileURLTest, DirectoriesAndSpecialFilesAreErrorsNotEmptyBodies)
{
    std::filesystem::create_directory(folder / "lib");
    write("lib/index.js", "module.exports = 1;");
    EXPECT_EQ(errorCode(requestForName("lib")), kURLErrorFileIsDirectory);
    EXPECT_EQ(errorCode(requestForName("lib/")), kURLErrorFileIsDirectory);
    // A named pipe is turned down at once, not waited on until some writer opens it.
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(errorCode(requestForName("pipe")), kURLErrorFileDoesNotExist);
    EXPECT_EQ(errorCode(requestFor("file:///dev/null")), kURLErrorFileDoesNotExist);
    EXPECT_EQ(errorCode(requestForName("missing.js")), kURLErrorFileDoesNotExist);
    // An empty regular file is still an empty success.
    write("empty.js", "");
    auto delegate = run(requestForName("empty.js"));
    EXPECT_FALSE(delegate->error);
    EXPECT_EQ(delegate->responses, 1);
    EXPECT_EQ(delegate->plainResponse->expectedContentLength(), 0);
}

TEST_F(FileURLTest, AHugeSparseFileArrivesPieceByPieceAndItsReaderCanStopIt)
{
    constexpr std::int64_t kSize = std::int64_t(4) << 40;
    auto path = folder / "huge.bin";
    int descriptor = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(descriptor, 0);
    bool sized = ::ftruncate(descriptor, kSize) == 0;
    ::close(descriptor);
    if (!sized)
        GTEST_SKIP() << "the temporary file system holds no 4 TiB file";

    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->keepBody = false;
    delegate->cancelAfterBytes = 4 << 20;
    auto connection = URLConnection::create(URLRequest(Url::fileURL(path.string())), delegate);
    NetworkThread::shared().perform([connection] { connection->start(); });
    ASSERT_TRUE(MainLoop::main().runUntil([&] {
        std::lock_guard lock(delegate->mutex);
        return delegate->received >= delegate->cancelAfterBytes;
    }, 30s));
    ASSERT_TRUE(drainNetworkThread());
    std::lock_guard lock(delegate->mutex);
    EXPECT_EQ(delegate->plainResponse->expectedContentLength(), kSize);
    EXPECT_EQ(delegate->received, std::size_t(4 << 20)) << "nothing arrives after the reader stopped";
    EXPECT_LE(delegate->largestChunk, std::size_t(64 << 10));
    EXPECT_EQ(delegate->terminalCalls, 0);
}

TEST_F(FileURLTest, ADelegateThatThrowsFailsItsOwnTransferAndTheNetworkThreadGoesOn)
{
    auto path = write("page.txt", "text");
    TestHttpServer server;
    server.route("/", TestResponse().withBody("body"));
    server.start();
    for (const auto& url : { Url::fileURL(path).absoluteString(), server.url("/") }) {
        auto throwing = std::make_shared<RecordingDelegate>();
        throwing->throwOnData = true;
        run(requestFor(url), throwing);
        ASSERT_TRUE(throwing->error) << url;
        EXPECT_EQ(throwing->error->code(), kURLErrorUnknown);
        EXPECT_EQ(throwing->error->failureReason(), "the delegate refused the data");
        EXPECT_EQ(throwing->terminalCalls, 1);
        EXPECT_EQ(run(requestFor(url))->received, 4u);
    }
}

TEST_F(FileURLTest, PercentEscapesInThePathAreUndone)
{
    write("a b.js", "spaced");
    write("100%.txt", "percent");
    write("caf\xc3\xa9.json", "{}");
    EXPECT_EQ(run(requestForName("a%20b.js"))->body, "spaced");
    EXPECT_EQ(run(requestForName("100%25.txt"))->body, "percent");
    EXPECT_EQ(run(requestForName("caf%C3%a9.json"))->body, "{}");
    // The URL made from a path round-trips through the escapes it adds.
    EXPECT_EQ(run(URLRequest(Url::fileURL((folder / "a b.js").string())))->body, "spaced");
    // The file type follows the decoded name.
    EXPECT_EQ(run(requestForName("a%20b%2Ejs"))->plainResponse->mimeType(), mimeTypeForPath("a b.js"));
}

TEST_F(FileURLTest, EscapesThatCannotNameAFileAreBadURLs)
{
    write("a", "not this one");
    EXPECT_EQ(errorCode(requestForName("a%00")), kURLErrorBadURL);
    EXPECT_EQ(errorCode(requestForName("a%00b")), kURLErrorBadURL);
    EXPECT_EQ(errorCode(requestForName("a%zz")), kURLErrorBadURL);
    EXPECT_EQ(errorCode(requestForName("a%2")), kURLErrorBadURL);
    EXPECT_EQ(errorCode(requestForName("a%")), kURLErrorBadURL);
}

TEST_F(FileURLTest, SynchronousRequestsReadFilesToo)
{
    write("data b.json", "[1,2]");
    auto result = URLConnection::sendSynchronousRequest(requestForName("data%20b.json"));
    EXPECT_FALSE(result.error);
    EXPECT_EQ(result.data, "[1,2]");
    ASSERT_TRUE(result.response);
    EXPECT_EQ(result.response->mimeType(), "application/json");
    EXPECT_EQ(result.response->expectedContentLength(), 5);
    EXPECT_FALSE(std::dynamic_pointer_cast<const HTTPURLResponse>(result.response));
}

TEST_F(URLConnectionTest, SynchronousRequestRunsOnTheCallersThread)
{
    server.route("/sync", TestResponse().withBody("now"));
    server.start();
    auto result = URLConnection::sendSynchronousRequest(requestFor(server.url("/sync")));
    EXPECT_EQ(result.data, "now");
    EXPECT_FALSE(result.error);
    ASSERT_TRUE(result.response);
}

TEST_F(URLConnectionTest, SynchronousRequestsEndAtTheirDeadlineAndBodyLimit)
{
    // A byte now and then keeps the idle time-out from ever falling due; the deadline does not
    // care, and the connection is closed when it passes.
    auto trickleEnded = std::make_shared<std::atomic<bool>>(false);
    server.handle("/trickle", [trickleEnded](const RecordedRequest&, ResponseWriter& writer) {
        writer.writeHead(200, { { "Transfer-Encoding", "chunked" } });
        while (writer.writeChunk("x"))
            writer.delay(20ms);
        *trickleEnded = true;
    });
    server.route("/big", TestResponse().withBody(std::string(100000, 'b')));
    server.start();
    URLConnection::SynchronousLimits limits;
    limits.deadline = 300ms;
    auto trickled = URLConnection::sendSynchronousRequest(requestFor(server.url("/trickle")), limits);
    ASSERT_TRUE(trickled.error);
    EXPECT_EQ(trickled.error->code(), kURLErrorTimedOut);
    EXPECT_TRUE(MainLoop::main().runUntil([&] { return trickleEnded->load(); }, 10s));

    limits = {};
    limits.maximumBodySize = 99999;
    auto big = URLConnection::sendSynchronousRequest(requestFor(server.url("/big")), limits);
    ASSERT_TRUE(big.error);
    EXPECT_EQ(big.error->domain(), POSIXErrorDomain);
    EXPECT_EQ(big.error->code(), EFBIG);
    EXPECT_EQ(big.data, "");
    limits.maximumBodySize = 100000;
    EXPECT_EQ(URLConnection::sendSynchronousRequest(requestFor(server.url("/big")), limits).data.size(), 100000u);
}

namespace {

// A TLS 1.2 server on the loopback address that serves one connection at a time, answers every
// request with "ok", and asks for a renegotiation before answering the second request of a
// connection. It counts the renegotiations the client completed and those it refused.
class RenegotiatingServer {
public:
    RenegotiatingServer(const TestCertificate& certificate, const TestCertificate& issuer)
    {
        m_context = SSL_CTX_new(TLS_server_method());
        SSL_CTX_set_max_proto_version(m_context, TLS1_2_VERSION);
        // A full handshake, so that the client verifies the chain again.
        SSL_CTX_set_options(m_context, SSL_OP_NO_SESSION_RESUMPTION_ON_RENEGOTIATION);
        auto read = [](const std::string& pem, auto reader) {
            BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
            auto* object = reader(bio, nullptr, nullptr, nullptr);
            BIO_free(bio);
            return object;
        };
        X509* leaf = read(certificate.pem, PEM_read_bio_X509);
        X509* chain = read(issuer.pem, PEM_read_bio_X509);
        EVP_PKEY* key = read(certificate.privateKeyPem, PEM_read_bio_PrivateKey);
        SSL_CTX_use_certificate(m_context, leaf);
        SSL_CTX_add1_chain_cert(m_context, chain);
        SSL_CTX_use_PrivateKey(m_context, key);
        X509_free(leaf);
        X509_free(chain);
        EVP_PKEY_free(key);

        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_listener, 4) != 0)
            throw std::runtime_error("renegotiating server: cannot listen");
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { acceptLoop(); });
    }
    ~RenegotiatingServer()
    {
        m_stopping = true;
        m_thread.join();
        ::close(m_listener);
        SSL_CTX_free(m_context);
    }

    std::string url() const { return "https://localhost:" + std::to_string(m_port) + "/"; }
    int completedRenegotiations() const { return m_completed.load(); }
    int refusedRenegotiations() const { return m_refused.load(); }

private:
    // Waits up to 50 ms for `fd` to be readable; the loops look at the stop flag in between.
    bool readable(int fd) const
    {
        pollfd watched { fd, POLLIN, 0 };
        return ::poll(&watched, 1, 50) > 0;
    }

    void acceptLoop()
    {
        while (!m_stopping) {
            if (!readable(m_listener))
                continue;
            int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            SSL* ssl = SSL_new(m_context);
            SSL_set_fd(ssl, fd);
            if (SSL_accept(ssl) == 1)
                serve(ssl, fd);
            SSL_free(ssl);
            ::close(fd);
        }
    }

    // Reads application data into `buffer`; false when the connection failed or closed.
    bool readSome(SSL* ssl, int fd, std::string& buffer)
    {
        char chunk[4096];
        while (!m_stopping) {
            if (SSL_pending(ssl) == 0 && !readable(fd))
                continue;
            int got = SSL_read(ssl, chunk, sizeof chunk);
            if (got > 0) {
                buffer.append(chunk, static_cast<std::size_t>(got));
                return true;
            }
            if (SSL_get_error(ssl, got) != SSL_ERROR_WANT_READ)
                return false;
        }
        return false;
    }

    void serve(SSL* ssl, int fd)
    {
        // Non-blocking from here on, so that a finished renegotiation is seen without waiting
        // for application data that the client will not send before its answer.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        std::string buffer;
        for (int served = 1; !m_stopping; ++served) {
            while (buffer.find("\r\n\r\n") == std::string::npos) {
                if (!readSome(ssl, fd, buffer))
                    return;
            }
            buffer.erase(0, buffer.find("\r\n\r\n") + 4);
            if (served == 2 && !renegotiate(ssl, fd))
                return;
            const std::string response = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
            if (SSL_write(ssl, response.data(), static_cast<int>(response.size())) <= 0)
                return;
        }
    }

    bool renegotiate(SSL* ssl, int fd)
    {
        if (SSL_renegotiate(ssl) != 1 || SSL_do_handshake(ssl) != 1)
            return false;
        // The client's handshake (or its refusal) arrives while it waits for the response.
        while (!m_stopping && SSL_renegotiate_pending(ssl)) {
            if (!readable(fd))
                continue;
            char byte;
            int got = SSL_read(ssl, &byte, 1);
            if (got <= 0 && SSL_get_error(ssl, got) != SSL_ERROR_WANT_READ) {
                ++m_refused;
                return false;
            }
        }
        ++m_completed;
        return true;
    }

    SSL_CTX* m_context = nullptr;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping { false };
    std::atomic<int> m_completed { 0 };
    std::atomic<int> m_refused { 0 };
    std::thread m_thread;
};

} // namespace

class URLConnectionTLSTest : public URLConnectionTest {
protected:
    void SetUp() override
    {
        URLConnectionTest::SetUp();
        setenv("SSL_CERT_FILE", TestPKI::shared().rootFile.c_str(), 1);
    }
    void TearDown() override { unsetenv("SSL_CERT_FILE"); }
};

TEST_F(URLConnectionTLSTest, DefaultHandlingTrustsTheSystemAnchorsAndChecksTheHost)
{
    const auto& pki = TestPKI::shared();
    server.route("/", TestResponse().withBody("secure"));
    server.startTLS(pki.leaf, { pki.intermediate });
    auto delegate = run(requestFor(server.url("/", "localhost")));
    EXPECT_EQ(delegate->body, "secure");
    ASSERT_EQ(delegate->challenges.size(), 1u);
    EXPECT_EQ(delegate->challenges[0].authenticationMethod, AuthenticationMethodServerTrust);
    EXPECT_EQ(delegate->challenges[0].host, "localhost");
    EXPECT_EQ(delegate->challenges[0].serverTrust->presentedChain().size(), 2u);

    EXPECT_EQ(run(requestFor(server.url("/", "127.0.0.1")))->body, "secure");
}

TEST_F(URLConnectionTLSTest, UntrustedCertificatesFailUnlessTheDelegateAccepts)
{
    const auto& pki = TestPKI::shared();
    server.route("/", TestResponse().withBody("secure"));
    server.startTLS(pki.selfSigned);
    auto untrusted = *run(requestFor(server.url("/")))->error;
    EXPECT_EQ(untrusted.code(), kURLErrorServerCertificateUntrusted);
    EXPECT_EQ(untrusted.description(), "The certificate for this server is invalid.");
    EXPECT_EQ(untrusted.failureReason(), "self-signed certificate");

    auto accepting = std::make_shared<RecordingDelegate>();
    accepting->trustAnswer = RecordingDelegate::TrustAnswer::Accept;
    EXPECT_EQ(run(requestFor(server.url("/")), accepting)->body, "secure");

    TestHttpServer trusted;
    trusted.route("/", TestResponse().withBody("secure"));
    trusted.startTLS(pki.leaf, { pki.intermediate });
    auto rejecting = std::make_shared<RecordingDelegate>();
    rejecting->trustAnswer = RecordingDelegate::TrustAnswer::Reject;
    EXPECT_EQ(run(requestFor(trusted.url("/")), rejecting)->error->code(), kURLErrorUserCancelledAuthentication);
}

TEST_F(URLConnectionTLSTest, WrongHostAndExpiredCertificatesAreUntrusted)
{
    const auto& pki = TestPKI::shared();
    TestHttpServer wrongHost;
    wrongHost.startTLS(pki.wrongHost, { pki.intermediate });
    EXPECT_EQ(run(requestFor(wrongHost.url("/", "localhost")))->error->code(), kURLErrorServerCertificateUntrusted);
    TestHttpServer expired;
    expired.startTLS(pki.expired, { pki.intermediate });
    EXPECT_EQ(run(requestFor(expired.url("/", "localhost")))->error->code(), kURLErrorServerCertificateUntrusted);
}

TEST_F(URLConnectionTLSTest, AConnectionTrustedOnlyByOneDelegateServesNoOtherRequest)
{
    const auto& pki = TestPKI::shared();
    server.route("/", TestResponse().withBody("secure"));
    server.startTLS(pki.selfSigned);
    auto accepting = std::make_shared<RecordingDelegate>();
    accepting->trustAnswer = RecordingDelegate::TrustAnswer::Accept;
    EXPECT_EQ(run(requestFor(server.url("/")), accepting)->body, "secure");

    // The accepted connection stays open, but a request under the default handling gets a
    // handshake of its own, and no request of it reaches the server.
    auto strict = run(requestFor(server.url("/")));
    ASSERT_TRUE(strict->error);
    EXPECT_EQ(strict->error->code(), kURLErrorServerCertificateUntrusted);
    EXPECT_EQ(strict->challenges.size(), 1u);
    EXPECT_EQ(server.requestCount(), 1u);

    // Another accepting delegate is asked for its own connection too.
    auto other = std::make_shared<RecordingDelegate>();
    other->trustAnswer = RecordingDelegate::TrustAnswer::Accept;
    EXPECT_EQ(run(requestFor(server.url("/")), other)->body, "secure");
    EXPECT_EQ(other->challenges.size(), 1u);
}

TEST_F(URLConnectionTLSTest, APooledConnectionRefusesARenegotiationAfterItsFirstTransferEnded)
{
    // The first transfer's connection object is gone when the second request reuses its TLS
    // connection and the server asks to renegotiate: the handshake would verify the chain again
    // for a transfer that no longer exists. The client refuses, and the request is sent again
    // on a connection of its own.
    const auto& pki = TestPKI::shared();
    RenegotiatingServer renegotiating(pki.leaf, pki.intermediate);
    EXPECT_EQ(run(requestFor(renegotiating.url()))->body, "ok");
    auto second = run(requestFor(renegotiating.url()));
    EXPECT_FALSE(second->error);
    EXPECT_EQ(second->body, "ok");
    EXPECT_EQ(renegotiating.completedRenegotiations(), 0);
    EXPECT_EQ(renegotiating.refusedRenegotiations(), 1);
}
