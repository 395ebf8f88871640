#pragma once
// A thread-safe in-memory cache with count and cost limits, least recently used entries out first.

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace morvix::platform {

/// Keeps objects under text keys until a limit or a memory warning asks for room. Values are
/// type-erased (`std::shared_ptr<void>`); a cache holds one kind of object and reads it back with
/// `objectForKey<T>`. Each entry has a cost given when it is stored.
///
/// Rules:
/// 1. A limit of 0 means no limit (the default for both).
/// 2. When storing or lowering a limit leaves the cache over a limit, the least recently used
///    entries go first until it is within both. Reading an entry makes it the most recently used.
/// 3. An entry costing more than a nonzero `totalCostLimit` is not stored, and any entry
///    already under its key is removed.
/// 4. Storing a null object removes the key.
///
/// Thread safety: any thread. Evicted objects are released after the lock is dropped, so a
/// destructor may use the cache.
class MemoryCache final {
public:
    static std::shared_ptr<MemoryCache> create() { return std::shared_ptr<MemoryCache>(new MemoryCache); }
    MemoryCache(const MemoryCache&) = delete;
    MemoryCache& operator=(const MemoryCache&) = delete;

    /// The object stored under `key`, or null.
    std::shared_ptr<void> objectForKey(const std::string& key);
    /// The object stored under `key` as a `T`; the caller stores only `T`s in this cache.
    template<typename T>
    std::shared_ptr<T> objectForKey(const std::string& key) { return std::static_pointer_cast<T>(objectForKey(key)); }

    void setObject(std::shared_ptr<void> object, const std::string& key, std::size_t cost = 0);
    void removeObjectForKey(const std::string& key);
    void removeAllObjects();

    std::size_t countLimit() const;
    void setCountLimit(std::size_t limit);
    std::size_t totalCostLimit() const;
    void setTotalCostLimit(std::size_t limit);

    std::size_t count() const;
    std::size_t totalCost() const;

private:
    MemoryCache() = default;

    struct Entry {
        std::string key;
        std::shared_ptr<void> object;
        std::size_t cost = 0;
    };
    using Entries = std::list<Entry>;

    /// Unlinks the entry at `position`, moving its object into `released`. Needs m_mutex.
    void removeLocked(Entries::iterator position, std::list<std::shared_ptr<void>>& released);
    /// Evicts from the least recently used end until within both limits. Needs m_mutex.
    void trimLocked(std::list<std::shared_ptr<void>>& released);

    mutable std::mutex m_mutex; // guards everything below
    Entries m_entries; // most recently used first
    std::unordered_map<std::string, Entries::iterator> m_index;
    std::size_t m_totalCost = 0;
    std::size_t m_countLimit = 0;
    std::size_t m_totalCostLimit = 0;
};

} // namespace morvix::platform
