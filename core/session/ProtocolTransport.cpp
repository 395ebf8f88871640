#include "core/session/ProtocolTransport.h"

#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteObject.h"
#include "core/outgoing/Notifications.h"
#include "core/outgoing/ServerMessage.h"
#include "core/protocol/CommandOperator.h"
#include "core/protocol/ProtocolReader.h"
#include "core/session/Logger.h"
#include "core/session/MorvixClient.h"
#include "core/session/MorvixHTTPClient.h"
#include "networking/NetHTTPRequestOperation.h"
#include "networking/NetNetworkActivityIndicatorManager.h"
#include "networking/NetURLResponseSerialization.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/HTTPURLResponse.h"
#include "platform/net/OutputStream.h"

#include <atomic>
#include <string>

namespace morvix {

namespace {

std::atomic<bool> s_wasActive { false };

platform::Error unauthorizedAccess()
{
    return platform::Error(ProtocolTransport::kErrorDomain, 417, "Unauthorized Access", "You are not allowed to connect to the server.");
}

bool isSuccessStatus(const platform::HTTPURLResponse& response)
{
    return response.statusCode() >= 200 && response.statusCode() < 300;
}

} // namespace

// The output stream the HTTP layer writes a response body into: the reader parses and applies
// each chunk as it arrives. The bytes stay readable for logging.
//
// Two checks stand between the transfer and the reader. The body may not grow past the session's
// limit: the byte that would pass it cancels the transfer. And on a session GET, the server's
// identity header is checked before the first byte reaches the reader, so that nothing of a
// refused server's body is applied: a refused success response is cancelled at once (it blocks
// the transport), while the body of a refused failure response is dropped unread and the
// request fails as its status says.
//
// The reader hands what it reads to the command operator's queue, which the main loop applies
// in turns of its own: each chunk's hand-overs are one batch, posted to the main loop once; the
// stream keeps the reader (whose abandoned flag the queued entries point at) until the queue is
// through with each chunk; and `afterApplied` runs the request's end behind what its body
// queued.
//
// `write` runs on the network thread; the flags are read on the main loop once the request has
// ended.
class ProtocolTransport::ReaderOutputStream final : public platform::OutputStream {
public:
    ReaderOutputStream(std::shared_ptr<ProtocolReader> reader, std::weak_ptr<CommandOperator> commandOperator, std::size_t limit)
        : m_reader(std::move(reader))
        , m_commandOperator(std::move(commandOperator))
        , m_limit(limit)
    {
    }

    const std::shared_ptr<ProtocolReader>& reader() const { return m_reader; }
    /// Runs `task` once everything the body handed over has been applied or skipped.
    void afterApplied(std::function<void()> task) const
    {
        if (auto commandOperator = m_commandOperator.lock())
            commandOperator->afterHandedOver(std::move(task));
        else
            task();
    }
    void checkIdentity(std::weak_ptr<NetHTTPRequestOperation> operation, std::optional<std::string> requiredId)
    {
        m_operation = std::move(operation);
        m_requiredId = std::move(requiredId);
        m_checksIdentity = true;
    }
    const std::optional<std::string>& requiredId() const { return m_requiredId; }
    bool refusedIdentity() const { return m_refusedIdentity.load(); }
    bool exceededLimit() const { return m_exceededLimit.load(); }
    std::size_t limit() const { return m_limit; }

    void open() override
    {
        OutputStream::open();
        m_reader->open();
    }
    void close() override
    {
        OutputStream::close();
        m_reader->close();
    }
    long write(const char* bytes, std::size_t length) override
    {
        if (!isOpen())
            return -1;
        // The chunk past the limit is not read. What was read before it stays queued and is
        // applied, so the reader is not abandoned here.
        if (length > m_limit - m_written) {
            m_exceededLimit = true;
            return -1;
        }
        m_written += length;
        switch (admission()) {
        case Admission::Read:
            return read(bytes, length);
        case Admission::Drop:
            return static_cast<long>(length);
        case Admission::Unchecked:
        case Admission::Refuse:
            return -1;
        }
        return -1;
    }
    std::optional<std::string> dataWrittenToMemory() const override { return m_reader->data(); }
    std::optional<std::string> takeDataWrittenToMemory() override { return m_reader->takeData(); }

private:
    enum class Admission { Unchecked, Read, Drop, Refuse };

