#include "platform/foundation/Utf16.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <cstdint>
#include <vector>

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

std::string lowercased(std::string_view text)
{
    if (text.empty())
        return {};
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t units = 0;
    u_strFromUTF8(nullptr, 0, &units, text.data(), static_cast<std::int32_t>(text.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return std::string(text);
    std::vector<UChar> source(static_cast<std::size_t>(units) + 1);
    status = U_ZERO_ERROR;
    u_strFromUTF8(source.data(), units + 1, nullptr, text.data(), static_cast<std::int32_t>(text.size()), &status);
    if (U_FAILURE(status))
        return std::string(text);
    // Full case mapping can grow a text; ask for the size first.
    status = U_ZERO_ERROR;
    std::int32_t lowerUnits = u_strToLower(nullptr, 0, source.data(), units, "", &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return std::string(text);
    std::vector<UChar> lower(static_cast<std::size_t>(lowerUnits) + 1);
    status = U_ZERO_ERROR;
    u_strToLower(lower.data(), lowerUnits + 1, source.data(), units, "", &status);
    if (U_FAILURE(status))
        return std::string(text);
    std::int32_t bytes = 0;
    status = U_ZERO_ERROR;
    u_strToUTF8(nullptr, 0, &bytes, lower.data(), lowerUnits, &status);
    std::string result(static_cast<std::size_t>(bytes), '\0');
    status = U_ZERO_ERROR;
    u_strToUTF8(result.data(), bytes, nullptr, lower.data(), lowerUnits, &status);
    return U_FAILURE(status) ? std::string(text) : result;
}

} // namespace morvix::platform::utf16
