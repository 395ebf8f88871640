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
/// Serialisation is compact UTF-8 JSON. Integers are written as integers, floating numbers in
/// their shortest form that reads back as the same number (0.1 stays 0.1), booleans as true
/// and false. A whole floating number is written as an integer (peers read bounds and indices
/// that were computed in floating point as integers), except as the value of a property
/// declared floating-point (`declareFloatingPoint`) in a set operation: "2.0", "-60.0". A number that is not finite (NaN, infinity) is written as null with a logged
/// warning, and so is a container nested too deeply for the generator. Strings (keys too) that
/// are not well-formed UTF-8 are written with each ill-formed sequence replaced by U+FFFD, and
/// one warning per message says how many were replaced. So the body is always valid JSON.
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

    /// Declares the property `key` of the object `target` floating-point by its nature, so that
    /// a whole number set for it keeps its fraction on the wire ("0.0", not "0"). Only the top
    /// level of set operations addressed to `target` is concerned. Declaring twice does
    /// nothing; nothing takes a declaration back. Any thread.
    static void declareFloatingPoint(const std::string& target, const std::string& key);
    static bool isFloatingPoint(const std::string& target, const std::string& key);

private:
    static const std::string kHeadKey;
    static const std::string kOperationsKey;

    std::optional<platform::Value> m_head;
    std::vector<WireOperation> m_operations;
};

} // namespace morvix
