#pragma once
// A reachability source that tests drive.

#include "platform/net/ReachabilitySource.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace morvix::platform {

/// Reports the flags a test gives it. `report` changes the flags and, while scheduled, posts
/// the callback to the main loop. Counts schedules so that tests can check how often a client
/// scheduled it. `flags`, `setFlags` and `report` any thread; the rest on the main thread.
class FakeReachabilitySource final : public ReachabilitySource, public std::enable_shared_from_this<FakeReachabilitySource> {
public:
    static std::shared_ptr<FakeReachabilitySource> create(ReachabilityFlags initial = 0);

    std::optional<ReachabilityFlags> flags() override;
    void setCallback(Callback callback) override;
    void schedule() override;
    void unschedule() override;

    /// Changes the flags without a callback.
    void setFlags(ReachabilityFlags flags);
    /// Changes the flags and delivers them as the service would (on the main loop, if scheduled then).
    void report(ReachabilityFlags flags);
    bool isScheduled() const { return m_scheduled.load(); }
    int scheduleCount() const { return m_scheduleCount.load(); }
    bool hasCallback() const;

private:
    explicit FakeReachabilitySource(ReachabilityFlags initial) : m_flags(initial) { }

    std::atomic<ReachabilityFlags> m_flags;
    std::atomic<bool> m_scheduled { false };
    std::atomic<int> m_scheduleCount { 0 };
    mutable std::mutex m_mutex; // guards m_callback
    Callback m_callback;
};

} // namespace morvix::platform
