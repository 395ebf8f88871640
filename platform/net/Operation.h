#pragma once
// A unit of work with observable state, the base of the HTTP layer's operations.

#include "platform/net/DispatchQueue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace morvix::platform {

enum class KeyChange { Will, Did };

/// A unit of work that is ready, executing and then finished, or cancelled on the way.
/// Subclasses keep the state and announce its changes with `willChangeValueForKey` and
/// `didChangeValueForKey` under the keys "isReady", "isExecuting", "isFinished" (and their own).
///
/// Rules:
///  1. Key observers are called synchronously on the thread that changes the state, while the
///     subclass may hold its own lock: an observer must not wait for another thread that could
///     need that lock (hop to another queue instead).
///  2. The completion block runs exactly once, on `completionBlockQueue()` (the global queue
///     unless a subclass says otherwise), after "isFinished" has been announced with
///     `isFinished()` true; never inside the announcing call.
///  3. `isReady` is true once every dependency has finished.
///
/// Made by subclasses' factories and shared; any thread.
class Operation : public std::enable_shared_from_this<Operation> {
public:
    using KeyObserver = std::function<void(Operation&, const std::string& key, KeyChange change)>;
    using ObserverId = std::uint64_t;

    virtual ~Operation() = default;
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    virtual void start() = 0;
    /// Marks the operation cancelled. Subclasses stop their work and call this.
    virtual void cancel() { m_cancelled = true; }
    bool isCancelled() const { return m_cancelled.load(); }
    virtual bool isReady() const;
    virtual bool isExecuting() const = 0;
    virtual bool isFinished() const = 0;
    virtual bool isConcurrent() const { return false; }

    void addDependency(std::shared_ptr<Operation> operation);
    std::vector<std::shared_ptr<Operation>> dependencies() const;

    virtual void setCompletionBlock(std::function<void()> block);
    std::function<void()> completionBlock() const;

    ObserverId addKeyObserver(KeyObserver observer);
    /// Does nothing for an unknown id. An observer removed while being called is not called again.
    void removeKeyObserver(ObserverId id);

protected:
    Operation() = default;
    void willChangeValueForKey(const std::string& key);
    void didChangeValueForKey(const std::string& key);
    /// Where the completion block runs.
    virtual DispatchQueue completionBlockQueue() const { return globalDispatchQueue(); }

private:
    void announce(const std::string& key, KeyChange change);

    std::atomic<bool> m_cancelled { false };
    std::atomic<bool> m_completionScheduled { false };
    mutable std::mutex m_mutex; // guards m_dependencies, m_completion, m_observers, m_nextObserver
    std::vector<std::shared_ptr<Operation>> m_dependencies;
    std::function<void()> m_completion;
    std::vector<std::pair<ObserverId, std::shared_ptr<KeyObserver>>> m_observers;
    ObserverId m_nextObserver = 1;
};

} // namespace morvix::platform
