#pragma once
// The main run loop: the thread every user-interface and remote-object operation runs on.

#include "platform/foundation/Clock.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <deque>
#include <source_location>
#include <stdexcept>
#include <thread>
#include <type_traits>

namespace morvix::platform {

/// The process's main run loop. The main thread is the thread the loop is bound to. It binds
/// at a defined moment: `bindToCurrentThread`, or else the first pumping call (`run`, `runOnce`
/// and the functions built on it). Asking `isMainThread` never binds it; until it is bound, the
/// process's initial thread counts as the main thread. An application binds the loop before it
/// makes its session, since work posted to an unbound loop stops a debug build: the loop cannot
/// tell yet which thread will run it. The embedding application runs it with `run()` until
/// `quit()`; tests pump it with `runOnce`, `runUntilIdle`, `advanceBy` and `runUntil`.
///
/// Ordering:
///  1. Tasks run in the order they were posted, each on a later turn than the one that posted it.
///  2. Delayed tasks run when the clock reaches their due time, ordered by due time and then by
///     the order they were posted; they run after the tasks already queued at that turn.
///  3. A cancelled delayed task never runs, even when it is due at the turn that cancels it.
///  4. A task that throws ends alone: the exception is written to the system log with the place
///     that posted the task, and the loop goes on with the next task of its turn.
///  5. Idle tasks (`postIdle`) run at the end of the first turn that, once its tasks and due
///     delayed tasks have run, finds no task queued; they run in the order they were posted, and
///     the idle tasks they post wait for a later turn. A chain of tasks that each post the next
///     therefore runs whole before an idle task queued meanwhile.
///
/// GLib: each turn also dispatches what is ready on GLib's default main context (the script
/// engine's collection timers and finalisers, the web engine's and the media framework's signals),
/// and waiting waits on that context's sources and on the loop's own wake-up descriptor together,
/// so that either wakes the loop without polling. A turn asks the context's sources whether they
/// are ready (idle sources, due timeouts, queued events) without a system call; their
/// descriptors are polled whenever the loop waits, and by a turn only when they went unpolled
/// for a few milliseconds, so that a loop busy with tasks still hears them. The loop owns the
/// context on the thread that pumps it; a loop that cannot acquire it (another thread owns it)
/// waits on its descriptor alone.
///
/// Waking: a post from any thread writes the loop's wake-up descriptor only when the loop waits,
/// once per wait; posts while it turns cost no system call.
///
/// Thread safety: `post`, `postAfter`, `cancel`, `runSync`, `quit` and `isMainThread` may be called
/// from any thread; the pumping functions only on the main thread.
class MainLoop {
public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;

    /// The process-wide main loop.
    static MainLoop& main();

    MainLoop();
    ~MainLoop();
    MainLoop(const MainLoop&) = delete;
    MainLoop& operator=(const MainLoop&) = delete;

    /// Makes the calling thread the main thread. Any thread; the application calls it first.
    void bindToCurrentThread();
    /// True on the thread the loop is bound to; before any binding, true on the process's
    /// initial thread only. Never binds the loop. Any thread.
    bool isMainThread() const;
    bool isBound() const;

    /// Queues a task for a later turn of the loop. Any thread, once the loop is bound. `origin`
    /// names the poster in the report of a task that throws.
    void post(Task task, std::source_location origin = std::source_location::current());
    /// Queues a task for the end of the first turn that leaves no task queued (rule 5): the place
    /// of a pass that coalesces the changes of many tasks, such as a layout of the window, which
    /// should run once after a burst of them rather than between every two. Any thread, once
    /// the loop is bound.
    void postIdle(Task task, std::source_location origin = std::source_location::current());

    /// Which queue a kept task goes to: the next turn's (`post`) or the idle tasks (`postIdle`).
    enum class Turn { Next, Idle };
    /// Queues a task that `quit` keeps: it is accepted after a quit too, and runs when the loop
    /// turns again. For work that must not be lost when an application stops its loop and runs
    /// it again, such as a response being applied. Any thread, once the loop is bound.
    void postKept(Turn turn, Task task, std::source_location origin = std::source_location::current());
    /// Queues a task to run once `delay` has passed on `Clock::current()`. A delay that would
    /// take the due time to the end of the clock's range or past it never falls due: the task
    /// waits until it is cancelled. Any thread, once the loop is bound.
    TimerId postAfter(Duration delay, Task task, std::source_location origin = std::source_location::current());
    /// Cancels a delayed task; false when it already ran or was cancelled. Any thread.
    bool cancel(TimerId id);

