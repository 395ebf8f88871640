#pragma once
// One outgoing operation, kept in the parts of its wire array.

#include "platform/foundation/Value.h"

#include <string>

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

    /// Takes `array` apart when it has one of the three shapes above, else keeps it whole.
    static WireOperation fromArray(platform::Value array);
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
    /// Equal as the merge rules compare: the same kind, target and name, and maps equal without
    /// regard to key order and with numbers compared by value (`platform::valuesEqual`).
    bool isEquivalent(const WireOperation& other) const;
};

} // namespace morvix
