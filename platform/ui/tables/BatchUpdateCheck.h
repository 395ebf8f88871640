#pragma once
// The check a table or collection view makes of a batch of changes before it applies it.

#include "platform/ui/tables/IndexPath.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace morvix::platform {

/// The changes of one batch: deleted, reloaded and moved-from items are named as the view had
/// them before the batch, inserted and moved-to items as it has them after.
struct BatchUpdate {
    std::vector<IndexPath> inserts;
    std::vector<IndexPath> deletes;
    std::vector<IndexPath> reloads;
    std::vector<std::pair<IndexPath, IndexPath>> moves;
};

/// Checks a batch against a view's item counts before and after it, and says where the items
/// that stay go. A table view and a collection view each have one, which carries what sets them
/// apart: the names in the warning and whether a batch may name an item twice. What a view does
/// after a failed check is its own. Keeps nothing from one batch to the next. Main thread (the
/// counts after a batch come from the view's data source).
class BatchUpdateCheck final {
public:
    /// Whether one side of a batch may name an item more than once.
    enum class Repeats { Allowed, Refused };
    /// Whether an item moved within its section keeps its place (and so its cell).
    enum class Moves { Dropped, Kept };
    /// A section's item count.
    using Count = std::function<int(int section)>;

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
    /// Where each of the `before` old items of `section` that stays goes after a batch that fits:
    /// the items that stay keep their order and fill the places nothing was inserted or moved
    /// to. Deleted and moved-away items have no place, except that with `Moves::Kept` an item
    /// moved within the section goes where it was moved. Reloaded items keep their places.
    static std::map<int, int> placesAfter(const BatchUpdate& batch, int section, int before, Moves moves);
    /// Takes the cells of `section` out of `visible` (keyed by section and item), in item order:
    /// a cell whose item has a place in `places` and was not reloaded goes into `kept` under that
    /// place; every other one is handed to `drop`.
    template <class Cell, class Drop>
    static void takeCells(const BatchUpdate& batch, int section, const std::map<int, int>& places,
        std::map<std::pair<int, int>, Cell>& visible, std::map<std::pair<int, int>, Cell>& kept, Drop drop);

private:
    const char* m_viewName;
    const char* m_itemsName;
    Repeats m_repeats;
};

template <class Cell, class Drop>
void BatchUpdateCheck::takeCells(const BatchUpdate& batch, int section, const std::map<int, int>& places,
    std::map<std::pair<int, int>, Cell>& visible, std::map<std::pair<int, int>, Cell>& kept, Drop drop)
{
    std::set<int> reloaded = itemsOf(batch.reloads, section);
    for (auto it = visible.lower_bound({ section, 0 }); it != visible.end() && it->first.first == section;) {
        auto place = places.find(it->first.second);
        if (place != places.end() && !reloaded.count(it->first.second))
            kept[{ section, place->second }] = it->second;
        else
            drop(it->second);
        it = visible.erase(it);
    }
}

} // namespace morvix::platform
