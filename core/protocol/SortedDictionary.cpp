#include "core/protocol/SortedDictionary.h"

#include "core/objects/SipHash.h"

#include <cassert>

namespace morvix {

std::size_t SortedDictionary::KeyHash::operator()(std::string_view key) const
{
    static const IdHash hash(processKey());
    return static_cast<std::size_t>(hash(key));
}

using platform::Value;

SortedDictionary::SortedDictionary(std::size_t capacity)
    : m_capacity(capacity)
{
}

Value::object_t& SortedDictionary::entries()
{
    if (!m_value.is_object()) {
        m_value = Value::object();
        m_value.get_ptr<Value::object_t*>()->reserve(m_capacity);
    }
    return *m_value.get_ptr<Value::object_t*>();
}

const Value::object_t& SortedDictionary::entries() const
{
    static const Value::object_t kEmpty;
    const auto* stored = m_value.get_ptr<const Value::object_t*>();
    return stored ? *stored : kEmpty;
}

SortedDictionary::SortedDictionary(const Value& dictionary)
{
    if (!dictionary.is_object())
        return;
    m_capacity = dictionary.size();
    for (const auto& [key, value] : dictionary.items())
        setObject(key, value);
}

std::size_t SortedDictionary::find(std::string_view key) const
{
    const auto& stored = entries();
    if (stored.size() > kIndexThreshold) {
        auto found = m_index.find(key);
        return found == m_index.end() ? stored.size() : found->second;
    }
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored.data()[i].first == key)
            return i;
    }
    return stored.size();
}

void SortedDictionary::rebuildIndex()
{
    const auto& stored = entries();
    m_index.clear();
    m_indexedStorage = stored.data();
    if (stored.size() <= kIndexThreshold)
        return;
    m_index.reserve(stored.size() * 2);
    for (std::size_t i = 0; i < stored.size(); ++i)
        m_index.emplace(stored.data()[i].first, i);
}

void SortedDictionary::setObject(std::string key, Value value)
{
    auto& stored = entries();
    std::size_t position = find(key);
    if (position < stored.size()) {
        stored.data()[position].second = std::move(value);
        return;
    }
    // The keys are unique, so the entry goes straight into the ordered map's storage: inserting
    // through the map would search it linearly for every key.
    stored.emplace_back(std::move(key), std::move(value));
    if (stored.size() <= kIndexThreshold)
        return;
    if (stored.size() == kIndexThreshold + 1 || stored.data() != m_indexedStorage)
        rebuildIndex();
    else
        m_index.emplace(stored.back().first, stored.size() - 1);
}

void SortedDictionary::removeObject(const std::string& key)
{
    auto& stored = entries();
    std::size_t position = find(key);
    if (position == stored.size())
        return;
    stored.erase(stored.begin() + static_cast<std::ptrdiff_t>(position));
    rebuildIndex();
}

const Value* SortedDictionary::objectForKey(const std::string& key) const
{
    std::size_t position = find(key);
    return position < entries().size() ? &entries().data()[position].second : nullptr;
}

std::vector<std::string> SortedDictionary::allKeys() const
{
    std::vector<std::string> keys;
    keys.reserve(entries().size());
    for (const auto& entry : entries())
        keys.push_back(entry.first);
    return keys;
}

void SortedDictionary::useStorage(Value storage)
{
    assert(!hasStorage() && storage.is_object() && storage.empty() && "storage for an empty dictionary");
    m_value = std::move(storage);
}

Value SortedDictionary::takeValue()
{
    Value result = m_value.is_object() ? std::move(m_value) : Value::object();
    m_value = nullptr;
    m_index.clear();
    m_indexedStorage = nullptr;
    return result;
}

} // namespace morvix
