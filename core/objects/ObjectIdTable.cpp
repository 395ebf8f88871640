#include "core/objects/ObjectIdTable.h"

#include "core/objects/RemoteObject.h"

namespace morvix {

ObjectIdTable::ObjectIdTable()
    : m_hash(processKey())
{
}

std::size_t ObjectIdTable::hashOf(std::string_view id) const
{
    return static_cast<std::size_t>(m_hash(id));
}

std::size_t ObjectIdTable::position(std::string_view id, std::size_t hash) const
{
    return m_index.find(hash, [&](std::size_t position) {
        const Entry& entry = m_entries[position];
        return entry.hash == hash && entry.id == id;
    });
}

const std::shared_ptr<RemoteObject>* ObjectIdTable::find(std::string_view id) const
{
    std::size_t found = position(id, hashOf(id));
    return found == HashSlots::kNone ? nullptr : &m_entries[found].object;
}

std::shared_ptr<RemoteObject>& ObjectIdTable::findOrInsert(std::string_view id)
{
    std::size_t hash = hashOf(id);
    std::size_t found = position(id, hash);
    if (found != HashSlots::kNone)
        return m_entries[found].object;
    m_entries.push_back({ std::string(id), nullptr, hash });
    try {
        m_index.insert(hash, m_entries.size() - 1);
    } catch (...) {
        m_entries.pop_back();
        throw;
    }
    return m_entries.back().object;
}

std::shared_ptr<RemoteObject> ObjectIdTable::erase(std::string_view id)
{
    std::size_t hash = hashOf(id);
    std::size_t removed = position(id, hash);
    if (removed == HashSlots::kNone)
        return nullptr;
    auto object = std::move(m_entries[removed].object);
    m_index.erase(hash, removed);
    // Keep the entries side by side: the last one moves into the place of the removed one.
    std::size_t last = m_entries.size() - 1;
    if (removed != last) {
        m_index.move(m_entries[last].hash, last, removed);
        m_entries[removed] = std::move(m_entries[last]);
    }
    m_entries.pop_back();
    return object;
}

} // namespace morvix
