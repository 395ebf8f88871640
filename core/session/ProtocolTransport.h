#pragma once
// Carries one session's exchanges with the application server.

#include "core/outgoing/RequestCounter.h"
#include "core/outgoing/ServerTransport.h"
#include "platform/foundation/Error.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace morvix::platform {
class HTTPURLResponse;
class Operation;
}

namespace morvix {

class Logger;

class MorvixClient;
class ProtocolReader;

/// Opens the session with a GET on the server URL and sends every outgoing message as one
/// POST. Each response body streams into a fresh `ProtocolReader`, which hands its head keys and
/// operations to the command operator's queue while it arrives, for the main loop to apply; a
/// request ends (its completion and notifications) only once everything its body queued has
/// been applied. Handles the request counter, repeats a failed request once by itself, checks the
/// server's identity, and after a second failure reloads the session (when it was resuming) or
/// reports the error to the session.
///
/// Notifications (default centre, no object, on the main loop):
///  - a request that succeeded posts kOperationSucceeded, then kProcessingFinished;
///  - one that failed posts kOperationFailed, is repeated at once (the repeat is the same
///    request: same URL, headers and body, hence the same request counter) and posts
///    kProcessingFinished; a failed repeat is final.
///
/// Rules:
///  1. A message is not sent when the request counter the server announced last has already
///     gone out: the session reports "Invalid State" (domain "vek", code 500) and drops it; it is
///     never repeated.
///  2. The server's identity header kServerIdHeader must equal the session's `requiredServerId`
///     (both absent is fine) on the session GET and on its repeat. It is checked on the response
///     header, before any byte of the body is applied. A mismatch on a successful response
///     cancels the transfer, sends "shutdown", reports "Unauthorized Access" (code 417) and
///     blocks the transport for good: it stays busy, its "Retry" reports the same error again;
///     only a reload starts over. The body of a failure response from a mismatched server is
///     not applied either; the request fails as its status says.
///  3. After `destroy` (or a new session) the reader of the cancelled request applies nothing
///     more, and completions of requests that are no longer current are ignored: a dead
///     transport posts nothing and reports nothing.
///  4. `resume` repeats a failed request, or else sends a "ping"; a failure while resuming
///     reloads the session silently.
///  5. A response body larger than the session's `maximumResponseSize` (counted after its
///     content encoding is undone) cancels its transfer; the request fails with
///     `responseTooLarge` (code 3, "Server Response"), what was read up to the limit having
///     been applied.
///
/// Thread safety: the binding calls it from any thread. Completions run on the main loop. The
/// request state is guarded by the transport's lock, which is never held while notifications
/// are posted or the session is called.
class ProtocolTransport final : public ServerTransport, public std::enable_shared_from_this<ProtocolTransport> {
public:
    static constexpr const char* kOperationSucceeded = "com.zerivoquastel.morvix.OperationSucceeded";
    static constexpr const char* kOperationFailed = "com.zerivoquastel.morvix.OperationFailed";
    static constexpr const char* kProcessingFinished = "com.zerivoquastel.morvix.ProcessingFinished";
    static constexpr const char* kServerIdHeader = "com.zerivoquastel.morvix.server.id";
    static constexpr const char* kErrorDomain = "com.zerivoquastel.morvix";

    /// What the transport needs of the session's server-push object (the object the registry
    /// keeps under "zub.client.ServerPush"): the push object implements it.
    class PushLink {
    public:
        virtual ~PushLink() = default;
        virtual bool isActive() const = 0;
        /// Opens the long poll unless it is open.
        virtual void establishLink() = 0;
        virtual void cancel() = 0;
    };

    /// Switches the shared network activity indicator on. The session is held weakly; once it
    /// is gone, nothing is sent.
    static std::shared_ptr<ProtocolTransport> create(std::weak_ptr<MorvixClient> client);
    ~ProtocolTransport() override;
    ProtocolTransport(const ProtocolTransport&) = delete;
    ProtocolTransport& operator=(const ProtocolTransport&) = delete;

    /// Resets the session's registry and the counter and sends the session GET to the HTTP
    /// client's base URL (`serverURL` is that same URL). Main thread.
    void newSession(const std::string& serverURL) override;
    void sendMessage(ServerMessage message) override;
    bool busy() override;
    /// Re-arms server push when the session has an active push object.
    void queueFlushed() override;
    void suspend() override;
    void resume() override;
    /// Repeats the last failed request; does nothing without one.
    void retry() override;
    void sendShutdown() override;
    void destroy() override;
    bool wasActive() override;
    void setRequestCounter(std::int64_t counter) override;

    RequestCounter& requestCounter() { return m_requestCounter; }

    /// Nothing when the identity header of `response` matches `requiredId` (names compared
    /// without regard to case, values exactly; both absent matches), else the 417 error.
    static std::optional<platform::Error> verifyServerOf(const platform::HTTPURLResponse* response,
        const std::optional<std::string>& requiredId);
    /// The error of a finished request from the HTTP layer's and the reader's: nothing when
    /// both are absent; with both of different domains, one of this library's domain with the
    /// HTTP code, the reader's failure reason as description and the HTTP description as
    /// reason; otherwise the reader's, else the HTTP one.
    static std::optional<platform::Error> computeError(const std::optional<platform::Error>& httpError,
        const std::optional<platform::Error>& readerError);
    /// The parse error of a response body larger than `limit` bytes.
    static platform::Error responseTooLarge(std::size_t limit);
    /// Forgets that a session was ever started in this process.
    static void resetWasActiveForTesting();

private:
    enum class RequestKind { SessionGet, Message, Blocked };
    struct Request {
        std::shared_ptr<platform::Operation> operation;
        RequestKind kind = RequestKind::Message;
        explicit operator bool() const { return static_cast<bool>(operation); }
    };
    // Filled with the operation once it exists, so that its completion can tell whether it is
    // still the transport's current request.
    using RequestTag = std::shared_ptr<const platform::Operation*>;
    class ReaderOutputStream;

    explicit ProtocolTransport(std::weak_ptr<MorvixClient> client);
    std::shared_ptr<ProtocolReader> initProtocolReader();
    void startNewSessionOperation();
    std::shared_ptr<platform::Operation> makeOperation(RequestKind kind, const std::shared_ptr<ProtocolReader>& reader,
        const RequestTag& tag, const std::string& body, const std::shared_ptr<platform::Operation>& original);
    bool isCurrent(const RequestTag& tag);
    void sessionResponded(const RequestTag& tag, const ReaderOutputStream& stream,
        const std::shared_ptr<const platform::HTTPURLResponse>& response);
    void requestEnded(const RequestTag& tag, const ReaderOutputStream& stream, const std::optional<platform::Error>& httpError);
    void doneReading(const std::optional<platform::Error>& httpError, const std::optional<platform::Error>& readerError);
    void operationSucceeded();
    void operationFailed(const platform::Error& error);
    void handleInvalidRequestCounter();
    void blockWithError(const platform::Error& error);
    std::shared_ptr<PushLink> serverPush();
    void setupLogging();
    void adjustLogging();
    bool wantsLogging();
    bool isDestroyed();

    std::weak_ptr<MorvixClient> m_client;
    RequestCounter m_requestCounter;

    std::recursive_mutex m_mutex; // guards every member below
    Request m_operation;
    Request m_retryOperation;
    std::shared_ptr<ProtocolReader> m_reader;
    bool m_retrying = false;
    bool m_resuming = false;
    bool m_destroyed = false;
    std::shared_ptr<Logger> m_logger;
};

} // namespace morvix
