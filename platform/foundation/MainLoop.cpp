#include "platform/foundation/MainLoop.h"

#include "platform/foundation/SaturatingTime.h"
#include "platform/foundation/SystemLog.h"

#include <glib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace morvix::platform {

namespace {

constexpr auto kRunUntilPollInterval = std::chrono::milliseconds(5);
// The due time of a delay too long for the clock: even a clock standing at its last moment
// never reaches it, or a repeating timer there would fire without end.
constexpr TimePoint kNever = TimePoint::max();

bool isInitialThread()
{
    return gettid() == getpid();
}

std::string describe(const std::source_location& origin)
{
    return std::string(origin.file_name()) + ":" + std::to_string(origin.line()) + " (" + origin.function_name() + ")";
}

// How long a loop that keeps finding tasks may go without polling GLib's descriptors.
constexpr auto kGLibPollInterval = std::chrono::milliseconds(5);

} // namespace

// What the main thread keeps between turns for GLib: the descriptors of the last query, reused
// from turn to turn, and when they were last polled.
struct MainLoop::GLibState {
    std::vector<GPollFD> fds = std::vector<GPollFD>(8);
    std::chrono::steady_clock::time_point lastPoll;
};

MainLoop::MainLoop()
    : m_wakeFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    , m_glib(std::make_unique<GLibState>())
{
    if (m_wakeFd < 0)
        systemLog("main loop: no wake-up descriptor (" + std::string(std::strerror(errno)) + "); the loop polls instead");
}

