#include "platform/foundation/SerialQueue.h"

#include <future>

namespace morvix::platform {

SerialQueue::SerialQueue(std::string label)
    : m_label(std::move(label))
    , m_worker([this] { work(); })
{
}

SerialQueue::~SerialQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wakeUp.notify_all();
    m_worker.join();
}

void SerialQueue::async(Task task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wakeUp.notify_all();
}

void SerialQueue::sync(const Task& task)
{
    if (isCurrent()) {
        task();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    async([&] {
        try {
            task();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    finished.get();
}

void SerialQueue::work()
{
    while (true) {
        Task task;
        {
            std::unique_lock lock(m_mutex);
            m_wakeUp.wait(lock, [&] { return m_stopping || !m_tasks.empty(); });
            if (m_tasks.empty())
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

} // namespace morvix::platform
