#include "platform/ui/tables/IndexRuns.h"

#include <algorithm>
#include <iterator>

namespace morvix::platform {

bool IndexRuns::add(std::int64_t first, std::int64_t count)
{
    if (count < 1)
        return false;
    std::int64_t end = first + count;
    // The runs that overlap or touch the new one merge with it; touching is no repeat.
    auto run = m_runs.upper_bound(first);
    if (run != m_runs.begin() && std::prev(run)->second >= first)
        --run;
    bool repeated = false;
    std::int64_t mergedFirst = first;
    std::int64_t mergedEnd = end;
    while (run != m_runs.end() && run->first <= end) {
        repeated = repeated || (run->first < end && run->second > first);
        mergedFirst = std::min(mergedFirst, run->first);
        mergedEnd = std::max(mergedEnd, run->second);
        m_size -= run->second - run->first;
        run = m_runs.erase(run);
    }
    m_runs.emplace(mergedFirst, mergedEnd);
    m_size += mergedEnd - mergedFirst;
    return repeated;
}

bool IndexRuns::contains(std::int64_t item) const
{
    auto run = m_runs.upper_bound(item);
    if (run == m_runs.begin())
        return false;
    return item < std::prev(run)->second;
}

std::int64_t IndexRuns::countBelow(std::int64_t item) const
{
    std::int64_t count = 0;
    for (const auto& [first, end] : m_runs) {
        if (first >= item)
            break;
        count += std::min(end, item) - first;
    }
    return count;
}

std::int64_t IndexRuns::nthAbsent(std::int64_t rank) const
{
    // Each run that starts at or before the candidate pushes it past the run's end.
    std::int64_t candidate = std::max<std::int64_t>(rank, 0);
    for (const auto& [first, end] : m_runs) {
        if (end <= 0)
            continue;
        std::int64_t from = std::max<std::int64_t>(first, 0);
        if (from > candidate)
            break;
        candidate += end - from;
    }
    return candidate;
}

} // namespace morvix::platform
