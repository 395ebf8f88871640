#include "core/ServerBinding.h"

#include "core/HeadNotification.h"
#include "core/MessageOperation.h"
#include "core/Notification.h"
#include "core/ServerMessage.h"

#include <string_view>
#include <utility>

namespace morvix {

namespace {

constexpr const char* kProcessingFinished = "com.zerivoquastel.morvix.ProcessingFinished";

bool isKind(const platform::Value& array, std::string_view kind)
{
    return array.is_array() && !array.empty() && array[0].is_string() && array[0].get_ref<const std::string&>() == kind;
}

bool isSet(const platform::Value& array)
{
    return isKind(array, "set") && array.size() >= 3;
}

bool sameTarget(const platform::Value& a, const platform::Value& b)
{
    return a.size() > 1 && b.size() > 1 && a[1].is_string() && b[1].is_string() && a[1] == b[1];
}

// Whether the queued block `tail` may be melded with the new arrays: position by position, a
// set matches a set on the same target, anything else only its equal.
bool isBlockSimilar(std::span<const platform::Value> tail, std::span<const platform::Value> arrays)
{
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        if (isSet(arrays[i])) {
            if (!isSet(tail[i]) || !sameTarget(tail[i], arrays[i]))
                return false;
        } else if (!platform::valuesEqual(tail[i], arrays[i])) {
            return false;
        }
    }
    return true;
}

// Appends `array` to an already folded queue, folding it into the last array when both are sets
// on one target (the new values win, the keys of both are kept). Appending one by one to a
// folded queue gives the same result as folding the whole queue again.
void appendFolding(std::vector<platform::Value>& queue, platform::Value array)
{
    if (!queue.empty() && isSet(queue.back()) && isSet(array) && sameTarget(queue.back(), array)
        && queue.back()[2].is_object() && array[2].is_object()) {
        auto& properties = queue.back()[2];
        for (auto& [key, value] : array[2].items())
            properties[key] = std::move(value);
        return;
    }
    queue.push_back(std::move(array));
}

} // namespace

std::shared_ptr<ServerBinding> ServerBinding::create(std::weak_ptr<MorvixClient> client,
    TransportFactory makeTransport, ServerURLProvider serverURL)
{
    auto binding = std::shared_ptr<ServerBinding>(
        new ServerBinding(std::move(client), std::move(makeTransport), std::move(serverURL)));
    binding->observeProcessingFinished();
    return binding;
}

ServerBinding::ServerBinding(std::weak_ptr<MorvixClient> client, TransportFactory makeTransport, ServerURLProvider serverURL)
    : m_client(std::move(client))
    , m_makeTransport(std::move(makeTransport))
    , m_serverURL(std::move(serverURL))
{
}

ServerBinding::~ServerBinding()
{
    cancelDelayedFlush();
}

void ServerBinding::observeProcessingFinished()
{
    m_processingFinished = platform::NotificationCenter::defaultCenter()->addObserver(kProcessingFinished, nullptr,
        [weak = weak_from_this()](const platform::Notification&) {
            if (auto self = weak.lock())
                self->processingFinished();
        });
}

void ServerBinding::processingFinished()
{
    cancelDelayedFlush();
    flush();
}

std::shared_ptr<ServerTransport> ServerBinding::currentTransport()
{
    std::lock_guard lock(m_mutex);
    return m_transport;
}

void ServerBinding::start()
{
    auto transport = m_makeTransport ? m_makeTransport(m_client) : nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_transport = transport;
    }
    if (transport)
        transport->newSession(m_serverURL ? m_serverURL() : std::string());
}

void ServerBinding::suspend()
{
    if (auto transport = currentTransport())
        transport->suspend();
}

void ServerBinding::resume()
{
    if (auto transport = currentTransport())
        transport->resume();
}

void ServerBinding::retry()
{
    if (auto transport = currentTransport())
        transport->retry();
}

void ServerBinding::stop()
{
    if (auto transport = currentTransport())
        transport->sendShutdown();
}

void ServerBinding::storeMessage(const std::shared_ptr<Message>& message)
{
    resolve(message);
}

void ServerBinding::scheduleMessage(const std::shared_ptr<Message>& message)
{
    resolve(message);
    scheduleDelayedFlush();
}

void ServerBinding::sendMessage(const std::shared_ptr<Message>& message)
{
    resolve(message);
    flush();
}

void ServerBinding::reset()
{
    std::shared_ptr<ServerTransport> transport;
    {
        std::lock_guard lock(m_mutex);
        cancelDelayedFlush();
        m_operations.clear();
        m_headAttributes = platform::Value::object();
        transport = std::move(m_transport);
        m_transport = nullptr;
    }
    if (transport)
        transport->destroy();
}

