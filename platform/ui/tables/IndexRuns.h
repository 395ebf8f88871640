#pragma once
// A set of item numbers kept as runs of consecutive numbers.

#include <cstdint>
#include <map>

namespace morvix::platform {

/// A set of whole numbers held as disjoint runs, so that a million consecutive items cost what
/// one does. What a batch of a table or collection view names on one side (inserted, deleted,
/// reloaded items) is gathered in one, to find repeats and to say where the items that stay go.
/// Lookups walk the runs below the number asked about. A value; main thread like the views.
class IndexRuns final {
public:
    /// Adds the items [first, first + count); nothing for a count below 1. Answers whether any
    /// of them was in the set already.
    bool add(std::int64_t first, std::int64_t count = 1);
    bool contains(std::int64_t item) const;
    /// How many items of the set lie below `item`.
    std::int64_t countBelow(std::int64_t item) const;
    /// The number that is `rank` places (from 0) into the non-negative numbers the set lacks:
    /// with {0, 1, 3}, rank 0 is 2 and rank 1 is 4. Negative members are passed over.
    std::int64_t nthAbsent(std::int64_t rank) const;
    /// How many items the set holds.
    std::int64_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

private:
    std::map<std::int64_t, std::int64_t> m_runs; // first item -> one past the last; never touching
    std::int64_t m_size = 0;
};

} // namespace morvix::platform
