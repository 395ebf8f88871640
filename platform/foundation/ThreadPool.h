#pragma once
// The global concurrent queue: a small pool of worker threads.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace morvix::platform {

/// A small pool of worker threads for work that needs no order (the global concurrent queue).
/// Any thread.
class ThreadPool final {
public:
    using Task = std::function<void()>;

    /// The process-wide pool.
    static ThreadPool& global();

    explicit ThreadPool(unsigned threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    void async(Task task);

private:
    void work();

    std::mutex m_mutex; // guards m_tasks and m_stopping
    std::condition_variable m_wakeUp;
    std::deque<Task> m_tasks;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

} // namespace morvix::platform
