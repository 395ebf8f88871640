#include "platform/net/DispatchGroup.h"

#include <cassert>

namespace morvix::platform {

void DispatchGroup::enter()
{
    std::lock_guard lock(m_mutex);
    ++m_count;
}

void DispatchGroup::leave()
{
    std::vector<std::pair<DispatchQueue, std::function<void()>>> ready;
    {
        std::lock_guard lock(m_mutex);
        assert(m_count > 0 && "dispatch group left more often than entered");
        if (m_count == 0 || --m_count > 0)
            return;
        ready.swap(m_waiting);
    }
    for (auto& [queue, task] : ready)
        queue(std::move(task));
}

void DispatchGroup::async(const DispatchQueue& queue, std::function<void()> task)
{
    enter();
    queue([group = shared_from_this(), task = std::move(task)] {
        task();
        group->leave();
    });
}

void DispatchGroup::notify(DispatchQueue queue, std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_count > 0) {
            m_waiting.emplace_back(std::move(queue), std::move(task));
            return;
        }
    }
    queue(std::move(task));
}

std::size_t DispatchGroup::count() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}

} // namespace morvix::platform
