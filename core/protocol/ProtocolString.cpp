#include "core/protocol/ProtocolString.h"

#include <cstdint>
#include <cstring>

namespace morvix {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed sequence that starts `text`, or 0 when it is malformed. The
// second byte's range excludes the overlong forms (after E0 and F0), the surrogates (after ED)
// and what lies beyond U+10FFFF (after F4).
std::size_t sequenceLength(const unsigned char* text, std::size_t available)
{
    unsigned char lead = text[0];
    if (lead < 0x80)
        return 1;
    std::size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || length > available)
        return 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead == 0xE0)
        low = 0xA0;
    else if (lead == 0xED)
        high = 0x9F;
    else if (lead == 0xF0)
        low = 0x90;
    else if (lead == 0xF4)
        high = 0x8F;
    if (text[1] < low || text[1] > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(text[i]))
            return 0;
    }
    return length;
}

bool hasNonASCII(const unsigned char* text)
{
    std::uint64_t word;
    std::memcpy(&word, text, sizeof word);
    return (word & 0x8080808080808080ull) != 0;
}

int hexValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

// The four hexadecimal digits of a `\u` escape at `text[at]`; -1 when they are not there.
long escapedUnit(std::string_view text, std::size_t at)
{
    if (at + 4 > text.size())
        return -1;
    long unit = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        int digit = hexValue(text[i]);
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

void appendUTF8(std::string& text, char32_t character)
{
    if (character < 0x80) {
        text += static_cast<char>(character);
    } else if (character < 0x800) {
        text += static_cast<char>(0xC0 | (character >> 6));
        text += static_cast<char>(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        text += static_cast<char>(0xE0 | (character >> 12));
        text += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (character >> 18));
        text += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (character & 0x3F));
    }
}

// Undoes the `\u` escape at `content[at]` (the backslash) and returns how many bytes it took,
// 0 when it is malformed. A surrogate pair takes both escapes; a lone surrogate is U+FFFD.
std::size_t appendUnicodeEscape(std::string& text, std::string_view content, std::size_t at)
{
    long unit = escapedUnit(content, at + 2);
    if (unit < 0)
        return 0;
    bool isHigh = unit >= 0xD800 && unit <= 0xDBFF;
    bool isLow = unit >= 0xDC00 && unit <= 0xDFFF;
    if (isHigh && content.substr(at + 6, 2) == "\\u") {
        long next = escapedUnit(content, at + 8);
        if (next >= 0xDC00 && next <= 0xDFFF) {
            appendUTF8(text, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (static_cast<char32_t>(next) - 0xDC00));
            return 12;
        }
    }
    appendUTF8(text, isHigh || isLow ? kReplacementCharacter : static_cast<char32_t>(unit));
    return 6;
}

// Undoes the escape at `content[at]` (the backslash); returns how many bytes it took, 0 when
// it is malformed.
std::size_t appendEscape(std::string& text, std::string_view content, std::size_t at)
{
    if (at + 1 >= content.size())
        return 0;
    switch (content[at + 1]) {
    case '"':
    case '\\':
    case '/':
        text += content[at + 1];
        return 2;
    case 'b':
        text += '\b';
        return 2;
    case 'f':
        text += '\f';
        return 2;
    case 'n':
        text += '\n';
        return 2;
    case 'r':
        text += '\r';
        return 2;
    case 't':
        text += '\t';
        return 2;
    case 'u':
        return appendUnicodeEscape(text, content, at);
    }
    return 0;
}

} // namespace

bool ProtocolString::isValidUTF8(std::string_view text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        // Most text is ASCII: step over it a word at a time.
        while (i + 8 <= size && !hasNonASCII(bytes + i))
            i += 8;
        if (i == size)
            break;
        std::size_t length = sequenceLength(bytes + i, size - i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::optional<std::string> ProtocolString::decode(std::string_view content)
{
    std::string text;
    if (!decode(content, text))
        return std::nullopt;
    return text;
}

bool ProtocolString::decode(std::string_view content, std::string& text)
{
    text.clear();
    text.reserve(content.size());
    std::size_t i = 0;
    while (i < content.size()) {
        std::size_t escape = content.find('\\', i);
        std::string_view plain = content.substr(i, escape == std::string_view::npos ? std::string_view::npos : escape - i);
        if (!isValidUTF8(plain))
            return false;
        text += plain;
        if (escape == std::string_view::npos)
            break;
        std::size_t taken = appendEscape(text, content, escape);
        if (taken == 0)
            return false;
        i = escape + taken;
    }
    return true;
}

} // namespace morvix
