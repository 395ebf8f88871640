#pragma once
// One recorded operation of an outgoing message.

#include "platform/foundation/Value.h"

#include <string>

namespace morvix {

/// An operation recorded on a `Notification`: a property change (`SetOperation`), a call
/// (`CallOperation`) or an event (`NotifyOperation`). Owned by its message; not locked.
class MessageOperation {
public:
    virtual ~MessageOperation() = default;

    /// The operation's wire array for `target`, e.g. ["set", target, {properties}]. The array
    /// holds a copy of the operation's map, so later changes to the operation do not reach it.
    /// Null means "nothing to send"; the server binding skips it.
    virtual platform::Value toOperationArray(const std::string& target) const = 0;

    /// A readable rendering for debugging, such as `set: {"text":"a"}`.
    virtual std::string description() const = 0;

protected:
    MessageOperation() = default;
};

} // namespace morvix
