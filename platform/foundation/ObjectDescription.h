#pragma once
// The platform's default description of an object, as script results are reported in.

#include "platform/foundation/Value.h"

#include <cstddef>
#include <optional>
#include <string>

namespace morvix::platform {

/// The text the platform's default object description gives for a value that came back from a
/// script, as opposed to `describe`, which is a single-line rendering for logs. The rules:
/// - a number: the shortest decimal that reads back as it ("42", "0.5"), no fraction for whole
///   numbers;
/// - a boolean: the platform's number for it, "1" or "0";
/// - a string at the top level: unchanged;
/// - null: "<null>";
/// - an array: "(", each element on a line of its own indented four spaces and followed by ","
///   except the last, then ")" at the array's own indentation: "(\n    a,\n    b\n)"; an empty
///   array "(\n)";
/// - an object: "{", one line "key = value;" per member in the keys' sorted (byte) order, indented
///   four spaces, then "}": "{\n    key = value;\n}"; an empty object "{\n}";
/// - nesting indents each level four spaces more than its container;
/// - inside an array or object, strings (keys included) stand bare when they are non-empty and
///   made only of ASCII letters, digits and "_"; every other string is quoted, with '"' and '\'
///   escaped by a backslash and a line break written "\n".
/// Any thread.
std::string objectDescription(const Value& value);
/// The same description, written only while it holds at most `maximumSize` bytes and the value
/// nests at most `maximumDepth` levels below the top; nothing when either is passed (the writing
/// stops there). Any thread.
std::optional<std::string> objectDescription(const Value& value, std::size_t maximumSize, std::size_t maximumDepth);

} // namespace morvix::platform
