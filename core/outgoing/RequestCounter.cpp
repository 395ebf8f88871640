#include "core/outgoing/RequestCounter.h"

namespace morvix {

std::int64_t RequestCounter::value()
{
    std::lock_guard lock(m_mutex);
    if (m_count >= 0)
        m_used = true;
    return m_count;
}

void RequestCounter::setValue(std::int64_t value)
{
    std::lock_guard lock(m_mutex);
    if (m_count > value)
        return;
    m_count = value;
    m_used = false;
}

bool RequestCounter::isInitialized() const
{
    std::lock_guard lock(m_mutex);
    return m_count >= 0;
}

bool RequestCounter::isUsed() const
{
    std::lock_guard lock(m_mutex);
    return m_used;
}

void RequestCounter::reset()
{
    std::lock_guard lock(m_mutex);
    m_count = -1;
    m_used = false;
}

} // namespace morvix
