#include "core/objects/HashSlots.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace morvix {

std::size_t HashSlots::slotOf(std::size_t hash, std::size_t position) const
{
    if (m_slots.empty())
        return kNone;
    for (std::size_t index = hash & mask();; index = (index + 1) & mask()) {
        if (!m_slots[index].position)
            return kNone;
        if (m_slots[index].position == position + 1)
            return index;
    }
}

void HashSlots::insert(std::size_t hash, std::size_t position)
{
    if ((m_size + 1) * 2 > m_slots.size())
        grow();
    std::size_t index = hash & mask();
    while (m_slots[index].position)
        index = (index + 1) & mask();
    m_slots[index] = { static_cast<std::uint32_t>(position + 1), static_cast<std::uint32_t>(hash) };
    ++m_size;
}

void HashSlots::erase(std::size_t hash, std::size_t position)
{
    std::size_t hole = slotOf(hash, position);
    if (hole == kNone)
        return;
    // Close the gap in the probe sequence: a later slot moves back into the hole unless its
    // home lies between the hole and itself.
    for (std::size_t next = (hole + 1) & mask(); m_slots[next].position; next = (next + 1) & mask()) {
        std::size_t home = m_slots[next].hash & mask();
        if (((next - home) & mask()) < ((next - hole) & mask()))
            continue;
        m_slots[hole] = m_slots[next];
        hole = next;
    }
    m_slots[hole] = {};
    --m_size;
}

void HashSlots::move(std::size_t hash, std::size_t from, std::size_t to)
{
    std::size_t index = slotOf(hash, from);
    if (index != kNone)
        m_slots[index].position = static_cast<std::uint32_t>(to + 1);
}

std::size_t HashSlots::longestProbe() const
{
    std::size_t longest = 0;
    for (std::size_t index = 0; index < m_slots.size(); ++index) {
        if (m_slots[index].position)
            longest = std::max(longest, (index - m_slots[index].hash) & mask());
    }
    return longest;
}

void HashSlots::clear()
{
    m_slots.clear();
    m_size = 0;
}

void HashSlots::grow()
{
    std::size_t size = std::max(kMinimumSlots, m_slots.size() * 2);
    // Slots keep 32 bits of the position and of the hash.
    if (size > (std::size_t(1) << 31))
        throw std::length_error("hash index full");
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(size));
    for (const Slot& slot : old) {
        if (!slot.position)
            continue;
        std::size_t index = slot.hash & mask();
        while (m_slots[index].position)
            index = (index + 1) & mask();
        m_slots[index] = slot;
    }
}

} // namespace morvix
