#include "platform/foundation/Timer.h"

namespace morvix::platform {

void Timer::start(Duration interval, Repeat repeat, std::function<void()> callback)
{
    stop();
    m_interval = interval;
    m_repeat = repeat;
    m_callback = std::move(callback);
    schedule(interval);
}

void Timer::stop()
{
    if (m_pending)
        MainLoop::main().cancel(m_pending);
    m_pending = 0;
}

void Timer::schedule(Duration delay)
{
    m_pending = MainLoop::main().postAfter(delay, [this] { fire(); });
}

void Timer::fire()
{
    m_pending = 0;
    if (m_repeat == Repeat::Yes)
        schedule(m_interval);
    // Copied: the callback may restart this timer with another function.
    auto callback = m_callback;
    if (callback)
        callback();
}

} // namespace morvix::platform
