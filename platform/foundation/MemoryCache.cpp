#include "platform/foundation/MemoryCache.h"

namespace morvix::platform {

std::shared_ptr<void> MemoryCache::objectForKey(const std::string& key)
{
    std::lock_guard lock(m_mutex);
    auto found = m_index.find(key);
    if (found == m_index.end())
        return nullptr;
    m_entries.splice(m_entries.begin(), m_entries, found->second);
    return found->second->object;
}

void MemoryCache::setObject(std::shared_ptr<void> object, const std::string& key, std::size_t cost)
{
    std::list<std::shared_ptr<void>> released;
    std::lock_guard lock(m_mutex);
    if (auto found = m_index.find(key); found != m_index.end())
        removeLocked(found->second, released);
    if (!object || (m_totalCostLimit && cost > m_totalCostLimit)) {
        released.push_back(std::move(object));
        return;
    }
    m_entries.push_front(Entry { key, std::move(object), cost });
    m_index.emplace(key, m_entries.begin());
    m_totalCost += cost;
    trimLocked(released);
}

void MemoryCache::removeObjectForKey(const std::string& key)
{
    std::list<std::shared_ptr<void>> released;
    std::lock_guard lock(m_mutex);
    if (auto found = m_index.find(key); found != m_index.end())
        removeLocked(found->second, released);
}

void MemoryCache::removeAllObjects()
{
    Entries released;
    std::lock_guard lock(m_mutex);
    released.swap(m_entries);
    m_index.clear();
    m_totalCost = 0;
}

std::size_t MemoryCache::countLimit() const
{
    std::lock_guard lock(m_mutex);
    return m_countLimit;
}

void MemoryCache::setCountLimit(std::size_t limit)
{
    std::list<std::shared_ptr<void>> released;
    std::lock_guard lock(m_mutex);
    m_countLimit = limit;
    trimLocked(released);
}

std::size_t MemoryCache::totalCostLimit() const
{
    std::lock_guard lock(m_mutex);
    return m_totalCostLimit;
}

void MemoryCache::setTotalCostLimit(std::size_t limit)
{
    std::list<std::shared_ptr<void>> released;
    std::lock_guard lock(m_mutex);
    m_totalCostLimit = limit;
    trimLocked(released);
}

std::size_t MemoryCache::count() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

std::size_t MemoryCache::totalCost() const
{
    std::lock_guard lock(m_mutex);
    return m_totalCost;
}

void MemoryCache::removeLocked(Entries::iterator position, std::list<std::shared_ptr<void>>& released)
{
    m_totalCost -= position->cost;
    released.push_back(std::move(position->object));
    m_index.erase(position->key);
    m_entries.erase(position);
}

void MemoryCache::trimLocked(std::list<std::shared_ptr<void>>& released)
{
    auto overLimit = [this] {
        return (m_countLimit && m_entries.size() > m_countLimit) || (m_totalCostLimit && m_totalCost > m_totalCostLimit);
    };
    while (!m_entries.empty() && overLimit())
        removeLocked(std::prev(m_entries.end()), released);
}

} // namespace morvix::platform
