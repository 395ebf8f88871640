#include "core/objects/ObjectIdTable.h"

#include "core/objects/RemoteObject.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace morvix {

namespace {

std::size_t hashOf(std::string_view id)
{
    return std::hash<std::string_view>()(id);
}

} // namespace

std::size_t ObjectIdTable::probe(std::string_view id, std::size_t hash) const
{
    auto tag = static_cast<std::uint32_t>(hash);
    for (std::size_t index = hash & mask();; index = (index + 1) & mask()) {
        const Slot& slot = m_slots[index];
        if (!slot.entry)
            return index;
        if (slot.hash != tag)
            continue;
        const Entry& entry = m_entries[slot.entry - 1];
        if (entry.hash == hash && entry.id == id)
            return index;
    }
}

std::size_t ObjectIdTable::slotOfEntry(std::size_t entry) const
{
    for (std::size_t index = m_entries[entry].hash & mask();; index = (index + 1) & mask()) {
        if (m_slots[index].entry == entry + 1)
            return index;
    }
}

const std::shared_ptr<RemoteObject>* ObjectIdTable::find(std::string_view id) const
{
    if (m_entries.empty())
        return nullptr;
    const Slot& slot = m_slots[probe(id, hashOf(id))];
    return slot.entry ? &m_entries[slot.entry - 1].object : nullptr;
}

std::shared_ptr<RemoteObject>& ObjectIdTable::findOrInsert(std::string_view id)
{
    if ((m_entries.size() + 1) * 2 > m_slots.size())
        grow();
    std::size_t hash = hashOf(id);
    Slot& slot = m_slots[probe(id, hash)];
    if (slot.entry)
        return m_entries[slot.entry - 1].object;
    m_entries.push_back({ std::string(id), nullptr, hash });
    slot = { static_cast<std::uint32_t>(m_entries.size()), static_cast<std::uint32_t>(hash) };
    return m_entries.back().object;
}

std::shared_ptr<RemoteObject> ObjectIdTable::erase(std::string_view id)
{
    if (m_entries.empty())
        return nullptr;
    std::size_t hole = probe(id, hashOf(id));
    if (!m_slots[hole].entry)
        return nullptr;
    std::size_t removed = m_slots[hole].entry - 1;
    auto object = std::move(m_entries[removed].object);
    // Close the gap in the probe sequence: a later slot moves back into the hole unless its
    // entry's home lies between the hole and itself.
    for (std::size_t next = (hole + 1) & mask(); m_slots[next].entry; next = (next + 1) & mask()) {
        std::size_t home = m_slots[next].hash & mask();
        if (((next - home) & mask()) < ((next - hole) & mask()))
            continue;
        m_slots[hole] = m_slots[next];
        hole = next;
    }
    m_slots[hole] = {};
    // Keep the entries side by side: the last one moves into the place of the removed one.
    std::size_t last = m_entries.size() - 1;
    if (removed != last) {
        m_slots[slotOfEntry(last)].entry = static_cast<std::uint32_t>(removed + 1);
        m_entries[removed] = std::move(m_entries[last]);
    }
    m_entries.pop_back();
    return object;
}

void ObjectIdTable::grow()
{
    std::size_t size = std::max(kMinimumSlots, m_slots.size() * 2);
    // Slots keep 32 bits of the hash and of the entry's index.
    if (size > (std::size_t(1) << 31))
        throw std::length_error("object id table full");
    m_slots.assign(size, Slot());
    for (std::size_t entry = 0; entry < m_entries.size(); ++entry) {
        std::size_t index = m_entries[entry].hash & mask();
        while (m_slots[index].entry)
            index = (index + 1) & mask();
        m_slots[index] = { static_cast<std::uint32_t>(entry + 1), static_cast<std::uint32_t>(m_entries[entry].hash) };
    }
}

} // namespace morvix
