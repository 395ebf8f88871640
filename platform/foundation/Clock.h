#pragma once
// The time source of every timer, delay and animation in the library.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace morvix::platform {

using Duration = std::chrono::steady_clock::duration;
using TimePoint = std::chrono::steady_clock::time_point;
/// A moment of the calendar (wall time), as opposed to the steady `TimePoint` of timers.
using WallTime = std::chrono::system_clock::time_point;

/// Where timers read the time. The process has one current clock: the steady clock unless a
/// test installs a `ManualClock`. Any thread.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    /// The wall time: the date that `platform::Date::now` answers. It may jump (the system's is
    /// set by the user); timers never read it.
    virtual WallTime date() const = 0;
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
    WallTime date() const override { return std::chrono::system_clock::now(); }
};

/// Time that stands still until `advance` or `set` moves it. Tests own it; the main loop's
/// `advanceBy` moves it and fires what falls due. Its wall time is the date last given to
/// `setDate` (2001-01-01 00:00:00 UTC at first) plus the time the clock has moved since, so
/// `advance` moves the date on as well. Any thread.
class ManualClock final : public Clock {
public:
    ManualClock() = default;
    TimePoint now() const override { return TimePoint(Duration(m_ticks.load())); }
    bool isManual() const override { return true; }
    void advance(Duration by) { m_ticks += by.count(); }
    void set(TimePoint time) { m_ticks = time.time_since_epoch().count(); }
    WallTime date() const override;
    void setDate(WallTime date);

private:
    // Starts well away from zero so that "no time" and "the start" are different instants.
    static constexpr Duration::rep kStartTicks = std::chrono::duration_cast<Duration>(std::chrono::hours(1)).count();
    std::atomic<Duration::rep> m_ticks { kStartTicks };
    mutable std::mutex m_dateMutex; // guards m_date and m_dateTicks
    WallTime m_date { std::chrono::seconds(978307200) };
    Duration::rep m_dateTicks = kStartTicks; // m_ticks when m_date was set
};

} // namespace morvix::platform
