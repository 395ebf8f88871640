#include "core/protocol/ProtocolRoot.h"

#include "core/protocol/ProtocolHead.h"
#include "core/protocol/ProtocolOperations.h"

namespace morvix {

void ProtocolRoot::completedItem(platform::Value&& value)
{
    takeKey();
    drop(value);
}

std::unique_ptr<ProtocolProcessorContainerItem> ProtocolRoot::startedObject()
{
    if (key() != "head")
        return newObject();
    auto item = std::make_unique<ProtocolHead>();
    item->setProcessor(processor());
    return item;
}

std::unique_ptr<ProtocolProcessorContainerItem> ProtocolRoot::startedArray()
{
    if (key() != "operations")
        return newArray();
    auto item = std::make_unique<ProtocolOperations>();
    item->setProcessor(processor());
    return item;
}

std::optional<platform::Value> ProtocolRoot::nativeCollection()
{
    return std::nullopt;
}

} // namespace morvix
