#include "platform/foundation/ThreadPool.h"

namespace morvix::platform {

ThreadPool& ThreadPool::global()
{
    // Never destroyed: the network thread and the pool's own tasks may still hand it work while
    // the process exits, after static objects are gone.
    static ThreadPool* pool = new ThreadPool(4);
    return *pool;
}

ThreadPool::ThreadPool(unsigned threads)
{
    for (unsigned i = 0; i < threads; ++i)
        m_workers.emplace_back([this] { work(); });
}

ThreadPool::~ThreadPool()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wakeUp.notify_all();
    for (auto& worker : m_workers)
        worker.join();
}

void ThreadPool::async(Task task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wakeUp.notify_one();
}

void ThreadPool::work()
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