    /// Runs `function` on the main thread and returns its result: inline when called there,
    /// otherwise on the next turn while the caller waits. An exception thrown by `function` is
    /// thrown again in the caller (and not logged by the loop). After `quit()`, throws
    /// `std::runtime_error` instead of waiting for a loop that no longer turns.
    template<typename Function>
    auto runSync(Function&& function, std::source_location origin = std::source_location::current())
        -> std::invoke_result_t<Function&>
    {
        using Result = std::invoke_result_t<Function&>;
        if (isMainThread())
            return function();
        auto task = std::make_shared<std::packaged_task<Result()>>(std::forward<Function>(function));
        auto future = task->get_future();
        // The queue holds the only reference, so a task dropped by `quit` breaks the promise.
        if (!enqueue({ [task = std::move(task)] { (*task)(); }, origin, false }))
            throw std::runtime_error("main loop has quit");
        return future.get();
    }

    /// Runs the tasks queued now and the delayed tasks due now, not those they add; then, when
    /// that leaves no task queued, the idle tasks queued by then (rule 5). Returns how many ran.
    /// Main thread.
    std::size_t runOnce();
    /// Turns the loop until no task is queued and no delayed task is due. Main thread.
    std::size_t runUntilIdle();
    /// With a manual clock: moves time forward by `by` in steps, stopping at each due time to
    /// run what falls due, in order. Main thread.
    void advanceBy(Duration by);
    /// Turns the loop, waiting for tasks from other threads (and, with a real clock, for delayed
    /// tasks), until `done` holds or `realTimeout` of real time has passed. Returns `done()`.
    /// `done` is asked whenever the loop runs out of work, at least every few milliseconds while
    /// it waits, and every few milliseconds between turns while tasks keep coming, so that it
    /// may watch state that another thread changes without posting a task, and so that a loop
    /// kept busy (a peer flooding the session) still hears it. A timeout past the end of the
    /// clock's range waits until `done` holds or the loop quits.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds realTimeout);

    /// Turns the loop until `quit()`. Main thread.
    void run();
    /// Makes `run` return and drops the queued tasks but the kept ones (`postKept`); synchronous
    /// hand-offs waiting for them fail. Any thread.
    void quit();
    bool hasQuit() const;

    /// Number of delayed tasks not yet run or cancelled.
    std::size_t pendingTimerCount() const;
    /// Drops every task and delayed task, forgets a quit and binds the loop to the calling
    /// thread. Tests call it between cases.
    void resetForTesting();

private:
    struct TimerKey {
        TimePoint due;
        std::uint64_t sequence;
        bool operator<(const TimerKey& other) const
        {
            return due != other.due ? due < other.due : sequence < other.sequence;
        }
    };
    struct QueuedTask {
        Task task;
        std::source_location origin;
        bool kept = false; // survives `quit`
    };
    struct PendingTimer {
        TimerId id;
        QueuedTask task;
    };

    bool enqueue(QueuedTask task);
    std::size_t runIdleTasks();
    bool runUntilIdleOr(const std::function<bool()>& done);
    void bindIfUnbound();
    void assertBound() const;
    static void runGuarded(QueuedTask& task);
    struct GLibState;

    void wakeIfSleeping();
    void drainWakeUps();
    std::size_t dispatchGLib();
    bool nextDueTime(TimePoint& due) const;
    std::size_t runDueTimers(TimePoint now);
    void waitForWork(std::chrono::steady_clock::time_point realDeadline);

    int m_wakeFd = -1; // an eventfd written by the first post while the loop sleeps; read by the loop
    std::unique_ptr<GLibState> m_glib; // main thread only
    mutable std::mutex m_mutex; // guards every member below
    std::thread::id m_mainThread;
    bool m_bound = false;
    bool m_quit = false;
    // True while the main thread waits (or is about to) having seen no task: the next post,
    // delayed task or quit writes the wake-up descriptor and clears it.
    bool m_sleeping = false;
    std::deque<QueuedTask> m_tasks;
    std::deque<QueuedTask> m_idleTasks; // rule 5
    std::map<TimerKey, PendingTimer> m_timers;
    std::map<TimerId, TimerKey> m_timerKeys;
    std::uint64_t m_nextSequence = 1;
};

/// True on the thread the main loop is bound to.
bool isMainThread();
/// Stops a debug build when called off the main thread.
void assertOnMainThread();

} // namespace morvix::platform