    // What the chunk hands over reaches the main loop in one turn, once the chunk is read.
    long read(const char* bytes, std::size_t length)
    {
        auto commandOperator = m_commandOperator.lock();
        if (!commandOperator)
            return m_reader->write(reinterpret_cast<const std::uint8_t*>(bytes), length);
        commandOperator->beginHandOffBatch();
        long taken = -1;
        try {
            taken = m_reader->write(reinterpret_cast<const std::uint8_t*>(bytes), length);
        } catch (...) {
            commandOperator->endHandOffBatch(m_reader);
            throw;
        }
        commandOperator->endHandOffBatch(m_reader);
        return taken;
    }

    // Network thread only, like `write`.
    Admission admission()
    {
        if (m_admission != Admission::Unchecked)
            return m_admission;
        m_admission = Admission::Read;
        if (!m_checksIdentity)
            return m_admission;
        auto operation = m_operation.lock();
        auto response = operation ? operation->response() : nullptr;
        if (!ProtocolTransport::verifyServerOf(response.get(), m_requiredId))
            return m_admission;
        m_reader->abandon();
        if (response && !isSuccessStatus(*response)) {
            m_admission = Admission::Drop;
            return m_admission;
        }
        m_refusedIdentity = true;
        m_admission = Admission::Refuse;
        return m_admission;
    }

    std::shared_ptr<ProtocolReader> m_reader;
    std::weak_ptr<CommandOperator> m_commandOperator;
    const std::size_t m_limit;
    std::size_t m_written = 0;
    bool m_checksIdentity = false;
    std::weak_ptr<NetHTTPRequestOperation> m_operation;
    std::optional<std::string> m_requiredId;
    Admission m_admission = Admission::Unchecked;
    std::atomic<bool> m_refusedIdentity = false;
    std::atomic<bool> m_exceededLimit = false;
};

namespace {

// The request of a blocked transport: it sends nothing, and starting it reports the block again.
class BlockedOperation final : public platform::Operation {
public:
    static std::shared_ptr<BlockedOperation> create() { return std::shared_ptr<BlockedOperation>(new BlockedOperation()); }
    void setAction(std::function<void()> action) { m_action = std::move(action); }
    void start() override { platform::MainLoop::main().post(m_action); }
    bool isExecuting() const override { return false; }
    bool isFinished() const override { return false; }

private:
    BlockedOperation() = default;
    std::function<void()> m_action;
};

void post(const char* name)
{
    platform::NotificationCenter::defaultCenter()->post(name);
}

} // namespace

std::shared_ptr<ProtocolTransport> ProtocolTransport::create(std::weak_ptr<MorvixClient> client)
{
    NetNetworkActivityIndicatorManager::sharedManager()->setEnabled(true);
    return std::shared_ptr<ProtocolTransport>(new ProtocolTransport(std::move(client)));
}

ProtocolTransport::ProtocolTransport(std::weak_ptr<MorvixClient> client)
    : m_client(std::move(client))
{
}

// A transport let go without `destroy` (its session destroyed) still stops its transfer: the
// network thread carries every transfer of the process, and a body that nobody will apply any
// more must not keep streaming on it.
ProtocolTransport::~ProtocolTransport()
{
    if (m_reader)
        m_reader->abandon();
    if (m_operation && m_operation.kind != RequestKind::Blocked)
        m_operation.operation->cancel();
}

bool ProtocolTransport::wasActive()
{
    return s_wasActive.load();
}

void ProtocolTransport::resetWasActiveForTesting()
{
    s_wasActive = false;
}

void ProtocolTransport::setRequestCounter(std::int64_t counter)
{
    m_requestCounter.setValue(counter);
}

bool ProtocolTransport::busy()
{
    std::lock_guard lock(m_mutex);
    return m_operation || m_retryOperation;
}

bool ProtocolTransport::isDestroyed()
{
    std::lock_guard lock(m_mutex);
    return m_destroyed;
}

void ProtocolTransport::newSession(const std::string&)
{
    s_wasActive = true;
    auto client = m_client.lock();
    if (!client)
        return;
    if (auto registry = client->objectRegistry())
        registry->reset();
    m_requestCounter.reset();
    setupLogging();
    {
        std::lock_guard lock(m_mutex);
        m_operation = {};
        m_retryOperation = {};
    }
    startNewSessionOperation();
}

std::shared_ptr<ProtocolReader> ProtocolTransport::initProtocolReader()
{
    auto client = m_client.lock();
    auto reader = ProtocolReader::create(client ? client->commandOperator() : nullptr);
    std::lock_guard lock(m_mutex);
    // A body still streaming for an earlier request must not reach the objects any more.
    if (m_reader)
        m_reader->abandon();
    m_reader = reader;
    return reader;
}

void ProtocolTransport::startNewSessionOperation()
{
    auto reader = initProtocolReader();
    auto tag = std::make_shared<const platform::Operation*>(nullptr);
    auto operation = makeOperation(RequestKind::SessionGet, reader, tag, {}, nullptr);
    if (!operation)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_operation = { operation, RequestKind::SessionGet };
    }
    operation->start();
}

