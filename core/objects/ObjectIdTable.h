#pragma once
// The map from object ids to objects that the object registry keeps.

#include "core/objects/HashSlots.h"
#include "core/objects/SipHash.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

class RemoteObject;

/// A hash map from ids to objects, made for the registry's traffic: every operation of a
/// message looks an id up, and every create adds one. The entries lie side by side in one
/// vector and `HashSlots` index it, so a lookup touches one slot and, mostly, the one entry it
/// finds, where a node-based map follows a bucket to the node before and then to the node.
///
/// Ids come from the peer, so they are hashed with a key drawn once per process (`IdHash`): ids
/// chosen to share the low bits of a hash known in advance would otherwise all land in one probe
/// sequence and make every create, lookup and destroy walk all of them.
///
/// Removing an entry moves the last one into its place, so pointers and references into the
/// table hold only until the next insertion or removal. Not thread-safe: the registry guards
/// it with its lock.
class ObjectIdTable final {
public:
    struct Entry {
        std::string id;
        std::shared_ptr<RemoteObject> object;
        std::size_t hash = 0;
    };

    ObjectIdTable();
    ObjectIdTable(ObjectIdTable&&) noexcept = default;
    ObjectIdTable& operator=(ObjectIdTable&&) noexcept = default;
    ObjectIdTable(const ObjectIdTable&) = delete;
    ObjectIdTable& operator=(const ObjectIdTable&) = delete;

    /// The object stored under `id`, or null when there is none.
    const std::shared_ptr<RemoteObject>* find(std::string_view id) const;
    /// The object stored under `id`; a new entry holding null when there was none.
    std::shared_ptr<RemoteObject>& findOrInsert(std::string_view id);
    /// Removes the entry and returns its object; null when there was none.
    std::shared_ptr<RemoteObject> erase(std::string_view id);

    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    /// The entries, in no particular order.
    const std::vector<Entry>& entries() const { return m_entries; }
    /// The index over the entries, for checking how evenly they spread.
    const HashSlots& slots() const { return m_index; }

private:
    std::size_t hashOf(std::string_view id) const;
    std::size_t position(std::string_view id, std::size_t hash) const;

    std::vector<Entry> m_entries;
    HashSlots m_index;
    IdHash m_hash;
};

} // namespace morvix
