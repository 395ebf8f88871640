#pragma once
// One HTTP (or file) transfer on the network thread.

#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/HTTPHeaders.h"
#include "platform/net/URLConnectionDelegate.h"
#include "platform/net/URLCredential.h"
#include "platform/net/URLRequest.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

typedef void CURL;
struct curl_slist;
typedef struct x509_store_ctx_st X509_STORE_CTX;

namespace morvix::platform {

class HTTPURLResponse;
class ServerTrust;

/// Whether an earlier accepted TLS connection may carry this transfer. A connection whose trust
/// was decided by a stricter or different rule must not be reused for a laxer one and back.
enum class ConnectionReuse { Allowed, Forbidden };

/// Sends one request and delivers the response to its delegate, on the network thread
/// ("Networking"), through libcurl.
///
/// - Redirects (301, 302, 303, 307, 308) are followed by the connection itself, asking the
///   delegate first; 303, and 301/302 after a POST, continue as GET without a body. At most 16.
/// - TLS: every new connection presents its chain to the delegate as a server-trust challenge;
///   "use credential" proceeds, "cancel" fails with kURLErrorUserCancelledAuthentication, and the
///   default handling evaluates the trust for the host against the system anchors (failing with
///   kURLErrorServerCertificateUntrusted). Host checks belong to that evaluation, not to curl.
///   Renegotiation is refused. A pooled connection whose chain only a delegate accepted (the
///   default evaluation refused it) carries no other connection's request: that request gets a
///   connection and a challenge of its own.
/// - The request's time-out is an idle time-out.
/// - Cookies are shared by every connection whose request handles cookies.
/// - "file://" URLs are read by the connection itself, piece by piece like any body.
/// - An exception a delegate throws on the network thread fails its transfer (kURLErrorUnknown,
///   the exception's text as the reason); it never reaches curl, OpenSSL or the thread's loop.
/// - A body stream that asks for a delay before its next read (`InputStream::delayBeforeNextRead`)
///   has its transfer paused that long, and resumed by a timer; the network thread never sleeps
///   for it, so other transfers go on meanwhile. A synchronous request sleeps on its own thread.
/// - A body stream that ends before the "Content-Length" it was sent with fails the transfer at
///   once with kURLErrorRequestBodyStreamExhausted; the server would otherwise wait for the
///   missing bytes until the idle time-out.
/// - `pause` and `unpause` hold and release the whole transfer (sending and receiving). Time
///   spent paused, by either, counts toward no idle time-out.
///
/// Ownership: while a transfer runs, the network thread holds the connection and the connection
/// holds its delegate strongly, so a delegate nobody else keeps lives until its last callback.
///
/// Thread safety: `create` anywhere; `start` and `cancel` on the network thread only (hand them
/// over with NetworkThread::perform). `pause` and `unpause` on any thread. `sendSynchronousRequest`
/// on any thread except the network thread.
class URLConnection final : public AuthenticationChallengeSender, public std::enable_shared_from_this<URLConnection> {
public:
    /// The code (in URLErrorDomain) of a transfer whose body stream ended before its declared
    /// length.
    static constexpr long kURLErrorRequestBodyStreamExhausted = -1021;

    static std::shared_ptr<URLConnection> create(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate);
    ~URLConnection() override;
    URLConnection(const URLConnection&) = delete;
    URLConnection& operator=(const URLConnection&) = delete;

    /// Defaults to Allowed; set before `start`.
    void setConnectionReuse(ConnectionReuse reuse) { m_reuse = reuse; }

    /// Starts the transfer. Does nothing the second time.
    void start();
    /// Stops the transfer; the delegate hears nothing more. Does nothing once ended. Safe from
    /// inside a delegate callback of this connection.
    void cancel();
    /// Holds the transfer where it is (before it starts, from its start) until `unpause`; the
    /// connection stays open and the delegate hears nothing meanwhile. Any thread: the change is
    /// made on the network thread, after the tasks handed over before it. Pausing a paused
    /// connection, or unpausing a running one, does nothing; so does either once the transfer
    /// has ended.
    void pause();
    void unpause();

    const URLRequest& originalRequest() const { return m_originalRequest; }
    /// The request being sent (after redirects).
    const URLRequest& currentRequest() const { return m_request; }

    struct SynchronousResult {
        std::shared_ptr<const URLResponse> response;
        std::string data;
        std::optional<Error> error;
    };
    /// What bounds a synchronous request beside its own idle time-out, for callers that must
    /// not wait on a server without end.
    struct SynchronousLimits {
        /// The most body bytes taken. A longer body ends the transfer as soon as it goes past
        /// the limit and fails the request with a POSIX EFBIG error, keeping no data.
        std::optional<std::uint64_t> maximumBodySize;
        /// How long the whole request may take, redirects included, however steadily bytes
        /// arrive; past it the request fails with kURLErrorTimedOut.
        std::optional<std::chrono::milliseconds> deadline;
    };
    /// Runs a request to its end on the calling thread, sharing the cookie store; a "file://"
    /// URL is read as `start` reads it, within the same body limit. Never call it on the main
    /// thread while the network thread may wait for the main thread.
    static SynchronousResult sendSynchronousRequest(const URLRequest& request, const SynchronousLimits& limits = {});