std::shared_ptr<platform::Operation> ProtocolTransport::makeOperation(RequestKind kind, const std::shared_ptr<ProtocolReader>& reader,
    const RequestTag& tag, const std::string& body, const std::shared_ptr<platform::Operation>& original)
{
    auto client = m_client.lock();
    auto http = client ? client->httpClient() : nullptr;
    if (!http)
        return nullptr;
    auto stream = std::make_shared<ReaderOutputStream>(reader, client->commandOperator(), client->maximumResponseSize());
    std::weak_ptr<ProtocolTransport> weak = weak_from_this();
    // A request ends once its body has been applied: its operations may still wait for the main
    // loop when the transfer's completion runs.
    MorvixHTTPClient::SuccessBlock success = [weak, tag, stream, kind](const platform::URLRequest&,
                                                 const std::shared_ptr<const platform::HTTPURLResponse>& response) {
        stream->afterApplied([weak, tag, stream, kind, response] {
            auto self = weak.lock(); // kept for the whole callback: a reload may drop the transport
            if (!self)
                return;
            if (kind == RequestKind::SessionGet)
                self->sessionResponded(tag, *stream, response);
            else
                self->requestEnded(tag, *stream, std::nullopt);
        });
    };
    MorvixHTTPClient::FailureBlock failure = [weak, tag, stream](const platform::URLRequest&,
                                                 const std::shared_ptr<const platform::HTTPURLResponse>&, const platform::Error& error) {
        stream->afterApplied([weak, tag, stream, error] {
            if (auto self = weak.lock())
                self->requestEnded(tag, *stream, error);
        });
    };
    std::shared_ptr<platform::Operation> operation;
    if (original)
        operation = http->newOperationFromOperation(original, std::move(success), std::move(failure), stream);
    else if (kind == RequestKind::SessionGet)
        operation = http->newGetJsonOperation(std::move(success), std::move(failure), stream);
    else
        operation = http->newPostJsonOperation(body, std::move(success), std::move(failure), stream);
    if (kind == RequestKind::SessionGet)
        stream->checkIdentity(std::dynamic_pointer_cast<NetHTTPRequestOperation>(operation), client->requiredServerId());
    *tag = operation.get();
    return operation;
}

bool ProtocolTransport::isCurrent(const RequestTag& tag)
{
    std::lock_guard lock(m_mutex);
    return !m_destroyed && m_operation && m_operation.operation.get() == *tag;
}

// A body with nothing to read gets here without the stream's identity check; so does one the
// stream checked already, which passed it.
void ProtocolTransport::sessionResponded(const RequestTag& tag, const ReaderOutputStream& stream,
    const std::shared_ptr<const platform::HTTPURLResponse>& response)
{
    if (!isCurrent(tag))
        return;
    if (auto mismatch = verifyServerOf(response.get(), stream.requiredId())) {
        blockWithError(*mismatch);
        return;
    }
    requestEnded(tag, stream, std::nullopt);
}