MainLoop::~MainLoop()
{
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

// Called with m_mutex held, after the change that needs the loop's attention: only a loop that
// sleeps (or is about to) needs the descriptor written, and only once per sleep. A loop that is
// turning sees the change before it sleeps again, since it looks at its queue under the lock.
void MainLoop::wakeIfSleeping()
{
    if (!m_sleeping)
        return;
    m_sleeping = false;
    if (m_wakeFd < 0)
        return;
    std::uint64_t one = 1;
    // A full counter (EAGAIN) means the loop has wake-ups enough already.
    while (::write(m_wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void MainLoop::drainWakeUps()
{
    if (m_wakeFd < 0)
        return;
    std::uint64_t count = 0;
    while (::read(m_wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

// What GLib's default context has ready now, dispatched once: its sources are not this loop's
// tasks, so they do not keep `runUntilIdle` turning (a source that is always ready would).
//
// A turn asks the sources themselves (idle sources, due timeouts, sources with queued events
// or a ready time) without a system call; the descriptors of the context are polled whenever
// the loop waits, and here only when the last poll is `kGLibPollInterval` old, so that a loop
// that never runs out of tasks still hears its descriptors.
std::size_t MainLoop::dispatchGLib()
{
    GMainContext* context = g_main_context_default();
    if (!g_main_context_acquire(context))
        return 0;
    gint priority = 0;
    bool ready = g_main_context_prepare(context, &priority);
    auto now = std::chrono::steady_clock::now();
    bool pollDue = now - m_glib->lastPoll >= kGLibPollInterval;
    std::size_t dispatched = 0;
    if (ready || pollDue) {
        gint timeout = 0;
        gint count = 0;
        while ((count = g_main_context_query(context, priority, &timeout, m_glib->fds.data(), static_cast<gint>(m_glib->fds.size())))
            > static_cast<gint>(m_glib->fds.size()))
            m_glib->fds.resize(static_cast<std::size_t>(count));
        if (pollDue) {
            g_poll(m_glib->fds.data(), static_cast<guint>(count), 0);
            m_glib->lastPoll = now;
        } else {
            for (gint index = 0; index < count; ++index)
                m_glib->fds[static_cast<std::size_t>(index)].revents = 0;
        }
        if (g_main_context_check(context, priority, m_glib->fds.data(), count)) {
            g_main_context_dispatch(context);
            dispatched = 1;
        }
    }
    g_main_context_release(context);
    return dispatched;
}

MainLoop& MainLoop::main()
{
    // Never destroyed: threads that outlive main() (the network thread, pool workers) may still
    // post to it while the process exits, and must not find its queue and condition gone.
    static MainLoop* loop = new MainLoop();
    return *loop;
}

void MainLoop::bindToCurrentThread()
{
    std::lock_guard lock(m_mutex);
    m_mainThread = std::this_thread::get_id();
    m_bound = true;
}

// Binding on the first question would let whichever thread asks first (the network thread,
// say) become the main thread for good.
bool MainLoop::isMainThread() const
{
    std::lock_guard lock(m_mutex);
    if (!m_bound)
        return isInitialThread();
    return m_mainThread == std::this_thread::get_id();
}

bool MainLoop::isBound() const
{
    std::lock_guard lock(m_mutex);
    return m_bound;
}

void MainLoop::bindIfUnbound()
{
    std::lock_guard lock(m_mutex);
    if (m_bound)
        return;
    m_mainThread = std::this_thread::get_id();
    m_bound = true;
}

void MainLoop::assertBound() const
{
    assert(isBound() && "work posted to the main loop before it was bound to a thread: call bindToCurrentThread first");
}

bool MainLoop::enqueue(QueuedTask task)
{
    assertBound();
    {
        std::lock_guard lock(m_mutex);
        if (m_quit)
            return false;
        m_tasks.push_back(std::move(task));
        wakeIfSleeping();
    }
    return true;
}

void MainLoop::post(Task task, std::source_location origin)
{
    enqueue({ std::move(task), origin, false });
}

void MainLoop::postIdle(Task task, std::source_location origin)
{
    assertBound();
    std::lock_guard lock(m_mutex);
    if (m_quit)
        return;
    m_idleTasks.push_back({ std::move(task), origin, false });
    wakeIfSleeping();
}

void MainLoop::postKept(Turn turn, Task task, std::source_location origin)
{
    assertBound();
    std::lock_guard lock(m_mutex);
    auto& queue = turn == Turn::Idle ? m_idleTasks : m_tasks;
    queue.push_back({ std::move(task), origin, true });
    wakeIfSleeping();
}

// Rule 5: only a turn that leaves no task queued runs the idle tasks, and only those queued
// before it looked.
std::size_t MainLoop::runIdleTasks()
{
    std::deque<QueuedTask> tasks;
    {
        std::lock_guard lock(m_mutex);
        if (!m_tasks.empty())
            return 0;
        tasks.swap(m_idleTasks);
    }
    for (auto& task : tasks)
        runGuarded(task);
    return tasks.size();
}

void MainLoop::runGuarded(QueuedTask& task)
{
    try {
        task.task();
    } catch (const std::exception& exception) {
        systemLog("main loop: a task posted at " + describe(task.origin) + " threw: " + exception.what());
    } catch (...) {
        systemLog("main loop: a task posted at " + describe(task.origin) + " threw an exception of an unknown type");
    }
}

MainLoop::TimerId MainLoop::postAfter(Duration delay, Task task, std::source_location origin)
{
    assertBound();
    // A delay too long for the clock never falls due rather than wrapping into the past.
    TimePoint due = saturatingAdd(Clock::current()->now(), delay);
    TimerId id;
    {
        std::lock_guard lock(m_mutex);
        std::uint64_t sequence = m_nextSequence++;
        id = sequence;
        TimerKey key { due, sequence };
        m_timers.emplace(key, PendingTimer { id, { std::move(task), origin, false } });
        m_timerKeys.emplace(id, key);
        wakeIfSleeping();
    }
    return id;
}

bool MainLoop::cancel(TimerId id)
{
    QueuedTask dropped; // destroyed outside the lock: its captures may post or cancel
    std::lock_guard lock(m_mutex);
    auto key = m_timerKeys.find(id);
    if (key == m_timerKeys.end())
        return false;
    auto timer = m_timers.find(key->second);
    dropped = std::move(timer->second.task);
    m_timers.erase(timer);
    m_timerKeys.erase(key);
    return true;
}

std::size_t MainLoop::runDueTimers(TimePoint now)
{
    std::vector<TimerId> due;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [key, timer] : m_timers) {
            if (now < key.due || key.due == kNever)
                break;
            due.push_back(timer.id);
        }
    }
    std::size_t ran = 0;
    for (TimerId id : due) {
        QueuedTask task;
        {
            std::lock_guard lock(m_mutex);
            auto key = m_timerKeys.find(id);
            if (key == m_timerKeys.end())
                continue; // cancelled by an earlier timer of this turn
            auto timer = m_timers.find(key->second);
            task = std::move(timer->second.task);
            m_timers.erase(timer);
            m_timerKeys.erase(key);
        }
        runGuarded(task);
        ++ran;
    }
    return ran;
}

std::size_t MainLoop::runOnce()
{
    bindIfUnbound();
    assert(isMainThread() && "the main loop is pumped on the main thread only");
    std::deque<QueuedTask> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_tasks);
    }
    std::size_t ran = 0;
    for (auto& task : tasks) {
        runGuarded(task);
        ++ran;
    }
    dispatchGLib();
    ran += runDueTimers(Clock::current()->now());
    return ran + runIdleTasks();
}

std::size_t MainLoop::runUntilIdle()
{
    std::size_t total = 0;
    while (std::size_t ran = runOnce())
        total += ran;
    return total;
}

// Turns until nothing runs or `done` holds, asking `done` whenever the turns have gone on for
// the poll interval. True when `done` held.
bool MainLoop::runUntilIdleOr(const std::function<bool()>& done)
{
    auto nextAsk = std::chrono::steady_clock::now() + kRunUntilPollInterval;
    while (runOnce()) {
        auto now = std::chrono::steady_clock::now();
        if (now < nextAsk)
            continue;
        if (done())
            return true;
        nextAsk = now + kRunUntilPollInterval;
    }
    return done();
}

bool MainLoop::nextDueTime(TimePoint& due) const
{
    std::lock_guard lock(m_mutex);
    if (m_timers.empty())
        return false;
    due = m_timers.begin()->first.due;
    return true;
}

void MainLoop::advanceBy(Duration by)
{
    auto clock = std::dynamic_pointer_cast<ManualClock>(Clock::current());
    assert(clock && "advanceBy needs a manual clock installed");
    if (!clock)
        return;
    TimePoint target = saturatingAdd(clock->now(), by);
    runUntilIdle();
    TimePoint due;
    while (nextDueTime(due) && due <= target && due != kNever) {
        if (clock->now() < due)
            clock->set(due);
        runUntilIdle();
    }
    clock->set(target);
    runUntilIdle();
}

// Waits on the loop's wake-up descriptor and on every source of GLib's default context at once,
// until a task is posted, a delayed task falls due (real clock), a GLib source is ready (it is
// dispatched here) or `realDeadline` passes.
void MainLoop::waitForWork(std::chrono::steady_clock::time_point realDeadline)
{
    auto clock = Clock::current();
    auto wakeAt = realDeadline;
    {
        std::lock_guard lock(m_mutex);
        if (!m_tasks.empty() || !m_idleTasks.empty() || m_quit)
            return;
        if (!clock->isManual() && !m_timers.empty()) {
            auto due = m_timers.begin()->first.due;
            if (due < wakeAt)
                wakeAt = due;
        }
        // From here on, a post writes the descriptor: the queue was seen empty under this lock.
        m_sleeping = true;
    }
    auto now = std::chrono::steady_clock::now();
    int timeout = 0;
    if (wakeAt > now) {
        // Rounded up, so that a delayed task is due when the wait ends.
        auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now).count();
        timeout = static_cast<int>(std::min<std::int64_t>(milliseconds, INT_MAX));
    }

    GMainContext* context = g_main_context_default();
    bool owner = g_main_context_acquire(context);
    gint priority = 0;
    gint count = 0;
    if (owner) {
        g_main_context_prepare(context, &priority);
        gint glibTimeout = -1;
        while ((count = g_main_context_query(context, priority, &glibTimeout, m_glib->fds.data(), static_cast<gint>(m_glib->fds.size())))
            > static_cast<gint>(m_glib->fds.size()))
            m_glib->fds.resize(static_cast<std::size_t>(count));
        if (glibTimeout >= 0)
            timeout = std::min(timeout, static_cast<int>(glibTimeout));
    }
    // The loop's own descriptor goes after GLib's, which `check` reads by position.
    std::size_t polled = static_cast<std::size_t>(count);
    if (m_glib->fds.size() < polled + 1)
        m_glib->fds.resize(polled + 1);
    if (m_wakeFd >= 0)
        m_glib->fds[polled++] = GPollFD { m_wakeFd, G_IO_IN, 0 };
    else
        timeout = std::min(timeout, static_cast<int>(kRunUntilPollInterval.count()));
    g_poll(m_glib->fds.data(), static_cast<guint>(polled), timeout);
    bool woken = m_wakeFd >= 0 && m_glib->fds[polled - 1].revents != 0;
    {
        std::lock_guard lock(m_mutex);
        m_sleeping = false;
    }
    if (owner) {
        m_glib->lastPoll = std::chrono::steady_clock::now();
        if (g_main_context_check(context, priority, m_glib->fds.data(), count))
            g_main_context_dispatch(context);
        g_main_context_release(context);
    }
    if (woken)
        drainWakeUps();
}

bool MainLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds realTimeout)
{
    // Milliseconds reach further than the clock's ticks: clamped first, the conversion stays
    // defined, and the sum saturates.
    constexpr auto kLongest = std::chrono::duration_cast<std::chrono::milliseconds>(Duration::max());
    auto ticks = std::chrono::duration_cast<Duration>(std::clamp(realTimeout, -kLongest, kLongest));
    auto deadline = saturatingAdd(std::chrono::steady_clock::now(), ticks);
    // Work that keeps coming does not keep the deadline or a quit from being heard either.
    bool stopped = false;
    auto doneOrStopped = [&] {
        if (done())
            return true;
        stopped = std::chrono::steady_clock::now() >= deadline || hasQuit();
        return stopped;
    };
    while (true) {
        if (runUntilIdleOr(doneOrStopped))
            return stopped ? done() : true;
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline || hasQuit())
            return done();
        // Wake up now and then even without work: `done` may watch state that another thread
        // changes without posting anything.
        waitForWork(std::min(deadline, now + kRunUntilPollInterval));
    }
}

