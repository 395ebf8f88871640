#include "core/protocol/ProtocolHead.h"

#include "core/protocol/ProtocolProcessor.h"

namespace morvix {

void ProtocolHead::completedItem(platform::Value&& value)
{
    auto key = takeKey();
    if (key && processor())
        processor()->processHead(value, std::string(*key));
    drop(value);
}

std::optional<platform::Value> ProtocolHead::nativeCollection()
{
    return std::nullopt;
}

} // namespace morvix
