#pragma once
// The check a table or collection view makes of a batch of changes before it applies it.

#include "platform/ui/tables/IndexPath.h"
#include "platform/ui/tables/IndexRuns.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace morvix::platform {

/// The items [first, first + count) of one section.
struct IndexRange {
    int section = 0;
    int first = 0;
    int count = 0;

    bool operator==(const IndexRange&) const = default;
};

/// The changes of one batch: deleted, reloaded and moved-from items are named as the view had
/// them before the batch, inserted and moved-to items as it has them after. Runs of inserted and
/// deleted items stand for each item in them, so that a batch that adds or drops a million rows
/// costs what it names rather than what it counts.
struct BatchUpdate {
    std::vector<IndexPath> inserts;
    std::vector<IndexPath> deletes;
    std::vector<IndexPath> reloads;
    std::vector<std::pair<IndexPath, IndexPath>> moves;
    std::vector<IndexRange> insertedRanges;
    std::vector<IndexRange> deletedRanges;
};

/// Checks a batch against a view's item counts before and after it, and says where the items
/// that stay go. A table view and a collection view each have one, which carries what sets them
/// apart: the names in the warning and whether a batch may name an item twice. What a view does
/// after a failed check is its own. Keeps nothing from one batch to the next; the work grows with
/// what the batch names, never with the counts. Main thread (the counts after a batch come from
/// the view's data source).
class BatchUpdateCheck final {
public:
    /// Whether one side of a batch may name an item more than once.
    enum class Repeats { Allowed, Refused };
    /// Whether an item moved within its section keeps its place (and so its cell).
    enum class Moves { Dropped, Kept };
    /// A section's item count.
    using Count = std::function<int(int section)>;

    /// Where the items of one section that stay go after a batch that fits it: they keep their
    /// order and fill the places nothing was inserted or moved to. Deleted and moved-away items
    /// have no place, except that with `Moves::Kept` an item moved within the section goes where
    /// it was moved. Reloaded items keep their places.
    class Places final {
    public:
        Places(const BatchUpdate& batch, int section, Moves moves);
        /// The place of the old `item`; none for an item that goes.
        std::optional<int> placeOf(int item) const;

    private:
        IndexRuns m_gone;
        IndexRuns m_taken;
        std::map<int, int> m_moved;
    };

    /// `viewName` and `itemsName` name the view and its items in the warning: "table view",
    /// "rows". Both are string literals, kept for the life of the check.
    constexpr BatchUpdateCheck(const char* viewName, const char* itemsName, Repeats repeats)
        : m_viewName(viewName)
        , m_itemsName(itemsName)
        , m_repeats(repeats)
    {
    }

    /// Each section the batch names, with its count after the batch: asked of `after` once per
    /// section, in section order, for sections below `sections` only. None, after a warning on
    /// stderr naming the section and its counts, at the first section that is unknown or that
    /// the batch does not fit; no section after it is asked.
    std::optional<std::map<int, int>> countsAfter(const BatchUpdate& batch, int sections, const Count& before,
        const Count& after) const;
    /// Whether the batch fits `section`, which held `before` items and holds `after`: the
    /// inserts less the deletes make up the difference, and every named item exists on its side
    /// of the batch (once, where repeats are refused; the reloads count as a side of their own).
    bool fits(const BatchUpdate& batch, int section, int before, int after) const;

    /// The sections the batch names, in order.
    static std::set<int> sectionsOf(const BatchUpdate& batch);
    /// The items of `section` among `paths`.
    static std::set<int> itemsOf(const std::vector<IndexPath>& paths, int section);
    /// How many items of `section` the paths and the runs name together.
    static std::int64_t countIn(const std::vector<IndexPath>& paths, const std::vector<IndexRange>& ranges, int section);
    /// Takes the cells of `section` out of `visible` (keyed by section and item), in item order:
    /// a cell whose item has a place and was not reloaded goes into `kept` under that place;
    /// every other one is handed to `drop`.
    template <class Cell, class Drop>
    static void takeCells(const BatchUpdate& batch, int section, const Places& places,
        std::map<std::pair<int, int>, Cell>& visible, std::map<std::pair<int, int>, Cell>& kept, Drop drop);

private:
    const char* m_viewName;
    const char* m_itemsName;
    Repeats m_repeats;
};

template <class Cell, class Drop>
void BatchUpdateCheck::takeCells(const BatchUpdate& batch, int section, const Places& places,
    std::map<std::pair<int, int>, Cell>& visible, std::map<std::pair<int, int>, Cell>& kept, Drop drop)
{
    std::set<int> reloaded = itemsOf(batch.reloads, section);
    for (auto it = visible.lower_bound({ section, 0 }); it != visible.end() && it->first.first == section;) {
        auto place = places.placeOf(it->first.second);
        if (place && !reloaded.count(it->first.second))
            kept[{ section, *place }] = it->second;
        else
            drop(it->second);
        it = visible.erase(it);
    }
}

} // namespace morvix::platform
