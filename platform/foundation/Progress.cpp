#include "platform/foundation/Progress.h"

namespace morvix::platform {

std::shared_ptr<Progress> Progress::create(std::int64_t totalUnitCount)
{
    return std::shared_ptr<Progress>(new Progress(totalUnitCount));
}

std::int64_t Progress::totalUnitCount() const
{
    std::lock_guard lock(m_mutex);
    return m_total;
}

void Progress::setTotalUnitCount(std::int64_t count)
{
    std::lock_guard lock(m_mutex);
    m_total = count;
}

std::int64_t Progress::completedUnitCount() const
{
    std::lock_guard lock(m_mutex);
    return m_completed;
}

void Progress::setCompletedUnitCount(std::int64_t count)
{
    std::lock_guard lock(m_mutex);
    m_completed = count;
}

double Progress::fractionCompleted() const
{
    std::lock_guard lock(m_mutex);
    if (m_total <= 0)
        return 0;
    return static_cast<double>(m_completed) / static_cast<double>(m_total);
}

bool Progress::isPaused() const
{
    std::lock_guard lock(m_mutex);
    return m_paused;
}

bool Progress::isCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

void Progress::pause()
{
    std::function<void()> handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_paused || m_cancelled)
            return;
        m_paused = true;
        handler = m_pausingHandler;
    }
    if (handler)
        handler();
}

void Progress::resume()
{
    std::lock_guard lock(m_mutex);
    m_paused = false;
}

void Progress::cancel()
{
    std::function<void()> handler;
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled)
            return;
        m_cancelled = true;
        handler = m_cancellationHandler;
    }
    if (handler)
        handler();
}

void Progress::setPausingHandler(std::function<void()> handler)
{
    bool callNow = false;
    {
        std::lock_guard lock(m_mutex);
        m_pausingHandler = handler;
        callNow = m_paused && !m_cancelled;
    }
    if (callNow && handler)
        handler();
}

void Progress::setCancellationHandler(std::function<void()> handler)
{
    bool callNow = false;
    {
        std::lock_guard lock(m_mutex);
        m_cancellationHandler = handler;
        callNow = m_cancelled;
    }
    if (callNow && handler)
        handler();
}

} // namespace morvix::platform
