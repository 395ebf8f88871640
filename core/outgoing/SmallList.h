#pragma once
// A list that keeps a lone element in place.

#include <cstddef>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace morvix {

/// A list for what holds one element as a rule (the operations of a message, the properties of
/// a change): its first element is kept in place, and a heap list is made only when a second
/// one comes, which then holds them all. The elements are contiguous either way. A value type;
/// adding an element may move the others (spans and pointers taken before are then stale).
template<typename T>
class SmallList {
public:
    std::span<const T> items() const
    {
        if (m_single)
            return { &*m_single, 1 };
        return m_items;
    }
    std::span<T> items()
    {
        if (m_single)
            return { &*m_single, 1 };
        return m_items;
    }
    bool empty() const { return !m_single && m_items.empty(); }
    /// The last element; null when empty.
    T* last()
    {
        if (m_single)
            return &*m_single;
        return m_items.empty() ? nullptr : &m_items.back();
    }

    void append(T item)
    {
        if (empty()) {
            m_single.emplace(std::move(item));
            return;
        }
        if (m_single) {
            m_items.reserve(kFirstCapacity);
            m_items.push_back(std::move(*m_single));
            m_single.reset();
        }
        m_items.push_back(std::move(item));
    }

private:
    static constexpr std::size_t kFirstCapacity = 4;

    std::optional<T> m_single;
    std::vector<T> m_items;
};

} // namespace morvix
