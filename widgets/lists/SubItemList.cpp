#include "widgets/lists/SubItemList.h"

#include <algorithm>

namespace morvix {

std::vector<SubItemList::Entry>::iterator SubItemList::entryAtOrAfter(std::size_t row)
{
    return std::lower_bound(m_entries.begin(), m_entries.end(), row, [](const Entry& entry, std::size_t wanted) { return entry.row < wanted; });
}

std::vector<SubItemList::Entry>::const_iterator SubItemList::entryAtOrAfter(std::size_t row) const
{
    return std::lower_bound(m_entries.begin(), m_entries.end(), row, [](const Entry& entry, std::size_t wanted) { return entry.row < wanted; });
}

std::shared_ptr<TreeItem> SubItemList::operator[](std::size_t row) const
{
    auto entry = entryAtOrAfter(row);
    return entry != m_entries.end() && entry->row == row ? entry->item : nullptr;
}

std::shared_ptr<TreeItem> SubItemList::back() const
{
    return m_length == 0 ? nullptr : (*this)[m_length - 1];
}

std::optional<std::size_t> SubItemList::rowOf(const TreeItem& item) const
{
    auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) { return entry.item.get() == &item; });
    if (found == m_entries.end())
        return std::nullopt;
    return found->row;
}

std::vector<std::shared_ptr<TreeItem>> SubItemList::items() const
{
    std::vector<std::shared_ptr<TreeItem>> items;
    items.reserve(m_entries.size());
    for (const auto& entry : m_entries)
        items.push_back(entry.item);
    return items;
}

void SubItemList::resize(std::size_t length)
{
    m_entries.erase(entryAtOrAfter(length), m_entries.end());
    m_length = length;
}

void SubItemList::insert(std::size_t row, std::shared_ptr<TreeItem> item)
{
    row = std::min(row, m_length);
    auto at = entryAtOrAfter(row);
    for (auto moved = at; moved != m_entries.end(); ++moved)
        ++moved->row;
    if (item)
        m_entries.insert(at, Entry { row, std::move(item) });
    ++m_length;
}

void SubItemList::erase(std::size_t row)
{
    if (row >= m_length)
        return;
    auto at = entryAtOrAfter(row);
    if (at != m_entries.end() && at->row == row)
        at = m_entries.erase(at);
    for (auto moved = at; moved != m_entries.end(); ++moved)
        --moved->row;
    --m_length;
}

void SubItemList::replace(std::size_t row, std::shared_ptr<TreeItem> item)
{
    if (row >= m_length)
        return;
    auto at = entryAtOrAfter(row);
    bool occupied = at != m_entries.end() && at->row == row;
    if (!item) {
        if (occupied)
            m_entries.erase(at);
        return;
    }
    if (occupied)
        at->item = std::move(item);
    else
        m_entries.insert(at, Entry { row, std::move(item) });
}

} // namespace morvix
