#pragma once
// One outgoing operation, kept in the parts of its wire array.

#include "core/outgoing/MessageOperation.h"
#include "platform/foundation/Value.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

/// An operation of an outgoing message as the server binding queues it and `ServerMessage`
/// writes it: ["set", target, {properties}], ["notify", target, event, {attributes}] or
/// ["call", target, method, {properties}] held as its parts, so that merging compares names
/// instead of values and the body is written straight from the parts. An array of any other
/// shape is kept whole (kind `Other`) and written as it is. A value type.
struct WireOperation {
    enum class Kind { Set, Notify, Call, Other };

    WireOperation() = default;
    ~WireOperation();
    WireOperation(const WireOperation&) = default;
    WireOperation(WireOperation&&) noexcept = default;
    WireOperation& operator=(const WireOperation&) = default;
    WireOperation& operator=(WireOperation&&) noexcept = default;

    Kind kind = Kind::Other;
    std::string target;
    /// The event of a notify, the method of a call; empty otherwise.
    std::string name;
    /// The properties of a set, the attributes of a notify or a call (an object); null for
    /// `Other`.
    platform::Value map;
    /// The whole array of an `Other`; null otherwise.
    platform::Value array;
    /// The properties of a set that the object recorded as floating-point numbers
    /// (`Notification::floatingPointChanged`): a whole value of theirs keeps its fraction on the
    /// wire. Empty as a rule.
    std::vector<std::string> floatingPointKeys;

    /// Takes `array` apart when it has one of the three shapes above, else keeps it whole.
    static WireOperation fromArray(platform::Value array);
    /// The wire form of an operation recorded for `target`, its map copied (a set's with room
    /// for `setRoom` members at least, so that changes folded into it later do not move the ones
    /// copied) and its floating-point marks kept. A call or an event recorded with something
    /// other than a map becomes the array it makes.
    static WireOperation fromRecorded(const MessageOperation& recorded, const std::string& target, std::size_t setRoom = 0);
    /// The wire array, built anew.
    platform::Value toArray() const;
    /// "set", "notify", "call"; for `Other`, empty.
    static const std::string& kindName(Kind kind);

    /// Empties the containers inside `value` innermost first, a few levels deep, so that
    /// destroying it needs no work list of its own: the value model destroys a non-empty
    /// container through a list it allocates on the heap. Deeper levels are left for the value
    /// model to destroy as usual.
    static void dismantle(platform::Value& value);

    bool isSet() const { return kind == Kind::Set; }
    bool isFloatingPoint(std::string_view key) const;
    /// Folds the properties of `later`, a set on the same target, into this set: its values
    /// win, and so do their floating-point marks.
    void fold(WireOperation&& later);
    /// Sets the property `key` of this set to `value`, floating-point when `floatingPointKeys`
    /// (those of the set it comes from) name it.
    void foldProperty(const std::string& key, platform::Value value, std::span<const std::string> floatingPointKeys);
    /// Equal as the merge rules compare: the same kind, target and name, and maps equal without
    /// regard to key order and with numbers compared by value (`platform::valuesEqual`).
    bool isEquivalent(const WireOperation& other) const;
};

/// Puts `key` into `keys` when `floatingPoint` holds and takes it out otherwise; each key is
/// there once.
void markFloatingPoint(std::vector<std::string>& keys, const std::string& key, bool floatingPoint);

} // namespace morvix
