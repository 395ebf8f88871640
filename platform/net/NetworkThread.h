#pragma once
// The one thread that drives every HTTP transfer of the process.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

typedef void CURL;
typedef void CURLM;
typedef void CURLSH;

namespace morvix::platform {

class URLConnection;

/// The process-wide network thread, named "Networking". It runs libcurl's multi interface and
/// a queue of tasks handed to it.
///
/// Rules:
///  1. `perform` never waits: the task runs later on the network thread.
///  2. Tasks run one at a time in the order they were handed over (first in, first out), from
///     whichever threads they came.
///  3. Every URLConnection callback runs on this thread.
///  4. A task that throws does not end the thread: its exception is reported on standard error
///     and the next task runs (a connection's own tasks fail their transfer instead).
///
/// Made on first use and never destroyed (it lives as long as the process). Any thread.
class NetworkThread {
public:
    using Task = std::function<void()>;

    static NetworkThread& shared();

    void perform(Task task);
    bool isCurrent() const { return std::this_thread::get_id() == m_threadId; }

    /// The cookie store every connection that handles cookies shares.
    CURLSH* cookieShare() const { return m_share; }

private:
    friend class URLConnection;
    NetworkThread();
    void run();
    void finishTransfers();
    static void runGuarded(Task& task);
    /// Milliseconds until the first idle time-out of a running transfer is due (at most 1000).
    long untilNextIdleDeadline() const;

    /// Network thread only.
    void add(std::shared_ptr<URLConnection> connection, CURL* handle);
    void remove(CURL* handle);

    CURLM* m_multi = nullptr;
    CURLSH* m_share = nullptr;
    std::map<CURL*, std::shared_ptr<URLConnection>> m_transfers; // network thread only
    std::mutex m_mutex; // guards m_tasks
    std::deque<Task> m_tasks;
    std::thread::id m_threadId;
};

} // namespace morvix::platform