void ProtocolTransport::requestEnded(const RequestTag& tag, const ReaderOutputStream& stream,
    const std::optional<platform::Error>& httpError)
{
    // A request cancelled by `destroy` or replaced by a new session ends here too; it is over
    // for the transport already.
    if (!isCurrent(tag))
        return;
    // The stream cancelled these transfers itself; the HTTP layer's error says only that.
    if (stream.refusedIdentity()) {
        blockWithError(unauthorizedAccess());
        return;
    }
    if (stream.exceededLimit()) {
        doneReading(std::nullopt, responseTooLarge(stream.limit()));
        return;
    }
    doneReading(httpError, stream.reader()->error());
}

platform::Error ProtocolTransport::responseTooLarge(std::size_t limit)
{
    return platform::Error(kErrorDomain, 3, "Server Response",
        "Response could not be parsed: it is larger than " + std::to_string(limit) + " bytes.");
}

void ProtocolTransport::doneReading(const std::optional<platform::Error>& httpError, const std::optional<platform::Error>& readerError)
{
    if (auto error = computeError(httpError, readerError))
        operationFailed(*error);
    else
        operationSucceeded();
    // A failure that reloaded the session has destroyed this transport; the new session's
    // requests announce their own ends.
    if (!isDestroyed())
        post(kProcessingFinished);
}

std::optional<platform::Error> ProtocolTransport::computeError(const std::optional<platform::Error>& httpError,
    const std::optional<platform::Error>& readerError)
{
    if (httpError && readerError && httpError->domain() != readerError->domain()) {
        // A refused status says what went wrong ("Request failed: ... (500)"); that the error page
        // then did not parse is only the reason underneath.
        if (httpError->is(NetURLResponseSerializationErrorDomain, NetURLErrorBadServerResponse)) {
            return platform::Error(kErrorDomain, httpError->code(), httpError->description(),
                readerError->failureReason().value_or(std::string()));
        }
        return platform::Error(kErrorDomain, httpError->code(), readerError->failureReason().value_or(std::string()),
            httpError->description());
    }
    if (readerError)
        return readerError;
    return httpError;
}

void ProtocolTransport::operationSucceeded()
{
    {
        std::lock_guard lock(m_mutex);
        m_retrying = false;
        m_resuming = false;
    }
    post(kOperationSucceeded);
    std::lock_guard lock(m_mutex);
    m_operation = {};
}

void ProtocolTransport::operationFailed(const platform::Error& error)
{
    post(kOperationFailed);
    bool finalFailure = false;
    bool reload = false;
    {
        std::lock_guard lock(m_mutex);
        m_retryOperation = std::move(m_operation);
        m_operation = {};
        finalFailure = m_retrying;
        if (finalFailure) {
            m_retrying = false;
            reload = m_resuming;
            m_resuming = false;
        }
    }
    if (!finalFailure) {
        retry();
        return;
    }
    auto client = m_client.lock();
    if (!client)
        return;
    if (reload)
        client->load();
    else
        client->displayError(error);
}

void ProtocolTransport::retry()
{
    std::lock_guard lock(m_mutex);
    if (!m_retryOperation || m_destroyed)
        return;
    m_retrying = true;
    auto failed = m_retryOperation;
    std::shared_ptr<platform::Operation> operation;
    if (failed.kind == RequestKind::Blocked) {
        operation = failed.operation;
    } else {
        auto reader = initProtocolReader();
        auto tag = std::make_shared<const platform::Operation*>(nullptr);
        operation = makeOperation(failed.kind, reader, tag, {}, failed.operation);
    }
    if (!operation)
        return;
    m_operation = { operation, failed.kind };
    m_retryOperation = {};
    operation->start();
}

void ProtocolTransport::sendMessage(ServerMessage message)
{
    if (m_requestCounter.isUsed()) {
        handleInvalidRequestCounter();
        return;
    }
    if (m_requestCounter.isInitialized())
        message.setRequestCounter(m_requestCounter.value());
    auto reader = initProtocolReader();
    auto tag = std::make_shared<const platform::Operation*>(nullptr);
    auto operation = makeOperation(RequestKind::Message, reader, tag, message.serialize(), nullptr);
    if (!operation)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_destroyed)
            return;
        m_operation = { operation, RequestKind::Message };
    }
    operation->start();
}

