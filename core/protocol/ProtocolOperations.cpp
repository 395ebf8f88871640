#include "core/protocol/ProtocolOperations.h"

#include "core/protocol/ProtocolProcessor.h"

namespace morvix {

void ProtocolOperations::completedItem(platform::Value&& value)
{
    if (value.is_array() && processor())
        processor()->processOperation(value);
    drop(value);
}

std::optional<platform::Value> ProtocolOperations::nativeCollection()
{
    return std::nullopt;
}

} // namespace morvix
