#pragma once
// The children of a tree item by row, where rows without an item take no memory.

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace morvix {

class TreeItem;

/// The rows of one tree level: a length, and the items in the rows that have one. A row without
/// an item (the placeholder of a virtual level, waiting for the peer to fill it) is only counted,
/// so a level declared with a million rows costs what the items the peer made cost. Changes shift
/// the rows after them, as inserting into or erasing from a list does, at a cost that grows with
/// the items after the row, never with the length. Owned by its item; main thread.
class SubItemList final {
public:
    /// The number of rows, placeholders included.
    std::size_t size() const { return m_length; }
    bool empty() const { return m_length == 0; }
    /// The item in `row`; null for a placeholder and for a row past the end.
    std::shared_ptr<TreeItem> operator[](std::size_t row) const;
    /// The item in the last row; null for a placeholder and for an empty list.
    std::shared_ptr<TreeItem> back() const;
    /// The row of `item`; none when it is not in the list.
    std::optional<std::size_t> rowOf(const TreeItem& item) const;
    bool contains(const TreeItem& item) const { return rowOf(item).has_value(); }
    /// The items in row order, the placeholders passed over.
    std::vector<std::shared_ptr<TreeItem>> items() const;
    /// How many rows hold an item.
    std::size_t itemCount() const { return m_entries.size(); }

    /// Cuts the list to `length` rows, dropping the items in the rows cut off, or lengthens it
    /// with placeholders.
    void resize(std::size_t length);
    /// Puts `item` (null for a placeholder) in a new row at `row` (clamped to the end); the rows
    /// from there on move down by one.
    void insert(std::size_t row, std::shared_ptr<TreeItem> item);
    /// Removes `row`; the rows after it move up by one. Nothing for a row past the end.
    void erase(std::size_t row);
    /// Puts `item` (null for a placeholder) in `row` in place of what was there. Nothing for a
    /// row past the end.
    void replace(std::size_t row, std::shared_ptr<TreeItem> item);

private:
    struct Entry {
        std::size_t row = 0;
        std::shared_ptr<TreeItem> item;
    };
    /// The first entry at or after `row`.
    std::vector<Entry>::iterator entryAtOrAfter(std::size_t row);
    std::vector<Entry>::const_iterator entryAtOrAfter(std::size_t row) const;

    std::vector<Entry> m_entries; // by row, never null
    std::size_t m_length = 0;
};

} // namespace morvix