    // AuthenticationChallengeSender; called by the delegate during a challenge.
    void useCredential(const URLCredential& credential, const AuthenticationChallenge& challenge) override;
    void continueWithoutCredential(const AuthenticationChallenge& challenge) override;
    void cancelAuthenticationChallenge(const AuthenticationChallenge& challenge) override;
    void performDefaultHandling(const AuthenticationChallenge& challenge) override;

private:
    friend class NetworkThread;
    enum class ChallengeAnswer { None, UseCredential, ContinueWithout, Cancel, Default };
    enum class Outcome { Running, Restart, Ended };
    enum class TrustDecision { Refused, Trusted, TrustedOnlyByDelegate };
    struct TLSBinding;

    URLConnection(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate);

    // The regular file a "file://" URL names, opened, or the URL error code that stands for why
    // there is none (a bad escape, a directory, a missing or special file).
    struct OpenedFile {
        std::string path;
        int descriptor = -1;
        std::int64_t size = 0;
        long errorCode = 0;
    };
    static OpenedFile openFileURL(const Url& url);

    bool configure();
    void addHeaders();
    void addBody();
    void serveFile();
    void serveFileChunks();
    void performSynchronously();
    /// Runs `step` as a network-thread task; an exception it throws fails this transfer.
    void performGuarded(void (URLConnection::*step)());
    void endAfterException(const std::string& what);
    template<typename Result, typename Step>
    Result guardCallback(Result refusal, Step&& step);
    void failInCallback(const std::string& what);
    void failSoon(long code);
    void setPaused(bool paused);
    /// Tells curl which directions are held: everything while paused, sending while a throttle
    /// delay runs.
    void applyPause();
    void pauseForThrottle(double seconds);
    void endThrottlePause(unsigned generation);
    Outcome handleResult(int code);
    void transferDone(int code);
    void teardown();
    std::string failingURL() const;
    std::optional<URLRequest> redirectRequest(int status, const std::string& location);

    std::size_t onHeader(const char* data, std::size_t length);
    bool onHeadersComplete();
    std::size_t onData(const char* data, std::size_t length);
    std::size_t onRead(char* buffer, std::size_t length);
    int onProgress(std::int64_t downloadNow, std::int64_t uploadTotal, std::int64_t uploadNow);
    /// When the idle time-out ends the running transfer unless a byte moves first; nothing
    /// without a time-out or once ended.
    std::optional<std::chrono::steady_clock::time_point> idleDeadline() const;
    TrustDecision onVerify(X509_STORE_CTX* context);
    bool passesDefaultEvaluation(const ServerTrust& trust);
    int onConnectionReady();
    bool askForCredential();

    static std::size_t headerCallback(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t writeCallback(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t readCallback(char* buffer, std::size_t size, std::size_t count, void* self);
    static int progressCallback(void* self, std::int64_t, std::int64_t downloadNow, std::int64_t uploadTotal, std::int64_t uploadNow);
    static int sslContextCallback(CURL*, void* context, void* self);
    static int verifyCallback(X509_STORE_CTX* context, void* binding);
    static int prerequestCallback(void* self, char* connectedIP, char* localIP, int connectedPort, int localPort);

    URLRequest m_originalRequest;
    URLRequest m_request;
    std::shared_ptr<URLConnectionDelegate> m_delegate;
    ConnectionReuse m_reuse = ConnectionReuse::Allowed;
    CURL* m_handle = nullptr;
    curl_slist* m_headerList = nullptr;
    char m_errorBuffer[256] = {};
    bool m_started = false;
    bool m_ended = false;
    bool m_cancelled = false;
    int m_callbackDepth = 0;
    bool m_synchronous = false;
    int m_fileDescriptor = -1; // the file a "file://" transfer is reading
    bool m_freshConnection = false; // a pooled connection was not this transfer's to use
    // Pausing. The caller's pause holds the whole transfer; a throttle pause holds sending until
    // its timer ends it, and then the next read goes ahead without asking for a delay again.
    // The generation tells a throttle timer of an earlier attempt (before a redirect) apart.
    bool m_userPaused = false;
    bool m_throttlePaused = false;
    bool m_throttleServed = false;
    unsigned m_throttleGeneration = 0;
    bool m_fileStalled = false; // a "file://" transfer stopped reading while paused

    // The response being read.
    int m_status = 0;
    HTTPHeaders m_responseHeaders;
    bool m_responseDelivered = false;
    std::shared_ptr<const URLResponse> m_response;
    // The request to send next on this connection: a redirect, or the same request again
    // with a credential.
    std::optional<URLRequest> m_pendingRedirect;
    std::optional<Error> m_failure; // a failure decided by the connection itself
    int m_redirectCount = 0;
    std::int64_t m_uploaded = 0;
    std::int64_t m_downloaded = 0;
    std::int64_t m_bodyLength = -1; // the body stream's declared length; -1 when sent chunked
    std::int64_t m_bodyRead = 0;    // read from the body stream in this attempt
    std::chrono::steady_clock::time_point m_lastActivity; // the last byte moved, or the attempt's start
    // When a synchronous request must have ended, over all its attempts; nothing when unbounded.
    std::optional<std::chrono::steady_clock::time_point> m_deadline;
    ChallengeAnswer m_answer = ChallengeAnswer::None;
    bool m_trustRejectedByDelegate = false;
    bool m_trustRejectedByDefault = false;
    std::string m_trustFailureReason; // why the default evaluation refused the chain
    // HTTP authentication: the credential the delegate offered last, the one sent with the
    // request, and how many offered credentials the server has refused so far.
    std::optional<URLCredential> m_offeredCredential;
    std::optional<URLCredential> m_httpCredential;
    int m_authenticationFailures = 0;
};

} // namespace morvix::platform
