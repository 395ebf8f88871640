#include "widgets/lists/ItemHeight.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/RemoteObject.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/WireNumber.h"

namespace morvix {

double ItemHeight::bounded(const std::optional<platform::Value>& height, const RemoteObject& owner, std::string_view kind)
{
    if (!height)
        return kMinimum;
    auto asked = platform::numberValue(*height);
    if (asked && *asked > kMaximum) {
        if (auto client = owner.client()) {
            client->log(LogEntry(platform::format("%@ %@: item height %@ clamped to %@", kind, owner.objectId(), *height, kMaximum),
                LogEntry::Type::Warning));
        }
    }
    return platform::WireNumber::clampedNumber(*height, kMinimum, kMaximum).value_or(kMinimum);
}

} // namespace morvix
