#pragma once
// One HTTP exchange as an operation: the unit of work of the HTTP layer.

#include "networking/NetSecurityPolicy.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/KeyedCoding.h"
#include "platform/foundation/Value.h"
#include "platform/net/DispatchGroup.h"
#include "platform/net/DispatchQueue.h"
#include "platform/net/Operation.h"
#include "platform/net/StringEncoding.h"
#include "platform/net/URLConnectionDelegate.h"
#include "platform/net/URLCredential.h"
#include "platform/net/URLRequest.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {
class InputStream;
class NetworkThread;
class OutputStream;
class URLConnection;
class URLResponse;
}

namespace morvix {

/// Posted on the main loop (object: the operation, as std::shared_ptr<NetURLConnectionOperation>)
/// when a transfer starts and when it ends or pauses.
inline constexpr const char* NetworkingOperationDidStartNotification = "com.pelvarine.networking.operation.start";
inline constexpr const char* NetworkingOperationDidFinishNotification = "com.pelvarine.networking.operation.finish";

enum class NetOperationState : long {
    Paused = -1,
    Ready = 1,
    Executing = 2,
    Finished = 3,
};

/// Sends one request over one connection and streams the response body into an output stream
/// (in memory unless the caller gives another). Subclasses (the HTTP request operation) add
/// response validation; callers start it directly with `start`.
///
/// State: ready, then executing on `start`, then finished; `pause` (while ready or executing)
/// makes it paused until `resume`. Changes are announced as key changes ("isReady",
/// "isExecuting", "isFinished", "isPaused"): will(new), will(old), the change, did(old),
/// did(new), while the operation's lock is held. Finished is final.
///
/// Rules:
///  1. Everything that touches the connection (starting, cancelling, pausing it) and every
///     connection callback runs on the network thread "Networking", in the order handed over.
///  2. The start and finish notifications, the progress blocks and the update of
///     `totalBytesRead` run on the main loop, in the order they were posted.
///  3. The completion block runs exactly once, as a member of `completionGroup` (a shared group
///     when none), after "isFinished" has been announced. Without a `completionQueue` it runs on
///     the main loop, after the finish notification has reached its observers; with one it is
///     handed to that queue at once and never waits for the main loop (it may then run before
///     the notification's observers). Afterwards the block is released once the group has
///     drained, which breaks the cycle of a block that captures its own operation.
///  4. A cancelled operation fails with URLErrorDomain -999. A failed write to the output stream
///     cancels the transfer and fails the operation with the stream's error; a body is never
///     reported whole when it is not.
///  5. `pause` stops the transfer on the network thread and only then takes the length of what
///     the output stream holds (the resume offset). A transfer restarted by `resume` appends to
///     the stream only a "206 Partial Content" whose Content-Range starts exactly at that offset.
///     Any other response first empties the stream (or fails when the stream cannot be emptied),
///     so that the old prefix never stays in front of the new body; a 206 for another range is
///     dropped and the whole body is fetched again without "Range" and "If-Range".
///  6. A transfer that ends on the network thread after `pause` has made the operation paused
///     is not lost: its finish is held back (no notification), and `resume` delivers that result
///     (start and finish notifications, completion) without fetching the body again.
///  7. Start and finish notifications come in pairs: a start is posted only by a transfer that
///     really begins (one overtaken by `pause` posts nothing and opens no connection), and
///     `pause` posts a finish only after a start. An operation cancelled before its transfer
///     began posts a finish alone.
///
/// Ownership: while a transfer runs, the network thread keeps the operation alive, so callers
/// may drop their references to a running operation.
///
/// Thread safety: every public method may be called from any thread; the state, results and
/// settings are guarded by the operation's recursive lock.
class NetURLConnectionOperation : public platform::Operation, public platform::URLConnectionDelegate, public platform::KeyedCoding {
public:
    using ProgressBlock = std::function<void(std::int64_t, std::int64_t, std::int64_t)>;
    using AuthenticationChallengeBlock = std::function<void(platform::URLConnection&, const platform::AuthenticationChallenge&)>;
    using CacheResponseBlock = std::function<std::optional<platform::CachedURLResponse>(platform::URLConnection&, platform::CachedURLResponse)>;
    using RedirectResponseBlock = std::function<std::optional<platform::URLRequest>(platform::URLConnection&, platform::URLRequest,
        const std::shared_ptr<const platform::URLResponse>&)>;

