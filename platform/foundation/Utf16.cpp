#include "platform/foundation/Utf16.h"

#include <cstdint>

namespace morvix::platform::utf16 {

namespace {

// The length in bytes of the UTF-8 sequence starting with `lead`, and the UTF-16 units it
// makes. Stray continuation bytes and invalid leads count as one byte, one unit.
struct Sequence {
    std::size_t bytes;
    std::size_t units;
};

Sequence sequenceAt(std::string_view text, std::size_t index)
{
    auto lead = static_cast<unsigned char>(text[index]);
    Sequence sequence { 1, 1 };
    if (lead >= 0xF0 && lead < 0xF8)
        sequence = { 4, 2 };
    else if (lead >= 0xE0 && lead < 0xF0)
        sequence = { 3, 1 };
    else if (lead >= 0xC0 && lead < 0xE0)
        sequence = { 2, 1 };
    // A sequence cut short by the end of the text is taken byte by byte.
    if (index + sequence.bytes > text.size())
        return { 1, 1 };
    return sequence;
}

// The range's end, held at the largest offset instead of wrapping around.
std::size_t saturatedEnd(TextRange range)
{
    return range.length > SIZE_MAX - range.location ? SIZE_MAX : range.location + range.length;
}

} // namespace

std::size_t length(std::string_view text)
{
    std::size_t units = 0;
    for (std::size_t index = 0; index < text.size();) {
        auto sequence = sequenceAt(text, index);
        index += sequence.bytes;
        units += sequence.units;
    }
    return units;
}

std::size_t byteIndex(std::string_view text, std::size_t offset)
{
    std::size_t units = 0;
    std::size_t index = 0;
    while (index < text.size()) {
        auto sequence = sequenceAt(text, index);
        if (units + sequence.units > offset)
            return index;
        index += sequence.bytes;
        units += sequence.units;
    }
    return text.size();
}

std::size_t offset(std::string_view text, std::size_t index)
{
    std::size_t units = 0;
    for (std::size_t at = 0; at < text.size();) {
        auto sequence = sequenceAt(text, at);
        if (at + sequence.bytes > index)
            return units;
        at += sequence.bytes;
        units += sequence.units;
    }
    return units;
}

std::size_t roundedOffset(std::string_view text, std::size_t offset)
{
    return utf16::offset(text, byteIndex(text, offset));
}

TextRange roundedRange(std::string_view text, TextRange range)
{
    std::size_t start = roundedOffset(text, range.location);
    std::size_t end = roundedOffset(text, saturatedEnd(range));
    return { start, end - start };
}

std::string_view substring(std::string_view text, TextRange range)
{
    std::size_t start = byteIndex(text, range.location);
    std::size_t end = byteIndex(text, saturatedEnd(range));
    return text.substr(start, end - start);
}

} // namespace morvix::platform::utf16