bool ServerBinding::isActive()
{
    auto transport = currentTransport();
    return transport && transport->wasActive();
}

bool ServerBinding::isProcessing()
{
    auto transport = currentTransport();
    return transport && transport->busy();
}

void ServerBinding::receivedRequestCounter(std::int64_t counter)
{
    if (auto transport = currentTransport())
        transport->setRequestCounter(counter);
}

bool ServerBinding::isEmpty()
{
    std::lock_guard lock(m_mutex);
    return m_operations.empty() && m_headAttributes.empty();
}

std::vector<platform::Value> ServerBinding::queuedOperations()
{
    std::lock_guard lock(m_mutex);
    return m_operations;
}

platform::Value ServerBinding::queuedHead()
{
    std::lock_guard lock(m_mutex);
    return m_headAttributes;
}

void ServerBinding::flush()
{
    if (auto transport = currentTransport(); transport && transport->busy())
        return; // the next "ProcessingFinished" flushes again
    std::lock_guard lock(m_mutex);
    // Asked again under the lock: another thread may have sent between the test and the lock,
    // and only one request may be in flight.
    if (m_transport && m_transport->busy())
        return;
    if (m_operations.empty() && m_headAttributes.empty()) {
        if (m_transport)
            m_transport->queueFlushed();
        return;
    }
    ServerMessage message(std::exchange(m_headAttributes, platform::Value::object()), std::exchange(m_operations, {}));
    // Without a transport (after a reset, before the next start) the content is dropped.
    if (m_transport)
        m_transport->sendMessage(std::move(message));
}

void ServerBinding::resolve(const std::shared_ptr<Message>& message)
{
    if (auto head = std::dynamic_pointer_cast<HeadNotification>(message)) {
        std::lock_guard lock(m_mutex);
        for (const auto& [key, value] : head->getAttributes().items())
            m_headAttributes[key] = value;
        return;
    }
    auto notification = std::dynamic_pointer_cast<Notification>(message);
    if (!notification)
        return;
    std::vector<platform::Value> arrays;
    arrays.reserve(notification->getMessageOperations().size());
    for (const auto& operation : notification->getMessageOperations()) {
        if (!operation)
            continue;
        auto array = operation->toOperationArray(notification->getTarget());
        if (!array.is_null())
            arrays.push_back(std::move(array));
    }
    std::lock_guard lock(m_mutex);
    resolveInto(std::move(arrays), m_operations);
}

void ServerBinding::resolveInto(std::vector<platform::Value> arrays, std::vector<platform::Value>& queue)
{
    // The queue is kept folded, so folding only where new arrays join it gives the same queue
    // as folding it all again.
    if (arrays.size() > queue.size() || !isBlockSimilar(std::span(queue).last(arrays.size()), arrays)) {
        for (auto& array : arrays)
            appendFolding(queue, std::move(array));
        return;
    }
    // Meld the matching tail with the new block: each set of the tail goes before the new set
    // on the same target, an older notify or call equal to the new one is dropped.
    if (arrays.size() == 1) { // the usual case, without a copy of the tail
        platform::Value older = std::move(queue.back());
        queue.pop_back();
        if (isSet(arrays[0]))
            appendFolding(queue, std::move(older));
        appendFolding(queue, std::move(arrays[0]));
        return;
    }
    std::size_t start = queue.size() - arrays.size();
    std::vector<platform::Value> tail(std::make_move_iterator(queue.begin() + start), std::make_move_iterator(queue.end()));
    queue.resize(start);
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        if (isSet(arrays[i]))
            appendFolding(queue, std::move(tail[i]));
        appendFolding(queue, std::move(arrays[i]));
    }
}

void ServerBinding::cancelDelayedFlush()
{
    std::lock_guard lock(m_timerMutex);
    if (m_delayedFlush)
        platform::MainLoop::main().cancel(m_delayedFlush);
    m_delayedFlush = 0;
}

void ServerBinding::scheduleDelayedFlush()
{
    // Always on the main loop: a thread that schedules may have no loop of its own turning, and
    // a cancel from another thread must reach the pending flush.
    std::lock_guard lock(m_timerMutex);
    if (m_delayedFlush)
        platform::MainLoop::main().cancel(m_delayedFlush);
    auto generation = ++m_delayedFlushGeneration;
    m_delayedFlush = platform::MainLoop::main().postAfter(kFlushDelay, [weak = weak_from_this(), generation] {
        auto self = weak.lock();
        if (!self)
            return;
        {
            // A schedule racing with this call has armed a newer flush, which stays pending.
            std::lock_guard lock(self->m_timerMutex);
            if (self->m_delayedFlushGeneration == generation)
                self->m_delayedFlush = 0;
        }
        self->flush();
    });
}

} // namespace morvix