    static std::shared_ptr<NetURLConnectionOperation> create(platform::URLRequest request);
    ~NetURLConnectionOperation() override;

    /// The process's network thread, started on first use.
    static platform::NetworkThread& networkRequestThread();
    /// The group of completion blocks of operations without a group of their own.
    static std::shared_ptr<platform::DispatchGroup> sharedCompletionGroup();
    /// "isPaused", "isReady", "isExecuting", "isFinished", or "state" for anything else.
    static std::string keyPathFromOperationState(NetOperationState state);

    using BatchProgressBlock = std::function<void(std::size_t numberOfFinishedOperations, std::size_t totalNumberOfOperations)>;
    using BatchCompletionBlock = std::function<void(const std::vector<std::shared_ptr<NetURLConnectionOperation>>& operations)>;
    /// The operations to enqueue for a batch: `operations` followed by a block operation that
    /// depends on all of them. Each operation's completion block is wrapped so that, on its
    /// completion queue (the main loop when none), it runs, then `progress` gets the number of
    /// finished operations and the total; `completion` runs on the main loop with `operations`
    /// once every operation has finished and every completion block (and what it started in the
    /// batch's group) has run. An empty batch is one block operation that reports an empty list.
    /// Operations that never complete keep the batch open.
    static std::vector<std::shared_ptr<platform::Operation>> batchOfRequestOperations(
        const std::vector<std::shared_ptr<NetURLConnectionOperation>>& operations, BatchProgressBlock progress,
        BatchCompletionBlock completion);

    /// A new, ready operation of the same class for the same request, with this one's five
    /// blocks (upload and download progress, authentication challenge, cache response, redirect
    /// response), completion queue and group. The output stream, credential, security policy,
    /// completion block, state and results are not copied.
    virtual std::shared_ptr<NetURLConnectionOperation> copy() const;

    /// Opens an application background task (platform::Application) for as long as this
    /// operation lives: destroying the operation ends it. When the task expires, `handler` (may
    /// be null) runs, then the operation, if it still exists, is cancelled and the task ended.
    /// Only the first call has an effect.
    void setShouldExecuteAsBackgroundTaskWithExpirationHandler(std::function<void()> handler);

