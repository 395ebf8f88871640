#pragma once
// A scripted HTTP and HTTPS server on the loopback address, for tests of the HTTP layer and of
// everything built on it.

#include "tests/support/TestCertificates.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace morvix::testing {

using TestHeaders = std::vector<std::pair<std::string, std::string>>;

/// One request as the server received it (body already de-chunked).
struct RecordedRequest {
    std::string method;
    std::string target;  // as on the request line: path and query
    std::string path;
    std::string query;   // without the "?"; empty when none
    std::string version; // "HTTP/1.1"
    TestHeaders headers; // in arrival order, spelled as sent
    std::string body;
    int connection = 0;  // 1 for the server's first accepted connection, and so on

    /// The first header of that name, compared without regard to case; nothing when absent.
    std::optional<std::string> header(std::string_view name) const;
};

/// A one-way latch a test opens to let a waiting handler go on (for example to hold a body
/// half-sent while the client pauses or cancels). Any thread.
class TestGate {
public:
    void open();
    bool isOpen() const;
    /// Waits until open or until `stopping` becomes true; true when opened.
    bool wait(const std::atomic<bool>& stopping) const;

private:
    mutable std::mutex m_mutex; // guards m_open
    mutable std::condition_variable m_changed;
    bool m_open = false;
};

class TestConnection;

/// What a handler writes its response with. Writes fail quietly (returning false) once the
/// client has gone. Runs on the connection's own thread.
class ResponseWriter {
public:
    /// Sends the status line and headers. Without a Content-Length or chunked Transfer-Encoding
    /// in `headers` the body ends when the handler returns (the connection is then closed).
    bool writeHead(int status, const TestHeaders& headers = {}, std::string reason = {});
    /// Raw body bytes.
    bool write(std::string_view bytes);
    /// One chunk of a chunked body (Transfer-Encoding: chunked must be in the head); empty
    /// chunks are skipped, since an empty chunk would end the body.
    bool writeChunk(std::string_view bytes);
    /// The last, empty chunk.
    bool endChunks();
    /// A complete response with a Content-Length.
    bool respond(int status, std::string_view body, TestHeaders headers = {});
    /// Closes the connection after the handler returns, whatever the response said.
    void closeConnection() { m_close = true; }
    /// Holds the response until the test opens `gate` (or the server stops); true when opened.
    bool waitFor(const TestGate& gate);
    /// A server-side delay: the slow peer that a test wants, not a wait for a result.
    void delay(std::chrono::milliseconds duration);
    bool isStopping() const;

private:
    friend class TestHttpServer;
    ResponseWriter(TestConnection& connection, const std::atomic<bool>& stopping)
        : m_connection(connection), m_stopping(stopping) { }
    TestConnection& m_connection;
    const std::atomic<bool>& m_stopping;
    bool m_close = false;
    bool m_headWritten = false;
    bool m_delimited = false; // the head gave a length or chunked encoding
};

/// A scripted response: status, headers, cookies and a body sent whole, in chunks or cut short.
struct TestResponse {
    int status = 200;
    TestHeaders headers;
    std::vector<std::string> cookies;  // each one a Set-Cookie header value
    std::string body;
    /// When not empty the body is sent with chunked encoding, one chunk per element, and `body`
    /// is ignored.
    std::vector<std::string> chunks;
    std::chrono::milliseconds delayBeforeHead { 0 };
    std::chrono::milliseconds delayBetweenChunks { 0 };
    /// Declares the whole body's Content-Length but closes the connection after this many bytes.
    std::optional<std::size_t> cutAfter;
    /// When set, the head (and the first chunk) go out, then the rest waits for this gate.
    std::shared_ptr<TestGate> holdAfterFirstChunk;

