#pragma once
// The binding that connects a session to an application server.

#include "core/outgoing/Binding.h"
#include "core/outgoing/ServerTransport.h"
#include "core/outgoing/WireOperation.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace morvix {

/// Turns every outgoing message into wire arrays, keeps them in one queue together with the
/// head attributes, merges what can be merged, and flushes the queue as one `ServerMessage`
/// through its transport: one message at a time, never while the transport is busy. Starts,
/// suspends, resumes, retries and stops the transport for the session.
///
/// Merging. Each handed-on message's arrays N are merged into the queue Q:
///  1. When N is not longer than Q and the last |N| arrays T of Q match N position by position
///     (a "set" matches a "set" on the same target; a "notify" or "call" matches only an equal
///     one, maps compared without regard to key order and numbers by value), T is taken out of
///     the queue and N becomes T and N melded: each set of T is kept before the set of N, an
///     older notify or call is dropped.
///  2. N is appended, and adjacent sets on one target fold into one (later values win).
/// So an event fired again while a request is in flight goes out once, and a burst of property
/// changes costs one set per object; sets on A, B, A stay three.
///
/// Flushing. `sendMessage` flushes at once; `scheduleMessage` flushes 0.3 s after the last
/// schedule (always on the main loop, whatever thread schedules); "ProcessingFinished" cancels
/// a pending delayed flush and flushes. A flush while the transport is busy does nothing; an
/// empty flush tells the transport `queueFlushed`. Without a transport (after `reset`, before
/// `start`) a flush discards the queued content.
///
/// Thread safety: any thread. The queue, the head and the transport are guarded by the binding's
/// lock, which is never held while the binding calls out (the transport, the main loop): a
/// transport may reach the session, and so the dispatcher's lock, while another thread holding
/// that lock hands a message to the binding. Messages are taken in as snapshots.
///
/// Flushing rules:
///  1. One thread at a time hands messages to the transport; a flush asked for meanwhile (from
///     any thread, or from inside the transport's `sendMessage`) is not lost: the flushing
///     thread looks at the queue again before it returns.
///  2. So messages leave in queue order, and one at a time: the transport is asked `busy`
///     before each message.
class ServerBinding final : public Binding, public std::enable_shared_from_this<ServerBinding> {
public:
    using TransportFactory = std::function<std::shared_ptr<ServerTransport>(const std::weak_ptr<MorvixClient>&)>;
    using ServerURLProvider = std::function<std::string()>;

    static constexpr auto kFlushDelay = std::chrono::milliseconds(300);

    /// `makeTransport` gives each `start` a fresh transport; `serverURL` gives the session's
    /// server URL at that moment.
    static std::shared_ptr<ServerBinding> create(std::weak_ptr<MorvixClient> client,
        TransportFactory makeTransport, ServerURLProvider serverURL);
    ~ServerBinding() override;
    ServerBinding(const ServerBinding&) = delete;
    ServerBinding& operator=(const ServerBinding&) = delete;

    void start() override;
    void suspend() override;
    void resume() override;
    void retry() override;
    /// Asks the transport to announce "shutdown".
    void stop() override;

    void sendMessage(const std::shared_ptr<Message>& message) override;
    void scheduleMessage(const std::shared_ptr<Message>& message) override;
    void storeMessage(const std::shared_ptr<Message>& message) override;

    /// Cancels a pending delayed flush, empties the queue and the head, destroys and drops the
    /// transport.
    void reset() override;
    /// The transport's `wasActive`; false without a transport.
    bool isActive() override;
    /// The transport's `busy`; false without a transport.
    bool isProcessing() override;
    void receivedRequestCounter(std::int64_t counter) override;
    /// Always false.
    bool supportsCustomDrawer() override { return false; }

    /// Sends the queue and the head as one message, unless the transport is busy. When another
    /// thread is flushing, leaves the queue to it (flushing rule 1) and returns at once.
    void flush();
    /// True when both the queue and the head are empty.
    bool isEmpty();

    /// What is waiting to be sent (copies, for inspection).
    std::vector<platform::Value> queuedOperations();
    platform::Value queuedHead();

    /// The merge rules on a plain queue; `resolve` applies them to the binding's own queue.
    static void resolveInto(std::vector<WireOperation> operations, std::vector<WireOperation>& queue);
    /// `resolveInto` for one operation.
    static void resolveOneInto(WireOperation operation, std::vector<WireOperation>& queue);

private:
    ServerBinding(std::weak_ptr<MorvixClient> client, TransportFactory makeTransport, ServerURLProvider serverURL);
    void observeProcessingFinished();
    void processingFinished();
    void resolve(const std::shared_ptr<Message>& message);
    /// Gives an empty queue room for the last queue's length. Under the lock.
    void reserveQueue(std::size_t arriving);
    /// Takes the transport unless another flush is under way (which is then asked to look
    /// again). Under no lock.
    bool transportUnlessFlushing(std::shared_ptr<ServerTransport>& transport);
    /// Hands the queue to `transport`, the one the flush found, unless it is busy.
    void sendQueue(const std::shared_ptr<ServerTransport>& transport);
    void cancelDelayedFlush();
    void scheduleDelayedFlush();
    std::shared_ptr<ServerTransport> currentTransport();

    std::weak_ptr<MorvixClient> m_client;
    TransportFactory m_makeTransport;
    ServerURLProvider m_serverURL;

    std::mutex m_mutex; // guards m_operations, m_headAttributes, m_transport, m_flushing, m_flushAgain, m_lastQueueLength
    std::vector<WireOperation> m_operations;
    platform::Value m_headAttributes = platform::Value::object();
    std::shared_ptr<ServerTransport> m_transport;
    bool m_flushing = false; // a thread is handing the queue to the transport
    bool m_flushAgain = false; // a flush was asked for while one was running
    // The length of the last queue sent: the next queue is given room for as many at its first
    // operation, so that a burst like the last one does not move the queue as it grows.
    std::size_t m_lastQueueLength = 0;

    std::mutex m_timerMutex; // guards m_delayedFlush and m_delayedFlushGeneration
    platform::MainLoop::TimerId m_delayedFlush = 0;
    std::uint64_t m_delayedFlushGeneration = 0;

    platform::ObserverToken m_processingFinished;
};

} // namespace morvix
