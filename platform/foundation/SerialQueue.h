#pragma once
// A labelled queue that runs its tasks one at a time, in order, on a thread of its own.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace morvix::platform {

/// Runs tasks one after another, in the order they were added, on its own worker thread.
/// Destroying the queue runs the tasks already added, then joins the worker. Any thread.
class SerialQueue final {
public:
    using Task = std::function<void()>;

    explicit SerialQueue(std::string label);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const { return m_label; }
    void async(Task task);
    /// Runs `task` on the queue and waits for it; inline when called from the queue itself.
    void sync(const Task& task);
    /// Waits until every task added so far has run.
    void flush() { sync([] { }); }
    bool isCurrent() const { return std::this_thread::get_id() == m_worker.get_id(); }

private:
    void work();

    std::string m_label;
    std::mutex m_mutex; // guards m_tasks and m_stopping
    std::condition_variable m_wakeUp;
    std::deque<Task> m_tasks;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace morvix::platform
