#include "platform/ui/tables/BatchUpdateCheck.h"

#include <algorithm>
#include <cstdio>

namespace morvix::platform {

namespace {

int countIn(const std::vector<IndexPath>& paths, int section)
{
    return static_cast<int>(std::count_if(paths.begin(), paths.end(),
        [section](const IndexPath& path) { return path.section == section; }));
}

} // namespace

std::optional<std::map<int, int>> BatchUpdateCheck::countsAfter(const BatchUpdate& batch, int sections,
    const Count& before, const Count& after) const
{
    std::map<int, int> counts;
    for (int section : sectionsOf(batch)) {
        int count = section >= 0 && section < sections ? after(section) : -1;
        if (count < 0 || !fits(batch, section, before(section), count)) {
            std::fprintf(stderr, "%s: invalid update of section %d: %d %s before, %zu inserted, %zu deleted, "
                                 "but the data source has %d; reloading all %s\n",
                m_viewName, section, before(section), m_itemsName, batch.inserts.size(), batch.deletes.size(), count,
                m_itemsName);
            return std::nullopt;
        }
        counts.emplace(section, count);
    }
    return counts;
}

bool BatchUpdateCheck::fits(const BatchUpdate& batch, int section, int before, int after) const
{
    if (after != before + countIn(batch.inserts, section) - countIn(batch.deletes, section))
        return false;
    // Each side of the batch names only items that exist on it; a side that refuses repeats
    // remembers what it was given.
    std::set<int> oldSide, newSide, reloaded;
    auto claims = [&](std::set<int>& side, IndexPath path, int items) {
        if (path.section != section)
            return true;
        if (path.item < 0 || path.item >= items)
            return false;
        return m_repeats == Repeats::Allowed || side.insert(path.item).second;
    };
    auto allClaim = [&](std::set<int>& side, const std::vector<IndexPath>& paths, int items) {
        return std::all_of(paths.begin(), paths.end(), [&](IndexPath path) { return claims(side, path, items); });
    };
    auto movesClaim = [&] {
        return std::all_of(batch.moves.begin(), batch.moves.end(),
            [&](const auto& move) { return claims(oldSide, move.first, before) && claims(newSide, move.second, after); });
    };
    return allClaim(oldSide, batch.deletes, before) && allClaim(newSide, batch.inserts, after) && movesClaim()
        && allClaim(reloaded, batch.reloads, before);
}

std::set<int> BatchUpdateCheck::sectionsOf(const BatchUpdate& batch)
{
    std::set<int> sections;
    for (const auto* paths : { &batch.inserts, &batch.deletes, &batch.reloads })
        for (const auto& path : *paths)
            sections.insert(path.section);
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

std::map<int, int> BatchUpdateCheck::placesAfter(const BatchUpdate& batch, int section, int before, Moves moves)
{
    std::set<int> gone = itemsOf(batch.deletes, section);
    std::set<int> taken = itemsOf(batch.inserts, section);
    std::map<int, int> places;
    for (const auto& [from, to] : batch.moves) {
        if (from.section == section)
            gone.insert(from.item);
        if (to.section == section)
            taken.insert(to.item);
        if (moves == Moves::Kept && from.section == section && to.section == section)
            places[from.item] = to.item;
    }
    int next = 0;
    for (int item = 0; item < before; ++item) {
        if (gone.count(item))
            continue;
        while (taken.count(next))
            ++next;
        places[item] = next++;
    }
    return places;
}

} // namespace morvix::platform
