#include "platform/ui/tables/BatchUpdateCheck.h"

#include <algorithm>
#include <cstdio>

namespace morvix::platform {

std::int64_t BatchUpdateCheck::countIn(const std::vector<IndexPath>& paths, const std::vector<IndexRange>& ranges, int section)
{
    std::int64_t count = std::count_if(paths.begin(), paths.end(), [section](const IndexPath& path) { return path.section == section; });
    for (const auto& range : ranges) {
        if (range.section == section)
            count += std::max(range.count, 0);
    }
    return count;
}

std::optional<std::map<int, int>> BatchUpdateCheck::countsAfter(const BatchUpdate& batch, int sections,
    const Count& before, const Count& after) const
{
    std::map<int, int> counts;
    for (int section : sectionsOf(batch)) {
        int count = section >= 0 && section < sections ? after(section) : -1;
        if (count < 0 || !fits(batch, section, before(section), count)) {
            std::fprintf(stderr, "%s: invalid update of section %d: %d %s before, %lld inserted, %lld deleted, "
                                 "but the data source has %d; reloading all %s\n",
                m_viewName, section, before(section), m_itemsName,
                static_cast<long long>(countIn(batch.inserts, batch.insertedRanges, section)),
                static_cast<long long>(countIn(batch.deletes, batch.deletedRanges, section)), count, m_itemsName);
            return std::nullopt;
        }
        counts.emplace(section, count);
    }
    return counts;
}

bool BatchUpdateCheck::fits(const BatchUpdate& batch, int section, int before, int after) const
{
    std::int64_t inserted = countIn(batch.inserts, batch.insertedRanges, section);
    std::int64_t deleted = countIn(batch.deletes, batch.deletedRanges, section);
    if (after != before + inserted - deleted)
        return false;
    // Each side of the batch names only items that exist on it; a side that refuses repeats
    // remembers what it was given, as runs, so that a long run costs no more than one item.
    IndexRuns oldSide, newSide, reloaded;
    auto claims = [&](IndexRuns& side, int pathSection, std::int64_t first, std::int64_t count, int items) {
        if (pathSection != section)
            return true;
        if (first < 0 || count < 0 || first + count > items)
            return false;
        return m_repeats == Repeats::Allowed || !side.add(first, count);
    };
    auto allClaim = [&](IndexRuns& side, const std::vector<IndexPath>& paths, const std::vector<IndexRange>& ranges, int items) {
        return std::all_of(paths.begin(), paths.end(), [&](IndexPath path) { return claims(side, path.section, path.item, 1, items); })
            && std::all_of(ranges.begin(), ranges.end(),
                [&](const IndexRange& range) { return claims(side, range.section, range.first, range.count, items); });
    };
    auto movesClaim = [&] {
        return std::all_of(batch.moves.begin(), batch.moves.end(), [&](const auto& move) {
            return claims(oldSide, move.first.section, move.first.item, 1, before)
                && claims(newSide, move.second.section, move.second.item, 1, after);
        });
    };
    return allClaim(oldSide, batch.deletes, batch.deletedRanges, before) && allClaim(newSide, batch.inserts, batch.insertedRanges, after)
        && movesClaim() && allClaim(reloaded, batch.reloads, {}, before);
}

std::set<int> BatchUpdateCheck::sectionsOf(const BatchUpdate& batch)
{
    std::set<int> sections;
    for (const auto* paths : { &batch.inserts, &batch.deletes, &batch.reloads })
        for (const auto& path : *paths)
            sections.insert(path.section);
    for (const auto* ranges : { &batch.insertedRanges, &batch.deletedRanges })
        for (const auto& range : *ranges)
            sections.insert(range.section);
    for (const auto& [from, to] : batch.moves) {
        sections.insert(from.section);
        sections.insert(to.section);
    }
    return sections;
}

std::set<int> BatchUpdateCheck::itemsOf(const std::vector<IndexPath>& paths, int section)
{
    std::set<int> items;
    for (const auto& path : paths)
        if (path.section == section)
            items.insert(path.item);
    return items;
}

BatchUpdateCheck::Places::Places(const BatchUpdate& batch, int section, Moves moves)
{
    auto gather = [section](IndexRuns& runs, const std::vector<IndexPath>& paths, const std::vector<IndexRange>& ranges) {
        for (const auto& path : paths)
            if (path.section == section)
                runs.add(path.item);
        for (const auto& range : ranges)
            if (range.section == section)
                runs.add(range.first, range.count);
    };
    gather(m_gone, batch.deletes, batch.deletedRanges);
    gather(m_taken, batch.inserts, batch.insertedRanges);
    for (const auto& [from, to] : batch.moves) {
        if (from.section == section)
            m_gone.add(from.item);
        if (to.section == section)
            m_taken.add(to.item);
        if (moves == Moves::Kept && from.section == section && to.section == section)
            m_moved[from.item] = to.item;
    }
}

std::optional<int> BatchUpdateCheck::Places::placeOf(int item) const
{
    if (auto moved = m_moved.find(item); moved != m_moved.end())
        return moved->second;
    if (item < 0 || m_gone.contains(item))
        return std::nullopt;
    // The item is the n-th that stays, and takes the n-th place nothing was inserted or moved to.
    std::int64_t rank = item - m_gone.countBelow(item);
    return static_cast<int>(m_taken.nthAbsent(rank));
}

} // namespace morvix::platform