void MainLoop::run()
{
    bindIfUnbound();
    {
        std::lock_guard lock(m_mutex);
        m_quit = false;
    }
    // Asked after every turn: the tasks a quit keeps wait for the next run.
    while (!hasQuit()) {
        if (runOnce() == 0 && !hasQuit())
            waitForWork(std::chrono::steady_clock::now() + std::chrono::seconds(1));
    }
}

void MainLoop::quit()
{
    std::deque<QueuedTask> dropped; // destroyed outside the lock; waiting hand-offs fail here
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        for (auto* queue : { &m_tasks, &m_idleTasks }) {
            std::deque<QueuedTask> kept;
            for (auto& task : *queue)
                (task.kept ? kept : dropped).push_back(std::move(task));
            queue->swap(kept);
        }
        wakeIfSleeping();
    }
}

bool MainLoop::hasQuit() const
{
    std::lock_guard lock(m_mutex);
    return m_quit;
}

std::size_t MainLoop::pendingTimerCount() const
{
    std::lock_guard lock(m_mutex);
    return m_timers.size();
}

void MainLoop::resetForTesting()
{
    std::deque<QueuedTask> tasks;
    std::deque<QueuedTask> idleTasks;
    std::map<TimerKey, PendingTimer> timers;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_tasks);
        idleTasks.swap(m_idleTasks);
        timers.swap(m_timers);
        m_timerKeys.clear();
        m_quit = false;
        m_mainThread = std::this_thread::get_id();
        m_bound = true;
    }
}

bool isMainThread()
{
    return MainLoop::main().isMainThread();
}

void assertOnMainThread()
{
    assert(isMainThread() && "called off the main thread");
}

} // namespace morvix::platform
