#pragma once
// How far a piece of work has come, and the handles to pause or cancel it.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace morvix::platform {

/// Counts units of work: a total (-1 when unknown) and the units completed. Whoever does the
/// work sets the counts; whoever shows them reads `fractionCompleted`. The worker may install a
/// pausing and a cancellation handler, which `pause` and `cancel` call once.
///
/// Rules:
///  1. `pause` calls the pausing handler each time the progress goes from running to paused;
///     `cancel` calls the cancellation handler the first time only.
///  2. A handler set after `cancel` (or after `pause`, while paused) is called at once.
///  3. Handlers run on the thread that calls `pause` or `cancel` (or sets the handler), never
///     while the progress holds its lock, so a handler may read or change the progress.
///
/// Thread safety: any thread.
class Progress final {
public:
    static std::shared_ptr<Progress> create(std::int64_t totalUnitCount = 0);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    std::int64_t totalUnitCount() const;
    void setTotalUnitCount(std::int64_t count);
    std::int64_t completedUnitCount() const;
    void setCompletedUnitCount(std::int64_t count);
    /// completed / total, in 0...1 when the total is known and above zero; 0 otherwise.
    double fractionCompleted() const;

    bool isPaused() const;
    bool isCancelled() const;
    void pause();
    /// Marks the progress running again; calls no handler (the worker resumes its own work).
    void resume();
    void cancel();

    void setPausingHandler(std::function<void()> handler);
    void setCancellationHandler(std::function<void()> handler);

private:
    explicit Progress(std::int64_t totalUnitCount) : m_total(totalUnitCount) { }

    mutable std::mutex m_mutex; // guards every member below
    std::int64_t m_total;
    std::int64_t m_completed = 0;
    bool m_paused = false;
    bool m_cancelled = false;
    std::function<void()> m_pausingHandler;
    std::function<void()> m_cancellationHandler;
};

} // namespace morvix::platform