void ProtocolTransport::handleInvalidRequestCounter()
{
    {
        std::lock_guard lock(m_mutex);
        m_retrying = true; // never repeated by itself
    }
    operationFailed(platform::Error("vek", 500, "Invalid State", "A request with this RequestCounter was already sent."));
}

std::optional<platform::Error> ProtocolTransport::verifyServerOf(const platform::HTTPURLResponse* response,
    const std::optional<std::string>& requiredId)
{
    auto serverId = response ? response->valueForHeader(kServerIdHeader) : std::nullopt;
    if (serverId == requiredId)
        return std::nullopt;
    return unauthorizedAccess();
}

void ProtocolTransport::blockWithError(const platform::Error& error)
{
    // Queued only: the transport stays busy from here on, so nothing is flushed any more.
    sendShutdown();
    auto blocked = BlockedOperation::create();
    const platform::Operation* identity = blocked.get();
    blocked->setAction([weak = weak_from_this(), error, identity] {
        auto self = weak.lock();
        if (!self)
            return;
        {
            std::lock_guard lock(self->m_mutex);
            if (self->m_destroyed || self->m_operation.operation.get() != identity)
                return;
        }
        self->blockWithError(error);
    });
    {
        std::lock_guard lock(m_mutex);
        m_retrying = true;
        m_operation = { blocked, RequestKind::Blocked };
    }
    operationFailed(error);
}

std::shared_ptr<ProtocolTransport::PushLink> ProtocolTransport::serverPush()
{
    auto client = m_client.lock();
    auto registry = client ? client->objectRegistry() : nullptr;
    if (!registry)
        return nullptr;
    return std::dynamic_pointer_cast<PushLink>(registry->serverPushObject());
}

void ProtocolTransport::queueFlushed()
{
    if (auto push = serverPush(); push && push->isActive())
        push->establishLink();
}

void ProtocolTransport::suspend()
{
    {
        std::lock_guard lock(m_mutex);
        m_retrying = false;
        m_resuming = false;
    }
    if (auto push = serverPush(); push && push->isActive())
        push->cancel();
}

void ProtocolTransport::resume()
{
    adjustLogging();
    bool hasFailedRequest = false;
    {
        std::lock_guard lock(m_mutex);
        m_retrying = false;
        m_resuming = true;
        hasFailedRequest = static_cast<bool>(m_retryOperation);
    }
    if (hasFailedRequest)
        retry();
    else
        Notifications::forHead()->ping();
}

void ProtocolTransport::sendShutdown()
{
    Notifications::forHead()->shutdown();
}

void ProtocolTransport::destroy()
{
    Request operation;
    std::shared_ptr<ProtocolReader> reader;
    std::shared_ptr<Logger> logger;
    {
        std::lock_guard lock(m_mutex);
        m_retrying = false;
        m_resuming = false;
        m_destroyed = true;
        operation = std::exchange(m_operation, {});
        m_retryOperation = {};
        reader = std::exchange(m_reader, nullptr);
        logger = std::exchange(m_logger, nullptr);
    }
    if (reader)
        reader->abandon();
    if (operation && operation.kind != RequestKind::Blocked)
        operation.operation->cancel();
    m_requestCounter.reset();
}

bool ProtocolTransport::wantsLogging()
{
    auto client = m_client.lock();
    return client && (client->logRequests() || client->logResponses());
}

// A new session starts a new log (and a new session file) when the delegate asks for one.
void ProtocolTransport::setupLogging()
{
    auto logger = wantsLogging() ? Logger::create() : nullptr;
    std::shared_ptr<Logger> old; // released after the lock: a logger's destruction writes its queue
    std::lock_guard lock(m_mutex);
    old = std::exchange(m_logger, std::move(logger));
}

// Resuming follows the delegate's current settings and keeps a running log going.
void ProtocolTransport::adjustLogging()
{
    bool wanted = wantsLogging();
    std::shared_ptr<Logger> dropped;
    std::lock_guard lock(m_mutex);
    if (wanted && !m_logger)
        m_logger = Logger::create();
    else if (!wanted)
        dropped = std::exchange(m_logger, nullptr);
}

} // namespace morvix
