#include "platform/device/MapItem.h"

namespace morvix::platform {

namespace {

std::vector<MapItem>& opened()
{
    static std::vector<MapItem> items;
    return items;
}

} // namespace

bool MapItem::openInMaps() const
{
    opened().push_back(*this);
    return true;
}

std::vector<MapItem> MapItem::openedItems()
{
    return opened();
}

void MapItem::resetForTesting()
{
    opened().clear();
}

} // namespace morvix::platform
