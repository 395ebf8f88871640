#pragma once
// The JSON value model shared by the whole library.

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace morvix::platform {

/// A JSON value as it travels on the wire: null, boolean, integer, floating number, string,
/// array or object. Objects keep the order in which their keys arrived (or were inserted),
/// which the protocol depends on. "Nothing" (an absent value) is not a Value: it is a null
/// `const Value*` or an empty `std::optional<Value>`, and it is never the same as JSON null.
///
/// nlohmann's `operator==` keeps `true` apart from `1` and compares objects in key order; where
/// the library compares values the way the protocol means it, it uses `valuesEqual`.
using Value = nlohmann::ordered_json;

/// True for integers, floating numbers and booleans: a boolean counts as a number wherever the
/// protocol asks for a number.
bool isNumber(const Value& value);

/// The numeric value of a number (booleans give 0 or 1); nothing for every other kind.
std::optional<double> numberValue(const Value& value);

/// The protocol's equality: numbers compare by value (1 == 1.0, true == 1), objects without
/// regard to key order, arrays element by element, everything else by kind and content.
bool valuesEqual(const Value& a, const Value& b);

/// The platform's boolean reading of a value: a boolean as it is; a number when it is not 0; a
/// string when, after leading blanks, a sign and zeros, it begins with Y, y, T, t or a digit
/// 1 to 9; anything else false.
bool boolValue(const Value& value);

/// A readable, single-line rendering for logs and diagnostics: strings stand as they are,
/// everything else as compact JSON.
std::string describe(const Value& value);

/// Empties every array and object inside `value`, innermost first, leaving `value` an empty
/// container (scalars are left as they are). nlohmann destroys a container through a work list
/// it allocates on the heap; a value emptied this way is destroyed without one. Recursion
/// depth is the value's nesting depth: for values whose depth is bounded, such as those the
/// response reader builds.
void dismantle(Value& value);

/// The name of a value's kind as diagnostics print it: "null", "boolean", "number", "string",
/// "array" or "object".
std::string kindName(const Value& value);

/// The shortest decimal text that reads back as the same number (1, 0.5, 1e+21); booleans give
/// "1" or "0". Precondition: `isNumber(value)`.
std::string numberText(const Value& value);

/// How deeply the arrays and objects of a JSON text nest, counted outside strings, without
/// parsing it: a check before a parser that recurses is given text from elsewhere. Stops
/// counting once the depth goes past `stopPast`.
std::size_t jsonNestingDepth(std::string_view text, std::size_t stopPast = std::string_view::npos);

} // namespace morvix::platform
