#pragma once
// The builder of one object's outgoing property changes, calls and events.

#include "core/base/WireDeclarations.h"
#include "core/outgoing/Message.h"
#include "core/outgoing/MessageOperation.h"
#include "platform/foundation/Value.h"

#include <span>
#include <string>

namespace morvix {

/// A message for one target (an object id, or the type name of a service object) that records
/// property changes, calls and events in order. Property changes recorded one after another
/// fill one set operation; a call or an event in between starts a new one, so a message can
/// hold [set, notify, set]. The recording operations return the message so that calls chain:
///
///     Notifications::forObject(id)->attributeChanged(true, "selection").schedule();
///     Notifications::forObject(id)->attributeChanged(12, "value").fireSelection();
///
/// `attributeChanged` hands nothing on; the caller follows with `store`, `schedule` or `send`.
/// `call`, `fireEvent`, `fireSelection` and `fireDefaultSelection` send the message at once,
/// together with whatever was recorded before them.
///
/// A server binding recognises a message for one target with
/// `std::dynamic_pointer_cast<Notification>`. Filled and handed on by one thread at a time.
class Notification : public Message {
public:
    /// Records `value` for the property `key`: into the last operation when that is a set
    /// operation (a later value for the same key replaces the earlier one), otherwise into a new
    /// set operation. Sends nothing.
    virtual Notification& attributeChanged(platform::Value value, const std::string& key) = 0;
    /// Records `value` for the property `key` as `attributeChanged` does, as a number that is
    /// floating-point by its nature: written with a fraction even when whole ("2.0", "-60.0"),
    /// where a whole number recorded by `attributeChanged` goes out as an integer. The mark
    /// belongs to this recorded value only; a later `attributeChanged` of the key drops it.
    virtual Notification& floatingPointChanged(double value, const std::string& key) = 0;
    /// Records a call of `method` with a copy of `parameters` (null gives {}), then sends.
    virtual Notification& call(const std::string& method, platform::Value parameters = nullptr) = 0;
    /// Records the event `event` with a copy of `attributes` (null gives {}), then sends.
    virtual Notification& fireEvent(const std::string& event, platform::Value attributes = nullptr) = 0;
    /// `fireEvent("Selection")`.
    virtual Notification& fireSelection() = 0;
    /// `fireEvent("DefaultSelection")`.
    virtual Notification& fireDefaultSelection() = 0;

    /// Sends the declared event (or call) with `attributes` (null gives {}): what remote-object
    /// classes use, so that what they send is what their wire table declares.
    Notification& fire(const EventDeclaration& event, platform::Value attributes = nullptr)
    {
        if (event.operation == EventDeclaration::Operation::Call)
            return call(std::string(event.name), std::move(attributes));
        return fireEvent(std::string(event.name), std::move(attributes));
    }
    /// `attributeChanged` of the declared reported property.
    Notification& report(const ReportDeclaration& property, platform::Value value)
    {
        return attributeChanged(std::move(value), std::string(property.name));
    }
    /// `floatingPointChanged` of the declared reported property.
    Notification& reportFloatingPoint(const ReportDeclaration& property, double value)
    {
        return floatingPointChanged(value, std::string(property.name));
    }

    /// The recorded operations, in the order they go on the wire. Valid until the message
    /// records another operation or goes.
    virtual std::span<const MessageOperation> getMessageOperations() const = 0;
    /// The target every operation is addressed to.
    virtual const std::string& getTarget() const = 0;

protected:
    Notification() = default;
};

} // namespace morvix
