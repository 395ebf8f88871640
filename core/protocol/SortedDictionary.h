#pragma once
// The insertion-ordered dictionary that every JSON object of a response is built in.

#include "platform/foundation/Value.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvix {

/// A dictionary that remembers the order in which its keys were first stored. Storing a key
/// again keeps its place and replaces its value, so an object read from the wire that repeats a
/// key keeps the key at its first position with its last value.
///
/// The finished dictionary becomes a `platform::Value` object with `takeValue()`: that value
/// keeps the same key order, and is what every remote object receives as its properties. The
/// entries are stored in that value from the start, so taking it moves nothing.
/// Lookups stay fast on large objects (a hash index is kept once the dictionary grows past a
/// few keys), so a peer cannot make reading an object quadratic.
///
/// A plain value type; not thread-safe.
class SortedDictionary final {
public:
    SortedDictionary() = default;
    explicit SortedDictionary(std::size_t capacity);
    /// Copies the entries of a JSON object in its own key order; any other value gives an empty
    /// dictionary.
    explicit SortedDictionary(const platform::Value& dictionary);

    /// Stores `value` under `key`: a new key is appended, an existing one keeps its place.
    void setObject(std::string key, platform::Value value);
    /// Removes the key; does nothing for an absent key.
    void removeObject(const std::string& key);

    std::size_t count() const { return entries().size(); }
    /// The value stored under `key`, or null when there is none.
    const platform::Value* objectForKey(const std::string& key) const;
    /// The keys in order of first insertion.
    std::vector<std::string> allKeys() const;

    /// Moves the entries out into a JSON object with the same key order and leaves this
    /// dictionary empty.
    platform::Value takeValue();

    /// True once the dictionary holds storage for its entries: after the first entry, or after
    /// `useStorage`, until `takeValue`.
    bool hasStorage() const { return m_value.is_object(); }
    /// Stores the entries from now on in `storage`, an empty JSON object whose room is kept
    /// (the response reader hands its spare objects this way). Precondition: `!hasStorage()`.
    void useStorage(platform::Value storage);

private:
    static constexpr std::size_t kIndexThreshold = 16;

    platform::Value::object_t& entries();
    const platform::Value::object_t& entries() const;
    std::size_t find(std::string_view key) const;
    void rebuildIndex();

    // Null until the first entry (or an explicit capacity), and again once taken, so that a
    // dictionary that is taken and then dropped allocates nothing more.
    platform::Value m_value;
    std::size_t m_capacity = 0;
    // Position of each key in the entries; kept only once the dictionary has grown past
    // kIndexThreshold keys, since a short linear scan is cheaper than hashing. The views point
    // into the entries' keys, so the index is built again whenever the entries move.
    // Hashed with the process's secret key: the peer chooses the keys, and with a hash of fixed
    // seed it could choose thousands that collide.
    struct KeyHash {
        std::size_t operator()(std::string_view key) const;
    };
    std::unordered_map<std::string_view, std::size_t, KeyHash> m_index;
    const void* m_indexedStorage = nullptr;
};

} // namespace morvix
