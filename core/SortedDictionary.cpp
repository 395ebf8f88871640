#include "core/SortedDictionary.h"

namespace morvix {

using platform::Value;

SortedDictionary::SortedDictionary(std::size_t capacity)
{
    m_entries.reserve(capacity);
}

SortedDictionary::SortedDictionary(const Value& dictionary)
{
    if (!dictionary.is_object())
        return;
    m_entries.reserve(dictionary.size());
    for (const auto& [key, value] : dictionary.items())
        setObject(key, value);
}

std::size_t SortedDictionary::find(const std::string& key) const
{
    if (m_entries.size() > kIndexThreshold) {
        auto found = m_index.find(key);
        return found == m_index.end() ? m_entries.size() : found->second;
    }
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].first == key)
            return i;
    }
    return m_entries.size();
}

void SortedDictionary::rebuildIndex()
{
    m_index.clear();
    if (m_entries.size() <= kIndexThreshold)
        return;
    m_index.reserve(m_entries.size() * 2);
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        m_index.emplace(m_entries[i].first, i);
}

void SortedDictionary::setObject(std::string key, Value value)
{
    std::size_t position = find(key);
    if (position < m_entries.size()) {
        m_entries[position].second = std::move(value);
        return;
    }
    m_entries.emplace_back(std::move(key), std::move(value));
    if (m_entries.size() == kIndexThreshold + 1)
        rebuildIndex();
    else if (m_entries.size() > kIndexThreshold + 1)
        m_index.emplace(m_entries.back().first, m_entries.size() - 1);
}

void SortedDictionary::removeObject(const std::string& key)
{
    std::size_t position = find(key);
    if (position == m_entries.size())
        return;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(position));
    rebuildIndex();
}

const Value* SortedDictionary::objectForKey(const std::string& key) const
{
    std::size_t position = find(key);
    return position < m_entries.size() ? &m_entries[position].second : nullptr;
}

std::vector<std::string> SortedDictionary::allKeys() const
{
    std::vector<std::string> keys;
    keys.reserve(m_entries.size());
    for (const auto& entry : m_entries)
        keys.push_back(entry.first);
    return keys;
}

Value SortedDictionary::takeValue()
{
    Value result = Value::object();
    // The keys are already unique, so the entries go straight into the ordered map's storage:
    // inserting through the map would search it linearly for every key.
    Value::object_t::Container& storage = result.get_ref<Value::object_t&>();
    storage.reserve(m_entries.size());
    for (auto& [key, value] : m_entries)
        storage.emplace_back(std::move(key), std::move(value));
    m_entries.clear();
    m_index.clear();
    return result;
}

} // namespace morvix
