#pragma once
// Reading property lists from response bodies.

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace morvix {

/// Property-list formats, with the platform's numbers.
enum class NetPropertyListFormat : unsigned long { OpenStep = 1, XML = 100, Binary = 200 };

/// The least that the tree read from a binary property list may cost, counted as 64 bytes a
/// node plus the bytes of its strings and data. A binary list may share one member between
/// many containers, and reading copies it into each, so a list of a few hundred bytes could
/// expand to billions of nodes. A list may expand to this, or to as much as a list of its size
/// without shared members could (64 for each of its bytes), whichever is larger.
inline constexpr std::uint64_t kNetMaxExpandedPropertyList = std::uint64_t(32) << 20;

/// Reads an XML or binary property list into a Value: dictionaries become maps (in document
/// order), arrays lists, strings strings, integers integers (unsigned values above the signed
/// range read back negative), reals floating numbers, booleans booleans, data binary values,
/// dates floating seconds since 2001-01-01 00:00 UTC, and UIDs integers. `options` (mutability)
/// makes no difference in C++. On failure (OpenStep text, corrupt data, nesting deeper than
/// `kNetMaxNestingDepth`, a binary list that would expand past its bound) gives nothing and,
/// when `error` is given, stores a `NetCocoaErrorDomain` error with code 3840. The bounds are
/// checked before the list is parsed. When `format` is given it receives the format read. Any
/// thread.
std::optional<platform::Value> NetPropertyListWithData(std::string_view data, unsigned long options,
    NetPropertyListFormat* format, std::optional<platform::Error>* error);

} // namespace morvix
