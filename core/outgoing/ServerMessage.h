#pragma once
// The outgoing JSON document of the server protocol.

#include "core/outgoing/WireOperation.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvix {

/// One request body: {"head": {...}, "operations": [...]}. "head" is present only when it has
/// attributes; "operations" is always written, empty or not. A value type: the binding builds
/// it, the transport adds the request counter and serialises it.
///
/// Serialisation is compact UTF-8 JSON, booleans as true and false. Numbers:
/// - integers as integers;
/// - a floating number that is whole and lies from -2^63 on and below 2^63 (the range of a
///   signed 64-bit integer) as an integer, all its digits: peers read bounds and indices that
///   were computed in floating point as integers ("320", "1000000000000000"); -0 goes out as 0;
/// - a whole floating number outside that range in exponent form, as short as reads back the
///   same ("1e+19", "9.223372036854776e+18"), never as digits a peer would take for an integer;
/// - a property that its object recorded as floating-point (`Notification::floatingPointChanged`)
///   with its fraction when whole, at any size and sign of zero: "2.0", "-60.0", "-0.0",
///   "100000000000000000000.0";
/// - every other number in its shortest form that reads back as the same number ("0.1");
/// - a number that is not finite (NaN, an infinity) as null, with a logged warning.
/// A container nested too deeply for the generator is written as null with a warning. Strings
/// (keys too) that are not well-formed UTF-8 are written with each ill-formed sequence replaced
/// by U+FFFD, and one warning per message says how many were replaced. So the body is always
/// valid JSON.
class ServerMessage {
public:
    ServerMessage() = default;
    /// Takes `head` as "head" only when it is a non-empty object, and `operations` as
    /// "operations".
    ServerMessage(platform::Value head, std::vector<WireOperation> operations);

    /// The "head" object, created empty on first use.
    platform::Value& getHead();
    const std::vector<WireOperation>& operations() const { return m_operations; }
    /// Sets "head"."requestCounter".
    void setRequestCounter(std::int64_t counter);

    /// The document as compact JSON text, written straight from the head and the operations.
    std::string serialize() const;
    /// The document as a value, built anew, with "operations" present.
    platform::Value json() const;

    /// Writes `value` as compact JSON with the rules above.
    static std::string serialize(const platform::Value& value);
    /// Writes one operation's array as it goes into "operations".
    static std::string serialize(const WireOperation& operation);

private:
    static const std::string kHeadKey;
    static const std::string kOperationsKey;

    std::optional<platform::Value> m_head;
    std::vector<WireOperation> m_operations;
};

} // namespace morvix
