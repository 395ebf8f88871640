#include "networking/NetURLConnectionOperation.h"

#include "networking/NetArchiving.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/AuthenticationChallenge.h"
#include "platform/net/BlockOperation.h"
#include "platform/net/FileOutputStream.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/InputStream.h"
#include "platform/net/MemoryOutputStream.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/ServerTrust.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLError.h"
#include "platform/ui/Application.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <thread>
#include <utility>

namespace morvix {

using namespace platform;

namespace {

constexpr int kPartialContent = 206;
// How long a stream that is open and without error may report no space before the transfer
// gives up on it; streams of this library never do, so this only bounds a broken subclass.
constexpr auto kStreamSpaceWait = std::chrono::seconds(5);

bool isAllowedTransition(NetOperationState from, NetOperationState to, bool cancelled)
{
    switch (from) {
    case NetOperationState::Paused:
        return to == NetOperationState::Ready;
    case NetOperationState::Ready:
        return to == NetOperationState::Paused || to == NetOperationState::Executing || (to == NetOperationState::Finished && cancelled);
    case NetOperationState::Executing:
        return to == NetOperationState::Paused || to == NetOperationState::Finished;
    case NetOperationState::Finished:
        return false;
    }
    return true; // a value outside the four states may go anywhere
}

Error cancellationError(const URLRequest& request)
{
    Error error(URLErrorDomain, kURLErrorCancelled);
    if (request.url())
        error.setFailingURL(request.url()->absoluteString());
    return error;
}

Error streamWriteError(const OutputStream& stream)
{
    if (stream.streamError())
        return *stream.streamError();
    return Error(POSIXErrorDomain, EIO, "the response body could not be written to its output stream");
}

// The in-memory stream an operation makes when the caller gives none. It keeps the bytes
// itself, so that the finished body is handed over by move and its length is known without a
// copy.
class BodyOutputStream final : public MemoryOutputStream {
public:
    long write(const char* bytes, std::size_t length) override
    {
        if (!isOpen())
            return -1;
        m_body.append(bytes, length);
        return static_cast<long>(length);
    }
    std::optional<std::string> dataWrittenToMemory() const override { return m_body; }
    bool discardContents() override
    {
        m_body.clear();
        return true;
    }
    std::size_t size() const { return m_body.size(); }
    std::string takeBody() { return std::exchange(m_body, std::string()); }

private:
    std::string m_body;
};

} // namespace

std::shared_ptr<NetURLConnectionOperation> NetURLConnectionOperation::create(URLRequest request)
{
    return std::shared_ptr<NetURLConnectionOperation>(new NetURLConnectionOperation(std::move(request)));
}

NetURLConnectionOperation::NetURLConnectionOperation(URLRequest request)
    : m_request(std::move(request))
    , m_securityPolicy(NetSecurityPolicy::defaultPolicy())
{
}

NetURLConnectionOperation::~NetURLConnectionOperation()
{
    if (m_backgroundTaskCleanup)
        m_backgroundTaskCleanup();
    if (m_outputStream)
        m_outputStream->close();
}

void NetURLConnectionOperation::setShouldExecuteAsBackgroundTaskWithExpirationHandler(std::function<void()> handler)
{
    std::lock_guard guard(m_lock);
    if (m_backgroundTaskCleanup)
        return;
    using Identifier = Application::BackgroundTaskIdentifier;
    auto identifier = std::make_shared<std::atomic<Identifier>>(Application::kInvalidBackgroundTask);
    auto cleanup = [identifier] {
        auto open = identifier->exchange(Application::kInvalidBackgroundTask);
        if (open != Application::kInvalidBackgroundTask)
            Application::shared().endBackgroundTask(open);
    };
    m_backgroundTaskCleanup = cleanup;
    std::weak_ptr<NetURLConnectionOperation> weak = strongSelf();
    *identifier = Application::shared().beginBackgroundTask([weak, handler = std::move(handler), cleanup] {
        if (handler)
            handler();
        if (auto self = weak.lock())
            self->cancel();
        cleanup();
    });
}

NetworkThread& NetURLConnectionOperation::networkRequestThread()
{
    return NetworkThread::shared();
}

std::shared_ptr<DispatchGroup> NetURLConnectionOperation::sharedCompletionGroup()
{
    static const std::shared_ptr<DispatchGroup> group = DispatchGroup::create();
    return group;
}

DispatchQueue NetURLConnectionOperation::completionBlockQueue() const
{
    // The base hands the completion over while "isFinished" is announced, that is before the
    // finish notification is posted; `finish` holds it back and queues it on the main loop after
    // the notification, so that observers of the notification run before the completion block.
    // The queue is called at once, inside `finish`, while this operation is alive.
    return [this](std::function<void()> task) {
        std::lock_guard guard(m_lock);
        m_pendingCompletion = std::move(task);
    };
}

std::string NetURLConnectionOperation::keyPathFromOperationState(NetOperationState state)
{
    switch (state) {
    case NetOperationState::Paused:
        return "isPaused";
    case NetOperationState::Ready:
        return "isReady";
    case NetOperationState::Executing:
        return "isExecuting";
    case NetOperationState::Finished:
        return "isFinished";
    }
    return "state";
}

std::shared_ptr<NetURLConnectionOperation> NetURLConnectionOperation::strongSelf()
{
    return std::static_pointer_cast<NetURLConnectionOperation>(shared_from_this());
}

void NetURLConnectionOperation::setState(NetOperationState newState)
{
    // The admission check reads the state without the lock, as the transition table is only
    // ever walked forward under it.
    if (!isAllowedTransition(state(), newState, isCancelled()))
        return;
    std::lock_guard guard(m_lock);
    auto oldKey = keyPathFromOperationState(state());
    auto newKey = keyPathFromOperationState(newState);
    willChangeValueForKey(newKey);
    willChangeValueForKey(oldKey);
    m_state = static_cast<long>(newState);
    didChangeValueForKey(oldKey);
    didChangeValueForKey(newKey);
}

bool NetURLConnectionOperation::isReady() const
{
    return state() == NetOperationState::Ready && Operation::isReady();
}

void NetURLConnectionOperation::postNotification(const char* name)
{
    MainLoop::main().post([self = strongSelf(), name] {
        NotificationCenter::defaultCenter()->post(name, self.get(), nullptr, self);
    });
}

void NetURLConnectionOperation::start()
{
    std::lock_guard guard(m_lock);
    if (isCancelled()) {
        networkRequestThread().perform([self = strongSelf()] { self->cancelConnection(); });
        return;
    }
    if (!isReady())
        return;
    setState(NetOperationState::Executing);
    // Announced here, on the thread that starts the operation (a worker of its queue), rather
    // than once the network thread has made the connection: posted sooner, it mostly finds the
    // main loop still busy with the send and then costs no wake-up of its own, where the network
    // thread's post woke the loop in the middle of the request. It stays ahead of the finish,
    // which the network thread posts only after this.
    if (!std::exchange(m_startAnnounced, true))
        postNotification(NetworkingOperationDidStartNotification);
    networkRequestThread().perform([self = strongSelf(), run = ++m_run] { self->operationDidStart(run); });
}

void NetURLConnectionOperation::operationDidStart(std::uint64_t run)
{
    std::optional<Error> streamFailure;
    std::shared_ptr<URLConnection> connection;
    bool endedWhilePaused = false;
    {
        std::lock_guard guard(m_lock);
        // A pause that came after this start (and maybe a resume, which starts again itself)
        // leaves nothing to do: no connection, no notification.
        if (run != m_run || !isExecuting())
            return;
        endedWhilePaused = std::exchange(m_transferEndedWhilePaused, false);
        if (!isCancelled() && !endedWhilePaused) {
            m_connection = URLConnection::create(m_request, strongSelf());
            connection = m_connection;
            if (m_securityPolicy && !m_securityPolicy->isDefaultEquivalent())
                connection->setConnectionReuse(ConnectionReuse::Forbidden);
            auto stream = outputStream();
            stream->open();
            m_restartPending = m_streamHoldsPartialBody;
            if (stream->isOpen())
                connection->start();
            else
                streamFailure = streamWriteError(*stream);
        }
        // Normally announced by `start` already. Posted under the lock, so that it stays in order
        // with the finish a pause posts.
        if (!std::exchange(m_startAnnounced, true))
            postNotification(NetworkingOperationDidStartNotification);
    }
    // The transfer paused had already ended: its result is delivered now instead of being
    // fetched again into a stream that holds the whole body.
    if (endedWhilePaused) {
        finish();
        return;
    }
    // A stream that cannot be opened fails the transfer before a byte is requested.
    if (streamFailure) {
        connection->cancel();
        connectionDidFailWithError(*connection, *streamFailure);
    }
}

void NetURLConnectionOperation::cancel()
{
    std::lock_guard guard(m_lock);
    if (isFinished() || isCancelled())
        return;
    Operation::cancel();
    if (isExecuting())
        networkRequestThread().perform([self = strongSelf()] { self->cancelConnection(); });
}

void NetURLConnectionOperation::cancelConnection()
{
    auto error = cancellationError(request());
    if (isFinished())
        return;
    std::shared_ptr<URLConnection> connection;
    {
        std::lock_guard guard(m_lock);
        connection = m_connection;
    }
    if (connection) {
        connection->cancel();
        connectionDidFailWithError(*connection, error);
        return;
    }
    {
        std::lock_guard guard(m_lock);
        m_error = error;
    }
    finish();
}

void NetURLConnectionOperation::finish()
{
    std::function<void()> completion;
    bool queueOfTheCaller = false;
    {
        std::lock_guard guard(m_lock);
        // A transfer can end on the network thread after `pause` has made the operation paused
        // and before the connection is cancelled. Decided under the same lock as the pause: the
        // result is held for `resume` to deliver, and nothing is posted now (the pause already
        // posted its finish notification, and `resume` will post the next pair).
        if (isPaused()) {
            m_transferEndedWhilePaused = true;
            return;
        }
        setState(NetOperationState::Finished);
        if (!isFinished())
            return;
        completion = std::exchange(m_pendingCompletion, nullptr);
        queueOfTheCaller = static_cast<bool>(m_completionQueue);
        m_startAnnounced = false;
        if (!completion || queueOfTheCaller) {
            postNotification(NetworkingOperationDidFinishNotification);
        } else {
            // The default queue is the main loop, after the notification: one task carries both,
            // so that the main loop is woken once for the end of the transfer.
            MainLoop::main().post([self = strongSelf(), completion = std::move(completion)] {
                // An observer that throws costs no one the completion; the loop reports it after.
                std::exception_ptr thrown;
                try {
                    NotificationCenter::defaultCenter()->post(NetworkingOperationDidFinishNotification, self.get(), nullptr, self);
                } catch (...) {
                    thrown = std::current_exception();
                }
                completion();
                if (thrown)
                    std::rethrow_exception(thrown);
            });
            return;
        }
    }
    // The block installed by `setCompletionBlock` only hands the caller's block to its queue,
    // so it may run here.
    if (completion)
        completion();
}

void NetURLConnectionOperation::pause()
{
    std::lock_guard guard(m_lock);
    if (isPaused() || isFinished() || isCancelled())
        return;
    if (isExecuting()) {
        ++m_run;
        networkRequestThread().perform([self = strongSelf()] { self->operationDidPause(); });
        if (std::exchange(m_startAnnounced, false))
            postNotification(NetworkingOperationDidFinishNotification);
    }
    setState(NetOperationState::Paused);
}

void NetURLConnectionOperation::operationDidPause()
{
    std::lock_guard guard(m_lock);
    if (!m_connection)
        return;
    m_connection->cancel();
    m_connection.reset();
    // The cancelled connection delivers nothing more, so what the stream holds now is final.
    m_streamHoldsPartialBody = true;
    m_resumeOffset = bytesInOutputStream();
    didPauseTransfer(m_resumeOffset);
}

std::int64_t NetURLConnectionOperation::bytesInOutputStream()
{
    auto stream = outputStream();
    if (auto body = std::dynamic_pointer_cast<BodyOutputStream>(stream))
        return static_cast<std::int64_t>(body->size());
    if (auto file = std::dynamic_pointer_cast<FileOutputStream>(stream))
        return file->fileCurrentOffset();
    auto data = stream->dataWrittenToMemory();
    return data ? static_cast<std::int64_t>(data->size()) : 0;
}

void NetURLConnectionOperation::resume()
{
    if (!isPaused())
        return;
    std::lock_guard guard(m_lock);
    setState(NetOperationState::Ready);
    start();
}

void NetURLConnectionOperation::setCompletionBlock(std::function<void()> block)
{
    std::lock_guard guard(m_lock);
    if (!block) {
        Operation::setCompletionBlock(nullptr);
        return;
    }
    std::weak_ptr<NetURLConnectionOperation> weak = strongSelf();
    Operation::setCompletionBlock([weak, block = std::move(block)] {
        auto self = weak.lock();
        if (!self)
            return;
        auto group = self->completionGroup();
        if (!group)
            group = sharedCompletionGroup();
        auto queue = self->completionQueue();
        if (!queue && isMainThread()) {
            // `finish` handed this to the main loop already: the block runs in this turn.
            group->enter();
            block();
            group->leave();
        } else {
            group->async(queue ? queue : mainDispatchQueue(), block);
        }
        // Releasing the block (and what it captured, usually this operation) once the group has
        // drained breaks the cycle between the operation and its completion block. On the main
        // loop with the group drained already, that is now, without waking a pool thread.
        if (!queue && isMainThread() && group->count() == 0)
            return self->setCompletionBlock(nullptr);
        group->notify(globalDispatchQueue(), [self] { self->setCompletionBlock(nullptr); });
    });
}

std::string NetURLConnectionOperation::description() const
{
    std::lock_guard guard(m_lock);
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return format("<%@: %@, state: %@, cancelled: %@ request: %@, response: %@>", className(), std::string(address),
        keyPathFromOperationState(state()), isCancelled() ? "YES" : "NO", m_request.description(),
        m_response ? FormatArg(m_response->description()) : FormatArg(nullptr));
}

URLRequest NetURLConnectionOperation::request() const
{
    std::lock_guard guard(m_lock);
    return m_request;
}

void NetURLConnectionOperation::setRequest(URLRequest request)
{
    std::lock_guard guard(m_lock);
    m_request = std::move(request);
}

bool NetURLConnectionOperation::shouldUseCredentialStorage() const
{
    std::lock_guard guard(m_lock);
    return m_shouldUseCredentialStorage;
}

void NetURLConnectionOperation::setShouldUseCredentialStorage(bool use)
{
    std::lock_guard guard(m_lock);
    m_shouldUseCredentialStorage = use;
}

std::shared_ptr<OutputStream> NetURLConnectionOperation::outputStream()
{
    std::lock_guard guard(m_lock);
    if (!m_outputStream)
        m_outputStream = std::make_shared<BodyOutputStream>();
    return m_outputStream;
}

void NetURLConnectionOperation::setOutputStream(std::shared_ptr<OutputStream> stream)
{
    std::lock_guard guard(m_lock);
    m_outputStream = std::move(stream);
}

std::shared_ptr<InputStream> NetURLConnectionOperation::inputStream() const
{
    std::lock_guard guard(m_lock);
    return m_request.bodyStream();
}

void NetURLConnectionOperation::setInputStream(std::shared_ptr<InputStream> stream)
{
    std::lock_guard guard(m_lock);
    URLRequest copy = m_request;
    copy.setBodyStream(std::move(stream));
    m_request = std::move(copy);
}

std::optional<URLCredential> NetURLConnectionOperation::credential() const
{
    std::lock_guard guard(m_lock);
    return m_credential;
}

void NetURLConnectionOperation::setCredential(std::optional<URLCredential> credential)
{
    std::lock_guard guard(m_lock);
    m_credential = std::move(credential);
}

std::shared_ptr<NetSecurityPolicy> NetURLConnectionOperation::securityPolicy() const
{
    std::lock_guard guard(m_lock);
    return m_securityPolicy;
}

void NetURLConnectionOperation::setSecurityPolicy(std::shared_ptr<NetSecurityPolicy> policy)
{
    std::lock_guard guard(m_lock);
    m_securityPolicy = std::move(policy);
}

DispatchQueue NetURLConnectionOperation::completionQueue() const
{
    std::lock_guard guard(m_lock);
    return m_completionQueue;
}

void NetURLConnectionOperation::setCompletionQueue(DispatchQueue queue)
{
    std::lock_guard guard(m_lock);
    m_completionQueue = std::move(queue);
}

std::shared_ptr<DispatchGroup> NetURLConnectionOperation::completionGroup() const
{
    std::lock_guard guard(m_lock);
    return m_completionGroup;
}

void NetURLConnectionOperation::setCompletionGroup(std::shared_ptr<DispatchGroup> group)
{
    std::lock_guard guard(m_lock);
    m_completionGroup = std::move(group);
}

Value NetURLConnectionOperation::userInfo() const
{
    std::lock_guard guard(m_lock);
    return m_userInfo;
}

void NetURLConnectionOperation::setUserInfo(Value info)
{
    std::lock_guard guard(m_lock);
    m_userInfo = std::move(info);
}

void NetURLConnectionOperation::setUploadProgressBlock(ProgressBlock block)
{
    std::lock_guard guard(m_lock);
    m_uploadProgress = std::move(block);
}

void NetURLConnectionOperation::setDownloadProgressBlock(ProgressBlock block)
{
    std::lock_guard guard(m_lock);
    m_downloadProgress = std::move(block);
}

NetURLConnectionOperation::ProgressBlock NetURLConnectionOperation::uploadProgressBlock() const
{
    std::lock_guard guard(m_lock);
    return m_uploadProgress;
}

NetURLConnectionOperation::ProgressBlock NetURLConnectionOperation::downloadProgressBlock() const
{
    std::lock_guard guard(m_lock);
    return m_downloadProgress;
}

void NetURLConnectionOperation::setWillSendRequestForAuthenticationChallengeBlock(AuthenticationChallengeBlock block)
{
    std::lock_guard guard(m_lock);
    m_authenticationChallenge = std::move(block);
}

void NetURLConnectionOperation::setCacheResponseBlock(CacheResponseBlock block)
{
    std::lock_guard guard(m_lock);
    m_cacheResponse = std::move(block);
}

void NetURLConnectionOperation::setRedirectResponseBlock(RedirectResponseBlock block)
{
    std::lock_guard guard(m_lock);
    m_redirectResponse = std::move(block);
}

std::shared_ptr<const URLResponse> NetURLConnectionOperation::response() const
{
    std::lock_guard guard(m_lock);
    return m_response;
}

std::optional<Error> NetURLConnectionOperation::error() const
{
    std::lock_guard guard(m_lock);
    return m_error;
}

std::optional<std::string> NetURLConnectionOperation::responseData() const
{
    std::lock_guard guard(m_lock);
    return m_responseData;
}

void NetURLConnectionOperation::setResponseData(std::optional<std::string> data)
{
    std::lock_guard guard(m_lock);
    m_responseData = std::move(data);
}

StringEncoding NetURLConnectionOperation::responseStringEncoding()
{
    std::lock_guard guard(m_lock);
    if (m_responseStringEncoding != 0 || !m_response)
        return m_responseStringEncoding;
    StringEncoding encoding = kUTF8StringEncoding;
    if (const auto& name = m_response->textEncodingName()) {
        if (auto named = stringEncodingForIANACharsetName(*name))
            encoding = named;
    }
    m_responseStringEncoding = encoding;
    return encoding;
}

std::optional<std::string> NetURLConnectionOperation::responseString()
{
    std::lock_guard guard(m_lock);
    if (!m_responseString && m_response && m_responseData)
        m_responseString = decodeString(*m_responseData, responseStringEncoding());
    return m_responseString;
}

void NetURLConnectionOperation::connectionWillSendRequestForAuthenticationChallenge(URLConnection& connection,
    const AuthenticationChallenge& challenge)
{
    AuthenticationChallengeBlock block;
    std::shared_ptr<NetSecurityPolicy> policy;
    std::optional<URLCredential> credential;
    {
        std::lock_guard guard(m_lock);
        block = m_authenticationChallenge;
        policy = m_securityPolicy;
        credential = m_credential;
    }
    if (block) {
        block(connection, challenge);
        return;
    }
    const auto& space = challenge.protectionSpace();
    if (space.authenticationMethod == AuthenticationMethodServerTrust) {
        if (!policy) {
            challenge.sender().performDefaultHandling(challenge);
            return;
        }
        if (policy->evaluateServerTrust(*space.serverTrust, space.host))
            challenge.sender().useCredential(URLCredential::forTrust(space.serverTrust), challenge);
        else
            challenge.sender().cancelAuthenticationChallenge(challenge);
        return;
    }
    if (challenge.previousFailureCount() == 0 && credential)
        challenge.sender().useCredential(*credential, challenge);
    else
        challenge.sender().continueWithoutCredential(challenge);
}

bool NetURLConnectionOperation::connectionShouldUseCredentialStorage(URLConnection&)
{
    return shouldUseCredentialStorage();
}

std::optional<URLRequest> NetURLConnectionOperation::connectionWillSendRequest(URLConnection& connection, URLRequest request,
    const std::shared_ptr<const URLResponse>& redirectResponse)
{
    RedirectResponseBlock block;
    {
        std::lock_guard guard(m_lock);
        block = m_redirectResponse;
    }
    if (block)
        return block(connection, std::move(request), redirectResponse);
    return request;
}

void NetURLConnectionOperation::connectionDidSendBodyData(URLConnection&, std::int64_t bytesWritten, std::int64_t totalBytesWritten,
    std::int64_t totalBytesExpectedToWrite)
{
    MainLoop::main().post([self = strongSelf(), bytesWritten, totalBytesWritten, totalBytesExpectedToWrite] {
        ProgressBlock block;
        {
            std::lock_guard guard(self->m_lock);
            block = self->m_uploadProgress;
        }
        if (block)
            block(bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    });
}

void NetURLConnectionOperation::connectionDidReceiveResponse(URLConnection& connection, const std::shared_ptr<const URLResponse>& response)
{
    {
        std::lock_guard guard(m_lock);
        m_response = response;
    }
    if (!m_restartPending)
        return;
    // A transfer that starts over after a pause: unless the server sends exactly the rest of
    // the body, the bytes already in the stream would end up in front of the whole body again,
    // or next to a part they do not join.
    m_restartPending = false;
    m_streamHoldsPartialBody = false;
    auto http = std::dynamic_pointer_cast<const HTTPURLResponse>(response);
    bool partial = http && http->statusCode() == kPartialContent;
    if (partial && http->contentRangeStartsAt(m_resumeOffset))
        return;
    if (!outputStream()->discardContents()) {
        connection.cancel();
        connectionDidFailWithError(connection, makeURLError(kURLErrorCannotWriteToFile, request().url() ? request().url()->absoluteString() : std::string()));
        return;
    }
    MainLoop::main().post([self = strongSelf()] { self->m_totalBytesRead = 0; });
    if (partial)
        refetchWholeBody(connection);
}

void NetURLConnectionOperation::refetchWholeBody(URLConnection& connection)
{
    connection.cancel();
    std::lock_guard guard(m_lock);
    URLRequest whole = m_request;
    whole.headers().remove("Range");
    whole.headers().remove("If-Range");
    m_request = std::move(whole);
    m_connection.reset();
    m_response.reset();
    // A new transfer cannot be started from inside a callback of this one; it is handed to the
    // network thread as a start of the same run, so that a pause or cancel meanwhile wins.
    networkRequestThread().perform([self = strongSelf(), run = m_run] { self->operationDidStart(run); });
}

bool NetURLConnectionOperation::writeToStream(OutputStream& stream, std::string_view data, std::optional<Error>& failure)
{
    auto giveUpAt = std::chrono::steady_clock::now() + kStreamSpaceWait;
    while (!stream.hasSpaceAvailable()) {
        if (!stream.isOpen() || stream.streamError() || std::chrono::steady_clock::now() > giveUpAt) {
            failure = streamWriteError(stream);
            return false;
        }
        std::this_thread::yield();
    }
    std::size_t offset = 0;
    while (offset < data.size()) {
        long written = stream.write(data.data() + offset, data.size() - offset);
        if (written <= 0) {
            failure = streamWriteError(stream);
            return false;
        }
        offset += static_cast<std::size_t>(written);
    }
    return true;
}

void NetURLConnectionOperation::connectionDidReceiveData(URLConnection& connection, std::string_view data)
{
    auto stream = outputStream();
    std::optional<Error> failure;
    if (!writeToStream(*stream, data, failure)) {
        connection.cancel();
        connectionDidFailWithError(connection, *failure);
        return;
    }
    auto length = static_cast<std::int64_t>(data.size());
    auto current = response();
    auto expected = current ? current->expectedContentLength() : -1;
    MainLoop::main().post([self = strongSelf(), length, expected] {
        auto total = self->m_totalBytesRead += length;
        ProgressBlock block;
        {
            std::lock_guard guard(self->m_lock);
            block = self->m_downloadProgress;
        }
        if (block)
            block(length, total, expected);
    });
}

std::optional<CachedURLResponse> NetURLConnectionOperation::connectionWillCacheResponse(URLConnection& connection, CachedURLResponse proposed)
{
    CacheResponseBlock block;
    {
        std::lock_guard guard(m_lock);
        block = m_cacheResponse;
    }
    if (block)
        return block(connection, std::move(proposed));
    if (isCancelled())
        return std::nullopt;
    return proposed;
}

void NetURLConnectionOperation::connectionDidFinishLoading(URLConnection&)
{
    {
        std::lock_guard guard(m_lock);
        auto stream = outputStream();
        if (auto body = std::dynamic_pointer_cast<BodyOutputStream>(stream))
            m_responseData = body->takeBody();
        else
            m_responseData = stream->takeDataWrittenToMemory();
        stream->close();
        if (m_responseData)
            m_outputStream.reset();
        m_connection.reset();
    }
    finish();
}

void NetURLConnectionOperation::connectionDidFailWithError(URLConnection&, const Error& error)
{
    {
        std::lock_guard guard(m_lock);
        m_error = error;
        if (m_outputStream)
            m_outputStream->close();
        if (m_responseData)
            m_outputStream.reset();
        m_connection.reset();
    }
    finish();
}

namespace {

[[maybe_unused]] const bool kArchivable = NetRegisterArchiveClass<NetURLConnectionOperation>("", [](KeyedUnarchiver& coder) {
    auto request = coder.decodeObject<NetArchivedURLRequest>("request");
    return request ? NetURLConnectionOperation::create(request->request()) : nullptr;
});

} // namespace

void NetURLConnectionOperation::encodeWithCoder(KeyedArchiver& coder) const
{
    // Encoding stops the transfer, as the archive describes an operation at rest.
    const_cast<NetURLConnectionOperation*>(this)->pause();
    std::lock_guard guard(m_lock);
    coder.encodeObject(NetArchivedURLRequest(m_request), "request");
    auto current = state();
    bool atRest = current == NetOperationState::Executing || current == NetOperationState::Paused;
    coder.encodeInt64(static_cast<std::int64_t>(atRest ? NetOperationState::Ready : current), "state");
    if (auto http = std::dynamic_pointer_cast<const HTTPURLResponse>(m_response))
        coder.encodeObject(NetArchivedHTTPURLResponse(http), "response");
    if (m_error)
        coder.encodeError(*m_error, "error");
    if (m_responseData)
        coder.encodeData(*m_responseData, "responseData");
    coder.encodeInt64(m_totalBytesRead.load(), "totalBytesRead");
}

void NetURLConnectionOperation::decodeWithCoder(KeyedUnarchiver& coder)
{
    auto decodedState = coder.decodeInt64("state");
    auto bytesRead = coder.decodeInt64("totalBytesRead");
    std::shared_ptr<NetArchivedHTTPURLResponse> decodedResponse;
    std::optional<Error> decodedError;
    std::optional<std::string> decodedData;
    if (coder.contains("response"))
        decodedResponse = coder.decodeObject<NetArchivedHTTPURLResponse>("response");
    if (coder.contains("error"))
        decodedError = coder.decodeError("error");
    if (coder.contains("responseData"))
        decodedData = coder.decodeData("responseData");
    if (coder.error())
        return;
    auto archived = static_cast<NetOperationState>(*decodedState);
    bool known = archived == NetOperationState::Paused || archived == NetOperationState::Ready
        || archived == NetOperationState::Executing || archived == NetOperationState::Finished;
    if (!known || *bytesRead < 0) {
        coder.fail(kKeyedArchiveValueError, "the operation's state or byte count is out of range");
        return;
    }
    std::lock_guard guard(m_lock);
    if (decodedResponse)
        m_response = decodedResponse->response();
    m_error = std::move(decodedError);
    m_responseData = std::move(decodedData);
    m_totalBytesRead = *bytesRead;
    setState(archived == NetOperationState::Executing ? NetOperationState::Ready : archived);
}

std::shared_ptr<NetURLConnectionOperation> NetURLConnectionOperation::makeWithRequest(URLRequest request) const
{
    return create(std::move(request));
}

std::shared_ptr<NetURLConnectionOperation> NetURLConnectionOperation::copy() const
{
    std::lock_guard guard(m_lock);
    auto copy = makeWithRequest(m_request);
    copy->m_uploadProgress = m_uploadProgress;
    copy->m_downloadProgress = m_downloadProgress;
    copy->m_authenticationChallenge = m_authenticationChallenge;
    copy->m_cacheResponse = m_cacheResponse;
    copy->m_redirectResponse = m_redirectResponse;
    copy->m_completionQueue = m_completionQueue;
    copy->m_completionGroup = m_completionGroup;
    return copy;
}

std::vector<std::shared_ptr<platform::Operation>> NetURLConnectionOperation::batchOfRequestOperations(
    const std::vector<std::shared_ptr<NetURLConnectionOperation>>& operations, BatchProgressBlock progress,
    BatchCompletionBlock completion)
{
    if (operations.empty()) {
        return { platform::BlockOperation::create([completion = std::move(completion)] {
            if (completion)
                mainDispatchQueue()([completion] { completion({}); });
        }) };
    }
    auto group = platform::DispatchGroup::create();
    auto batch = platform::BlockOperation::create([group, operations, completion = std::move(completion)] {
        group->notify(mainDispatchQueue(), [operations, completion] {
            if (completion)
                completion(operations);
        });
    });
    // The wrappers hold the operations weakly: each wrapper belongs to one of them.
    auto members = std::make_shared<std::vector<std::weak_ptr<NetURLConnectionOperation>>>(operations.begin(), operations.end());
    for (const auto& operation : operations) {
        operation->setCompletionGroup(group);
        auto kept = operation->completionBlock();
        // Installed through the operation, so it runs on the completion queue as a member of the group.
        operation->setCompletionBlock([kept, members, progress, group] {
            if (kept)
                kept();
            auto finished = std::count_if(members->begin(), members->end(), [](const auto& member) {
                auto strong = member.lock();
                return strong && strong->isFinished();
            });
            if (progress)
                progress(static_cast<std::size_t>(finished), members->size());
            group->leave();
        });
        group->enter();
        batch->addDependency(operation);
    }
    std::vector<std::shared_ptr<platform::Operation>> list(operations.begin(), operations.end());
    list.push_back(batch);
    return list;
}

} // namespace morvix