    // Archiving. Encoding pauses the operation first (a running transfer stops), then writes
    // "request", "state" (executing and paused as ready, 1), "response", "error",
    // "responseData" (each only when there is one) and "totalBytesRead". Decoding makes an
    // operation of the archived class for the archived request and applies the rest through the
    // state rules: a paused state takes effect; an executing one is read as ready, since no
    // transfer stands behind it and such an operation would never finish; a finished one cannot
    // follow ready, so the operation is ready with the archived results. A state outside the
    // four, or a negative byte count, refuses the archive.
    static constexpr const char* kArchiveClassName = "NetURLConnectionOperation";
    std::string archiveClassName() const override { return kArchiveClassName; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    /// Reads what `encodeWithCoder` wrote (but the request, which the operation was made for)
    /// into this new operation; a refused value sets the unarchiver's error.
    virtual void decodeWithCoder(platform::KeyedUnarchiver& coder);

    // Life cycle.
    void start() override;
    void cancel() override;
    virtual void pause();
    void resume();
    bool isReady() const override;
    bool isExecuting() const override { return state() == NetOperationState::Executing; }
    bool isFinished() const override { return state() == NetOperationState::Finished; }
    bool isPaused() const { return state() == NetOperationState::Paused; }
    bool isConcurrent() const override { return true; }
    NetOperationState state() const { return static_cast<NetOperationState>(m_state.load()); }
    /// Installs `block` to run as rule 3 says; null removes it.
    void setCompletionBlock(std::function<void()> block) override;

    /// "<NetURLConnectionOperation: 0x..., state: isReady, cancelled: NO request: ..., response: (null)>".
    std::string description() const;

    // Settings.
    platform::URLRequest request() const;
    bool shouldUseCredentialStorage() const;
    void setShouldUseCredentialStorage(bool use);
    /// The stream the body is written to; reading it before one is set makes an in-memory one.
    std::shared_ptr<platform::OutputStream> outputStream();
    void setOutputStream(std::shared_ptr<platform::OutputStream> stream);
    /// The request's body stream; setting it replaces the request by a copy with that body.
    std::shared_ptr<platform::InputStream> inputStream() const;
    void setInputStream(std::shared_ptr<platform::InputStream> stream);
    std::optional<platform::URLCredential> credential() const;
    void setCredential(std::optional<platform::URLCredential> credential);
    /// The default policy unless set; configure it before `start`.
    std::shared_ptr<NetSecurityPolicy> securityPolicy() const;
    void setSecurityPolicy(std::shared_ptr<NetSecurityPolicy> policy);
    platform::DispatchQueue completionQueue() const;
    void setCompletionQueue(platform::DispatchQueue queue);
    std::shared_ptr<platform::DispatchGroup> completionGroup() const;
    void setCompletionGroup(std::shared_ptr<platform::DispatchGroup> group);
    /// Free for callers; the operation never reads it.
    platform::Value userInfo() const;
    void setUserInfo(platform::Value info);

    /// Called on the main loop with (bytes this step, total bytes, total expected or -1).
    void setUploadProgressBlock(ProgressBlock block);
    void setDownloadProgressBlock(ProgressBlock block);
    /// The blocks installed, or null; a caller that installs its own may call these from it.
    ProgressBlock uploadProgressBlock() const;
    ProgressBlock downloadProgressBlock() const;
    /// Replaces the built-in challenge handling; the block must answer the challenge.
    void setWillSendRequestForAuthenticationChallengeBlock(AuthenticationChallengeBlock block);
    void setCacheResponseBlock(CacheResponseBlock block);
    void setRedirectResponseBlock(RedirectResponseBlock block);

    // Results, read after the finish.
    std::shared_ptr<const platform::URLResponse> response() const;
    /// The transfer's error; subclasses add their own (a validation error).
    virtual std::optional<platform::Error> error() const;
    /// The body when it went to an in-memory stream; nothing otherwise.
    std::optional<std::string> responseData() const;
    void setResponseData(std::optional<std::string> data);
    /// The body decoded with `responseStringEncoding`; nothing without a response and data, or
    /// when the bytes are not valid in that encoding (then decoded again on the next call).
    std::optional<std::string> responseString();
    /// UTF-8 unless the response names a known charset; 0 while there is no response.
    platform::StringEncoding responseStringEncoding();
    /// Body bytes received so far; updated on the main loop.
    std::int64_t totalBytesRead() const { return m_totalBytesRead.load(); }

    // URLConnectionDelegate; network thread.
    void connectionWillSendRequestForAuthenticationChallenge(platform::URLConnection& connection,
        const platform::AuthenticationChallenge& challenge) override;
    bool connectionShouldUseCredentialStorage(platform::URLConnection& connection) override;
    std::optional<platform::URLRequest> connectionWillSendRequest(platform::URLConnection& connection, platform::URLRequest request,
        const std::shared_ptr<const platform::URLResponse>& redirectResponse) override;
    void connectionDidSendBodyData(platform::URLConnection& connection, std::int64_t bytesWritten, std::int64_t totalBytesWritten,
        std::int64_t totalBytesExpectedToWrite) override;
    void connectionDidReceiveResponse(platform::URLConnection& connection, const std::shared_ptr<const platform::URLResponse>& response) override;
    void connectionDidReceiveData(platform::URLConnection& connection, std::string_view data) override;
    std::optional<platform::CachedURLResponse> connectionWillCacheResponse(platform::URLConnection& connection,
        platform::CachedURLResponse proposed) override;
    void connectionDidFinishLoading(platform::URLConnection& connection) override;
    void connectionDidFailWithError(platform::URLConnection& connection, const platform::Error& error) override;

protected:
    explicit NetURLConnectionOperation(platform::URLRequest request);
    /// A new operation of the concrete class for `request`; `copy` fills it in.
    virtual std::shared_ptr<NetURLConnectionOperation> makeWithRequest(platform::URLRequest request) const;
    /// The class name used by `description`.
    virtual std::string className() const { return "NetURLConnectionOperation"; }
    /// The operation's lock; subclasses take it around their own state.
    std::recursive_mutex& lock() const { return m_lock; }
    void setRequest(platform::URLRequest request);
    void setState(NetOperationState state);
    void finish();
    std::shared_ptr<NetURLConnectionOperation> strongSelf();
    platform::DispatchQueue completionBlockQueue() const override;
    /// The body kept in memory, without a copy; only while holding `lock()`.
    const std::optional<std::string>& responseDataWhileLocked() const { return m_responseData; }
    /// How many bytes the output stream holds. Only where no transfer is writing to it: on the
    /// network thread, or without `isTransferAttached`.
    std::int64_t bytesInOutputStream();
    /// Whether a connection may still write to the output stream: the operation is executing, or
    /// a pause has yet to stop its transfer on the network thread. Take `lock()` around it.
    bool isTransferAttached() const { return isExecuting() || m_connection; }
    /// Network thread, with the lock held: a paused transfer has stopped and the output stream
    /// holds `bytesInStream` bytes, which no later byte of that transfer will change.
    virtual void didPauseTransfer(std::int64_t bytesInStream) { (void)bytesInStream; }

private:
    void operationDidStart(std::uint64_t run);
    void cancelConnection();
    void operationDidPause();
    void refetchWholeBody(platform::URLConnection& connection);
    bool writeToStream(platform::OutputStream& stream, std::string_view data, std::optional<platform::Error>& failure);
    void postNotification(const char* name);

    mutable std::recursive_mutex m_lock; // guards every member below but the atomics
    std::atomic<long> m_state { static_cast<long>(NetOperationState::Ready) };
    platform::URLRequest m_request;
    bool m_shouldUseCredentialStorage = true;
    std::shared_ptr<platform::OutputStream> m_outputStream;
    std::shared_ptr<const platform::URLResponse> m_response;
    std::optional<platform::Error> m_error;
    std::optional<std::string> m_responseData;
    std::optional<std::string> m_responseString;
    platform::StringEncoding m_responseStringEncoding = 0;
    std::optional<platform::URLCredential> m_credential;
    std::shared_ptr<NetSecurityPolicy> m_securityPolicy;
    platform::DispatchQueue m_completionQueue;
    std::shared_ptr<platform::DispatchGroup> m_completionGroup;
    platform::Value m_userInfo;
    std::shared_ptr<platform::URLConnection> m_connection;
    std::atomic<std::int64_t> m_totalBytesRead { 0 };
    ProgressBlock m_uploadProgress;
    ProgressBlock m_downloadProgress;
    AuthenticationChallengeBlock m_authenticationChallenge;
    CacheResponseBlock m_cacheResponse;
    RedirectResponseBlock m_redirectResponse;
    // The completion handed over by the base during the finish, queued by `finish` itself.
    mutable std::function<void()> m_pendingCompletion;
    // Network thread only: whether the stream holds the start of a body from an earlier,
    // paused transfer.
    bool m_streamHoldsPartialBody = false;
    bool m_restartPending = false;
    // Network thread only: the length of the stream when the paused transfer stopped.
    std::int64_t m_resumeOffset = 0;
    // Guarded by the lock: the transfer ended while the operation was paused.
    bool m_transferEndedWhilePaused = false;
    // Guarded by the lock: counts starts and pauses, so that a start handed to the network thread
    // can tell that a pause (or a pause and a resume) came after it.
    std::uint64_t m_run = 0;
    // Guarded by the lock: a start notification was posted and its finish was not yet.
    bool m_startAnnounced = false;
    // Guarded by the lock: ends the background task, once; set by the first request for one.
    std::function<void()> m_backgroundTaskCleanup;
};

} // namespace morvix
