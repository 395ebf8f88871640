#pragma once
// Runs operations as they become ready, a limited number at a time.

#include "platform/net/DispatchQueue.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace morvix::platform {

class Operation;

/// Holds operations until they are ready and starts them, at most
/// `maxConcurrentOperationCount` at a time, in the order they were added.
///
/// Usage:
///     auto queue = OperationQueue::create();
///     queue->addOperation(operation); // started by the queue, never by the caller
///
/// Rules:
///  1. An operation is started (its `start` called once) on the queue's start queue (the
///     global concurrent queue; the main loop for `mainQueue()`) once it is ready or
///     cancelled and a slot is free. Ready operations start in the order they were added.
///  2. A started operation keeps its slot until it announces "isFinished" with `isFinished()`
///     true; it then leaves the queue. The queue reacts to that announcement by scheduling
///     its next pass elsewhere, never inside the announcing call, so an operation may announce
///     while holding its own lock.
///  3. An operation waiting for dependencies is reconsidered whenever one of them finishes.
///  4. Destroying the queue starts nothing more; operations already started run to their end.
///
/// Thread safety: any thread.
class OperationQueue : public std::enable_shared_from_this<OperationQueue> {
public:
    /// What a count of -1 (the default) stands for: a fixed limit, high enough for the HTTP
    /// layer, whose operations only hand their work to the network thread.
    static constexpr int kDefaultMaxConcurrentOperationCount = -1;
    static constexpr std::size_t kDefaultConcurrencyLimit = 16;

    static std::shared_ptr<OperationQueue> create();
    /// The process-wide queue whose operations start on the main loop, one at a time.
    static std::shared_ptr<OperationQueue> mainQueue();

    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    /// Adds `operation` and starts it when rule 1 allows. Adding an operation that is already
    /// in this queue, or that has finished, does nothing.
    void addOperation(std::shared_ptr<Operation> operation);
    /// The operations that have not finished yet, started or not, in the order added.
    std::vector<std::shared_ptr<Operation>> operations() const;
    std::size_t operationCount() const;
    /// Cancels every operation in the queue. Those not started yet are then started (rule 1),
    /// so that they can finish as cancelled.
    void cancelAllOperations();

    /// -1 (the default) means `kDefaultConcurrencyLimit`; 0 starts nothing.
    int maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(int count);

    std::string name() const;
    void setName(std::string name);
    /// "<OperationQueue: 0x...>{name = '...'}".
    std::string description() const;

private:
    struct Entry;

    OperationQueue(DispatchQueue startQueue, int maxConcurrentOperationCount);
    void observe(Entry& entry);
    static void removeObservers(const Entry& entry);
    void schedulePass();
    void startReadyOperations();
    std::size_t concurrencyLimit() const;

    DispatchQueue m_startQueue;
    mutable std::mutex m_mutex; // guards m_entries, m_maxConcurrentOperationCount, m_name
    std::vector<Entry> m_entries;
    int m_maxConcurrentOperationCount;
    std::string m_name;
};

} // namespace morvix::platform
