#include "core/outgoing/ServerBinding.h"

#include "core/outgoing/HeadNotification.h"
#include "core/outgoing/MessageOperation.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/NotificationImpl.h"
#include "core/outgoing/ServerMessage.h"

#include <algorithm>
#include <optional>
#include <typeinfo>
#include <utility>

namespace morvix {

namespace {

constexpr const char* kProcessingFinished = "com.zerivoquastel.morvix.ProcessingFinished";

bool sameSetTarget(const WireOperation& a, const WireOperation& b)
{
    return a.isSet() && b.isSet() && a.target == b.target;
}

// Whether the queued block `tail` may be melded with the new operations: position by position,
// a set matches a set on the same target, anything else only its equal.
bool isBlockSimilar(std::span<const WireOperation> tail, std::span<const WireOperation> operations)
{
    for (std::size_t i = 0; i < operations.size(); ++i) {
        if (operations[i].isSet() ? !sameSetTarget(tail[i], operations[i]) : !tail[i].isEquivalent(operations[i]))
            return false;
    }
    return true;
}

// Appends `operation` to an already folded queue, folding it into the last operation when both
// are sets on one target (the new values win, the keys of both are kept). Appending one by one
// to a folded queue gives the same result as folding the whole queue again.
void appendFolding(std::vector<WireOperation>& queue, WireOperation operation)
{
    if (queue.empty() || !sameSetTarget(queue.back(), operation))
        return queue.push_back(std::move(operation));
    queue.back().fold(std::move(operation));
}

// Room a queued set is given for the properties of later changes that fold into it.
constexpr std::size_t kSetRoom = 4;

WireOperation wireOperation(const MessageOperation& recorded, const std::string& target)
{
    return WireOperation::fromRecorded(recorded, target, kSetRoom);
}

// Folds the properties of a set on `target` straight into the queue's last operation when that
// is a set on the same target: what the merge rules make of such a message, without a map of
// its own on the way. False when the last operation is something else.
bool foldIntoLast(std::vector<WireOperation>& queue, const std::string& target, const MessageOperation& recorded)
{
    if (queue.empty() || !queue.back().isSet() || queue.back().target != target)
        return false;
    for (const auto& [key, value] : recorded.properties())
        queue.back().foldProperty(key, value, recorded.floatingPointKeys());
    return true;
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
    // The session is going: its transfers end with it.
    if (m_transport)
        m_transport->destroy();
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
    cancelDelayedFlush();
    std::shared_ptr<ServerTransport> transport;
    {
        std::lock_guard lock(m_mutex);
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
    std::vector<platform::Value> arrays;
    arrays.reserve(m_operations.size());
    for (const auto& operation : m_operations)
        arrays.push_back(operation.toArray());
    return arrays;
}

platform::Value ServerBinding::queuedHead()
{
    std::lock_guard lock(m_mutex);
    return m_headAttributes;
}

bool ServerBinding::transportUnlessFlushing(std::shared_ptr<ServerTransport>& transport)
{
    std::lock_guard lock(m_mutex);
    if (m_flushing) {
        m_flushAgain = true; // the flushing thread looks again before it returns
        return false;
    }
    transport = m_transport;
    return true;
}

void ServerBinding::flush()
{
    // A message handed on while a request is in flight finds the transport busy: that flush
    // does nothing (the next "ProcessingFinished" flushes again), so it is found out before the
    // flush is marked, which would take the lock once more to clear it.
    std::shared_ptr<ServerTransport> transport;
    if (!transportUnlessFlushing(transport) || (transport && transport->busy()))
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_flushing) {
            m_flushAgain = true;
            return;
        }
        m_flushing = true;
        transport = m_transport;
    }
    // Cleared however this ends, so that a transport that throws does not stop every later
    // flush.
    auto done = [this, &transport] {
        std::lock_guard lock(m_mutex);
        if (std::exchange(m_flushAgain, false)) {
            transport = m_transport;
            return false;
        }
        m_flushing = false;
        return true;
    };
    try {
        do
            sendQueue(transport);
        while (!done());
    } catch (...) {
        std::lock_guard lock(m_mutex);
        m_flushing = m_flushAgain = false;
        throw;
    }
}

void ServerBinding::sendQueue(const std::shared_ptr<ServerTransport>& transport)
{
    if (transport && transport->busy())
        return; // the next "ProcessingFinished" flushes again
    std::optional<ServerMessage> message;
    {
        std::lock_guard lock(m_mutex);
        if (m_transport != transport) {
            m_flushAgain = true; // started or reset meanwhile: ask the new transport
            return;
        }
        if (!m_operations.empty() || !m_headAttributes.empty()) {
            m_lastQueueLength = m_operations.size();
            message.emplace(std::exchange(m_headAttributes, platform::Value::object()), std::exchange(m_operations, {}));
        }
    }
    // Without a transport (after a reset, before the next start) the content is dropped.
    if (!transport)
        return;
    if (!message)
        return transport->queueFlushed();
    transport->sendMessage(std::move(*message));
}

void ServerBinding::resolve(const std::shared_ptr<Message>& message)
{
    // The usual message is the standard builder's; its exact type is cheaper to test than a cast.
    const bool standard = typeid(*message) == typeid(NotificationImpl);
    if (auto* head = standard ? nullptr : dynamic_cast<HeadNotification*>(message.get())) {
        std::lock_guard lock(m_mutex);
        for (const auto& [key, value] : head->getAttributes().items())
            m_headAttributes[key] = value;
        return;
    }
    auto* notification = standard ? static_cast<NotificationImpl*>(message.get()) : dynamic_cast<Notification*>(message.get());
    if (!notification)
        return;
    const auto recorded = notification->getMessageOperations();
    const std::string& target = notification->getTarget();
    if (recorded.size() == 1) {
        // The usual message, merged under one lock and without a list of its own. A set that
        // follows a set on its target folds straight into it, without a copy of its map.
        std::lock_guard lock(m_mutex);
        if (recorded[0].isSet() && foldIntoLast(m_operations, target, recorded[0]))
            return;
        reserveQueue(1);
        resolveOneInto(wireOperation(recorded[0], target), m_operations);
        return;
    }
    if (recorded.empty())
        return;
    std::vector<WireOperation> operations;
    operations.reserve(recorded.size());
    for (const auto& each : recorded)
        operations.push_back(wireOperation(each, target));
    std::lock_guard lock(m_mutex);
    reserveQueue(operations.size());
    resolveInto(std::move(operations), m_operations);
}

void ServerBinding::reserveQueue(std::size_t arriving)
{
    if (m_operations.capacity() == 0)
        m_operations.reserve(std::max(m_lastQueueLength, arriving));
}

void ServerBinding::resolveOneInto(WireOperation operation, std::vector<WireOperation>& queue)
{
    const bool similar = !queue.empty()
        && (operation.isSet() ? sameSetTarget(queue.back(), operation) : queue.back().isEquivalent(operation));
    if (!similar)
        return appendFolding(queue, std::move(operation));
    // The older set goes before the new one on the same target; an older equal notify or call
    // is dropped.
    WireOperation older = std::move(queue.back());
    queue.pop_back();
    if (operation.isSet())
        appendFolding(queue, std::move(older));
    appendFolding(queue, std::move(operation));
}

void ServerBinding::resolveInto(std::vector<WireOperation> operations, std::vector<WireOperation>& queue)
{
    // The queue is kept folded, so folding only where new operations join it gives the same
    // queue as folding it all again.
    if (operations.size() > queue.size() || !isBlockSimilar(std::span(queue).last(operations.size()), operations)) {
        for (auto& operation : operations)
            appendFolding(queue, std::move(operation));
        return;
    }
    // Meld the matching tail with the new block: each set of the tail goes before the new set
    // on the same target, an older notify or call equal to the new one is dropped.
    if (operations.size() == 1) // the usual case, without a copy of the tail
        return resolveOneInto(std::move(operations[0]), queue);
    std::size_t start = queue.size() - operations.size();
    std::vector<WireOperation> tail(std::make_move_iterator(queue.begin() + start), std::make_move_iterator(queue.end()));
    queue.resize(start);
    for (std::size_t i = 0; i < operations.size(); ++i) {
        if (operations[i].isSet())
            appendFolding(queue, std::move(tail[i]));
        appendFolding(queue, std::move(operations[i]));
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
