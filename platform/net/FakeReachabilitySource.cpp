#include "platform/net/FakeReachabilitySource.h"

#include "platform/foundation/MainLoop.h"

namespace morvix::platform {

std::shared_ptr<FakeReachabilitySource> FakeReachabilitySource::create(ReachabilityFlags initial)
{
    return std::shared_ptr<FakeReachabilitySource>(new FakeReachabilitySource(initial));
}

std::optional<ReachabilityFlags> FakeReachabilitySource::flags()
{
    return m_flags.load();
}

void FakeReachabilitySource::setCallback(Callback callback)
{
    std::lock_guard lock(m_mutex);
    m_callback = std::move(callback);
}

bool FakeReachabilitySource::hasCallback() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<bool>(m_callback);
}

void FakeReachabilitySource::schedule()
{
    if (!m_scheduled.exchange(true))
        ++m_scheduleCount;
}

void FakeReachabilitySource::unschedule()
{
    m_scheduled = false;
}

void FakeReachabilitySource::setFlags(ReachabilityFlags flags)
{
    m_flags = flags;
}

void FakeReachabilitySource::report(ReachabilityFlags flags)
{
    m_flags = flags;
    MainLoop::main().post([weak = weak_from_this(), flags] {
        auto self = weak.lock();
        if (!self || !self->m_scheduled)
            return;
        Callback callback;
        {
            std::lock_guard lock(self->m_mutex);
            callback = self->m_callback;
        }
        if (callback)
            callback(flags);
    });
}

} // namespace morvix::platform
