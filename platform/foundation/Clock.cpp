#include "platform/foundation/Clock.h"

namespace morvix::platform {

namespace {
std::mutex s_clockMutex; // guards s_clock
std::shared_ptr<Clock> s_clock;
}

std::shared_ptr<Clock> Clock::current()
{
    std::lock_guard lock(s_clockMutex);
    if (!s_clock)
        s_clock = std::make_shared<SteadyClock>();
    return s_clock;
}

void Clock::install(std::shared_ptr<Clock> clock)
{
    std::lock_guard lock(s_clockMutex);
    s_clock = clock ? std::move(clock) : std::make_shared<SteadyClock>();
}

WallTime ManualClock::date() const
{
    std::lock_guard lock(m_dateMutex);
    auto moved = std::chrono::duration_cast<WallTime::duration>(Duration(m_ticks.load() - m_dateTicks));
    return m_date + moved;
}

void ManualClock::setDate(WallTime date)
{
    std::lock_guard lock(m_dateMutex);
    m_date = date;
    m_dateTicks = m_ticks.load();
}

} // namespace morvix::platform
