#pragma once
// The outgoing JSON document of the server protocol.

#include "platform/foundation/Value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace morvix {

/// One request body: {"head": {...}, "operations": [...]}. "head" is present only when it has
/// attributes; "operations" is always written, empty or not. A value type: the binding builds
/// it, the transport adds the request counter and serialises it.
///
/// Serialisation is compact UTF-8 JSON. Integers are written as integers, floating numbers in
/// their shortest form that reads back as the same number (0.1 stays 0.1), booleans as true
/// and false. A number that is not finite (NaN, infinity) is written as null with a logged
/// warning, and so is a container nested too deeply for the generator, so the body is always
/// valid JSON.
class ServerMessage {
public:
    ServerMessage() = default;
    /// Takes `head` as "head" only when it is a non-empty object, and `operations` as
    /// "operations" only when it is not empty.
    ServerMessage(platform::Value head, std::vector<platform::Value> operations);

    /// The "head" object, created empty on first use.
    platform::Value& getHead();
    /// The "operations" array, created empty on first use.
    platform::Value& getOperations();
    /// Sets "head"."requestCounter".
    void setRequestCounter(std::int64_t counter);

    /// The document as compact JSON text.
    std::string serialize();
    /// The document itself, with "operations" present.
    const platform::Value& json();

    /// Writes `value` as compact JSON with the rules above.
    static std::string serialize(const platform::Value& value);

private:
    platform::Value m_dictionary = platform::Value::object();
};

} // namespace morvix
