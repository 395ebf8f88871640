#pragma once
// Counting UTF-8 text in UTF-16 code units, as the platform's strings and the peer do.

#include <cstddef>
#include <string>
#include <string_view>

namespace morvix::platform {

/// A range of a text in UTF-16 code units: where it starts and how many units it spans.
struct TextRange {
    std::size_t location = 0;
    std::size_t length = 0;

    std::size_t end() const { return location + length; }
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

/// Offsets into UTF-8 text counted in UTF-16 code units: a character outside the basic plane (a
/// four-byte UTF-8 sequence) counts two, every other character one. Wherever a text's length,
/// an offset, a selection or a limit is given in characters, it is counted this way.
///
/// Edges: an offset past the end is clamped to the length; an offset between the two units of a
/// surrogate pair moves to the pair's start, so a range never splits a character. Malformed
/// UTF-8 is counted byte by byte (each stray byte one unit) and never read past the end.
/// Any thread.
namespace utf16 {

/// The text's length in UTF-16 code units.
std::size_t length(std::string_view text);
/// The byte index in `text` of the UTF-16 offset `offset` (clamped, rounded to a pair's start).
std::size_t byteIndex(std::string_view text, std::size_t offset);
/// The UTF-16 offset of the byte index `index`; an index inside a UTF-8 sequence counts as the
/// sequence's start, one past the end as the length.
std::size_t offset(std::string_view text, std::size_t index);
/// `offset` clamped to the text and moved to the start of a surrogate pair it falls inside.
std::size_t roundedOffset(std::string_view text, std::size_t offset);
/// `range` with both ends rounded as `roundedOffset` rounds them.
TextRange roundedRange(std::string_view text, TextRange range);
/// The part of `text` that `range` covers (after rounding).
std::string_view substring(std::string_view text, TextRange range);
/// `text` in lower case by the root locale's full case mapping (ICU), so the length may change
/// ("\u0130" becomes two units). Malformed UTF-8 comes back as it was.
std::string lowercased(std::string_view text);

} // namespace utf16

} // namespace morvix::platform
