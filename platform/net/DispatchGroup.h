#pragma once
// A count of outstanding work, with callbacks for when it drains.

#include "platform/net/DispatchQueue.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace morvix::platform {

/// Counts work in flight. `notify` blocks run once the count is zero: at once (submitted to
/// their queue) when the group is already empty, else when the last `leave` brings it there.
/// Each notify block runs once. Any thread.
class DispatchGroup : public std::enable_shared_from_this<DispatchGroup> {
public:
    static std::shared_ptr<DispatchGroup> create() { return std::shared_ptr<DispatchGroup>(new DispatchGroup()); }
    DispatchGroup(const DispatchGroup&) = delete;
    DispatchGroup& operator=(const DispatchGroup&) = delete;

    void enter();
    /// Precondition: more leaves than enters is a programming error.
    void leave();
    /// Runs `task` on `queue` as a member of the group: entered now, left when it has run.
    void async(const DispatchQueue& queue, std::function<void()> task);
    void notify(DispatchQueue queue, std::function<void()> task);
    std::size_t count() const;

private:
    DispatchGroup() = default;

    mutable std::mutex m_mutex; // guards m_count and m_waiting
    std::size_t m_count = 0;
    std::vector<std::pair<DispatchQueue, std::function<void()>>> m_waiting;
};

} // namespace morvix::platform
