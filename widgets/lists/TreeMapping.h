#pragma once
// Turns the rows of children removed one after another into the rows the table had before.

#include "platform/ui/tables/TableView.h"

#include <map>
#include <vector>

namespace morvix {

/// The removal offsets of one open table batch of a tree level. Items remove their children one
/// after another from a list that shrinks, but the table wants deleted rows named as it had them
/// when the batch opened: each removal at model index i records −1 under i, and the table row of
/// a model index is the index less the offsets recorded at indices up to it. Removing model index
/// 3 twice thus deletes table rows 3 and 4. Emptied when the batch closes. Guarded by its
/// controller's batch lock.
class TreeMapping final {
public:
    void reset() { m_offsets.clear(); }
    /// Adds `offset` to the one recorded for `index` (none counts as 0).
    void addOffset(long offset, long index) { m_offsets[index] += offset; }
    /// Row `index` less every offset recorded at an index up to `index`; section 0.
    platform::IndexPath indexPathFor(long index) const;
    /// `indexPathFor(index)`, then records the removal.
    platform::IndexPath removeAtIndex(long index);
    /// `removeAtIndex` of each path's row, in order.
    std::vector<platform::IndexPath> removeAtIndexPaths(const std::vector<platform::IndexPath>& paths);
    /// The removal of the `count` model indices from `first` on, last first (as a list cut at its
    /// end shrinks), as one run of table rows starting at `indexPathFor(first)`, recorded as one
    /// offset of -count under `first`: a run costs what one removal costs. Rows past the run map
    /// as they would after each removal on its own.
    platform::IndexRange removeRange(long first, long count);

private:
    std::map<long, long> m_offsets;
};

} // namespace morvix
