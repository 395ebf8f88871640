#pragma once
// Reading property lists from response bodies.

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

#include <optional>
#include <string_view>

namespace morvix {

/// Property-list formats, with the platform's numbers.
enum class NetPropertyListFormat : unsigned long { OpenStep = 1, XML = 100, Binary = 200 };

/// Reads an XML or binary property list into a Value: dictionaries become maps (in document
/// order), arrays lists, strings strings, integers integers (unsigned values above the signed
/// range read back negative), reals floating numbers, booleans booleans, data binary values,
/// dates floating seconds since 2001-01-01 00:00 UTC, and UIDs integers. `options` (mutability)
/// makes no difference in C++. On failure (OpenStep text, corrupt data, nesting deeper than
/// `kNetMaxNestingDepth`) gives nothing and, when `error` is given, stores a
/// `NetCocoaErrorDomain` error with code 3840. When `format` is given it receives the format
/// read. Any thread.
std::optional<platform::Value> NetPropertyListWithData(std::string_view data, unsigned long options,
    NetPropertyListFormat* format, std::optional<platform::Error>* error);

} // namespace morvix
