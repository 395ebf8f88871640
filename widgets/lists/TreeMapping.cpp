#include "widgets/lists/TreeMapping.h"

namespace morvix {

platform::IndexPath TreeMapping::indexPathFor(long index) const
{
    long row = index;
    for (const auto& [key, offset] : m_offsets) {
        if (key > index)
            break;
        row -= offset;
    }
    return platform::rowPath(static_cast<int>(row));
}

platform::IndexPath TreeMapping::removeAtIndex(long index)
{
    auto path = indexPathFor(index);
    addOffset(-1, index);
    return path;
}

std::vector<platform::IndexPath> TreeMapping::removeAtIndexPaths(const std::vector<platform::IndexPath>& paths)
{
    std::vector<platform::IndexPath> mapped;
    mapped.reserve(paths.size());
    for (const auto& path : paths)
        mapped.push_back(removeAtIndex(path.item));
    return mapped;
}

platform::IndexRange TreeMapping::removeRange(long first, long count)
{
    platform::IndexRange range { 0, indexPathFor(first).item, static_cast<int>(count) };
    if (count > 0)
        addOffset(-count, first);
    return range;
}

} // namespace morvix
