#pragma once
// An open-addressing index from hashes to positions in a vector kept elsewhere.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvix {

/// The index of a hash table whose entries live in a vector of their owner's: each slot holds
/// an entry's position and the low half of its hash (open addressing, linear probing, at most
/// half full). Positions do not move when the owner's vector grows, so the index never needs
/// rebuilding for that, and a probe compares an entry's key only when the halves of the hashes
/// agree. What a key is and how two compare is the owner's: `find` asks it about positions.
///
/// Holds at most 2^31 positions. A plain value type; not thread-safe.
class HashSlots final {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    /// The position whose entry `matches` accepts among those stored under `hash`; kNone when
    /// there is none.
    template<typename Matches>
    std::size_t find(std::size_t hash, Matches&& matches) const
    {
        if (m_slots.empty())
            return kNone;
        for (std::size_t index = hash & mask();; index = (index + 1) & mask()) {
            const Slot& slot = m_slots[index];
            if (!slot.position)
                return kNone;
            if (slot.hash == static_cast<std::uint32_t>(hash) && matches(slot.position - 1))
                return slot.position - 1;
        }
    }
    /// Stores `position` under `hash`; the owner makes sure that its key is not stored yet.
    void insert(std::size_t hash, std::size_t position);
    /// Removes `position`, stored under `hash`; nothing when it is not there.
    void erase(std::size_t hash, std::size_t position);
    /// The entry stored under `hash` at `from` now stands at `to`.
    void move(std::size_t hash, std::size_t from, std::size_t to);
    void clear();

    std::size_t size() const { return m_size; }
    /// The farthest any stored position lies from the slot its hash points at: the most slots a
    /// lookup of a stored key walks past. 0 for an empty index. Linear in the slots; for checks.
    std::size_t longestProbe() const;

private:
    struct Slot {
        std::uint32_t position = 0; // the entry's position plus one; 0: empty
        std::uint32_t hash = 0;     // the low half of the entry's hash
    };
    static constexpr std::size_t kMinimumSlots = 16;

    std::size_t mask() const { return m_slots.size() - 1; }
    std::size_t slotOf(std::size_t hash, std::size_t position) const;
    void grow();

    std::vector<Slot> m_slots;
    std::size_t m_size = 0;
};

} // namespace morvix
