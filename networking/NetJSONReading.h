#pragma once
// Reading JSON and text from response bodies.

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace morvix {

/// Reading options of `NetJSONObjectWithData`, as bits.
enum NetJSONReadingOptions : unsigned long {
    /// Containers are handed out mutable. Values are always mutable in C++; kept for callers.
    NetJSONReadingMutableContainers = 1,
    /// Leaves are handed out mutable. Likewise without effect.
    NetJSONReadingMutableLeaves = 2,
    /// A scalar (string, number, boolean, null) is accepted at the top level.
    NetJSONReadingAllowFragments = 4,
};

/// The error domain and code of JSON and property-list syntax errors.
inline constexpr const char* NetCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr long NetPropertyListReadCorruptError = 3840;

/// The deepest nesting of lists and maps a body may have; deeper bodies are refused as
/// corrupt rather than risk the stack on untrusted input.
inline constexpr int kNetMaxNestingDepth = 512;

/// Parses UTF-8 JSON into an ordered Value. Without `NetJSONReadingAllowFragments` the top
/// level must be a list or a map. On failure gives nothing and, when `error` is given, stores
/// a `NetCocoaErrorDomain` error with code 3840. Any thread.
std::optional<platform::Value> NetJSONObjectWithData(std::string_view utf8, unsigned long options,
    std::optional<platform::Error>* error);

/// Removes, recursively, every map entry whose value is null; nulls inside lists stay.
/// `options` only says whether the containers are handed out mutable, which makes no
/// difference in C++.
platform::Value NetJSONObjectByRemovingKeysWithNullValues(const platform::Value& object, unsigned long options);

/// Decodes `bytes` in the character set named `charset` (an IANA name) into UTF-8. Nothing
/// when the set is unknown or the bytes are not valid in it. Any thread.
std::optional<std::string> NetDecodeText(std::string_view bytes, const std::string& charset);

/// As `NetDecodeText`, but invalid sequences become U+FFFD; for messages.
std::string NetDecodeTextLossily(std::string_view bytes, const std::string& charset);

/// True when ICU knows `charset`.
bool NetIsKnownCharset(const std::string& charset);

} // namespace morvix
