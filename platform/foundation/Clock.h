#pragma once
// The time source of every timer, delay and animation in the library.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace morvix::platform {

using Duration = std::chrono::steady_clock::duration;
using TimePoint = std::chrono::steady_clock::time_point;

/// Where timers read the time. The process has one current clock: the steady clock unless a
/// test installs a `ManualClock`. Any thread.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    /// True when time moves only when told to (the main loop then never waits for it).
    virtual bool isManual() const { return false; }

    /// The current clock. Any thread.
    static std::shared_ptr<Clock> current();
    /// Installs a clock for the whole process (tests); null restores the steady clock.
    static void install(std::shared_ptr<Clock> clock);

    /// Seconds since `current()`'s epoch, as a floating number.
    static double seconds(TimePoint time) { return std::chrono::duration<double>(time.time_since_epoch()).count(); }
};

/// The real, monotonic time.
class SteadyClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
};

/// Time that stands still until `advance` or `set` moves it. Tests own it; the main loop's
/// `advanceBy` moves it and fires what falls due. Any thread.
class ManualClock final : public Clock {
public:
    ManualClock() = default;
    TimePoint now() const override { return TimePoint(Duration(m_ticks.load())); }
    bool isManual() const override { return true; }
    void advance(Duration by) { m_ticks += by.count(); }
    void set(TimePoint time) { m_ticks = time.time_since_epoch().count(); }

private:
    // Starts well away from zero so that "no time" and "the start" are different instants.
    std::atomic<Duration::rep> m_ticks { std::chrono::duration_cast<Duration>(std::chrono::hours(1)).count() };
};

} // namespace morvix::platform