    // Chained setters, so that a route reads as one expression (designated initialisers would
    // trip -Wmissing-field-initializers):
    //   server.route("/a", TestResponse().withStatus(404).withBody("gone"));
    TestResponse& withStatus(int code) { status = code; return *this; }
    TestResponse& withHeader(std::string name, std::string value) { headers.emplace_back(std::move(name), std::move(value)); return *this; }
    TestResponse& withCookie(std::string cookie) { cookies.push_back(std::move(cookie)); return *this; }
    TestResponse& withBody(std::string bytes) { body = std::move(bytes); return *this; }
    TestResponse& withChunks(std::vector<std::string> parts) { chunks = std::move(parts); return *this; }
    TestResponse& withDelayBeforeHead(std::chrono::milliseconds delay) { delayBeforeHead = delay; return *this; }
    TestResponse& withDelayBetweenChunks(std::chrono::milliseconds delay) { delayBetweenChunks = delay; return *this; }
    TestResponse& withCutAfter(std::size_t bytes) { cutAfter = bytes; return *this; }
    TestResponse& withHoldAfterFirstChunk(std::shared_ptr<TestGate> gate) { holdAfterFirstChunk = std::move(gate); return *this; }
};

/// A server on 127.0.0.1 and a free port, plain or TLS, serving scripted routes. Each
/// connection has a thread of its own; keep-alive is honoured. Every request is recorded.
/// Unknown paths get a 404. Destroying the server stops it.
///
/// Example:
///   TestHttpServer server;
///   server.route("/hello", TestResponse().withHeader("Content-Type", "text/plain").withBody("hi"));
///   server.start();
///   fetch(server.url("/hello"));
///
/// Thread safety: configure routes before `start`; `requests`, `url` and `stop` from any thread.
class TestHttpServer {
public:
    using Handler = std::function<void(const RecordedRequest&, ResponseWriter&)>;

    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    /// Serves `response` for requests whose path (without query) is `path`; "*" matches every
    /// path without a route of its own.
    void route(std::string path, TestResponse response);
    /// Runs `handler` for requests on `path` ("*" as above).
    void handle(std::string path, Handler handler);

    /// Plain HTTP. Throws when no port can be bound.
    void start();
    /// TLS with `certificate` and its key, sending `chain` (issuers, leaf first order) after it.
    void startTLS(const TestCertificate& certificate, const std::vector<TestCertificate>& chain = {});
    /// Closes every connection, releases waiting handlers and joins the threads. Idempotent.
    void stop();

    int port() const { return m_port; }
    bool isTLS() const { return m_tls; }
    /// "http://127.0.0.1:<port><path>" (or https); `host` replaces 127.0.0.1 ("localhost").
    std::string url(std::string_view path = "/", std::string_view host = "127.0.0.1") const;

    std::vector<RecordedRequest> requests() const;
    std::size_t requestCount() const;
    /// Connections accepted (TLS: handshakes that completed) and handshakes that failed.
    std::size_t connectionCount() const { return m_connections.load(); }
    std::size_t failedHandshakeCount() const { return m_failedHandshakes.load(); }

private:
    void listen();
    void acceptLoop();
    void serve(int fd, int id);
    void dispatch(const RecordedRequest& request, ResponseWriter& writer);
    static void sendScripted(const TestResponse& response, ResponseWriter& writer);

    int m_listenFd = -1;
    int m_wakeFds[2] = { -1, -1 };
    int m_port = 0;
    bool m_tls = false;
    void* m_sslContext = nullptr; // SSL_CTX*, kept opaque so that users need no OpenSSL headers
    std::atomic<bool> m_stopping { false };
    std::atomic<std::size_t> m_connections { 0 };
    std::atomic<std::size_t> m_failedHandshakes { 0 };
    std::thread m_acceptThread;
    std::map<std::string, Handler> m_handlers;

    mutable std::mutex m_mutex; // guards m_requests, m_openFds and m_connectionThreads
    std::vector<RecordedRequest> m_requests;
    std::vector<int> m_openFds;
    std::vector<std::thread> m_connectionThreads;
};

/// The gzip encoding of `bytes` (for Content-Encoding tests).
std::string gzip(std::string_view bytes);

} // namespace morvix::testing
