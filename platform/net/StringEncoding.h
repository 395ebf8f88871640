#pragma once
// Text encodings of response bodies.

#include <optional>
#include <string>
#include <string_view>

namespace morvix::platform {

/// A text encoding, numbered as the platform numbers them; 0 means none.
using StringEncoding = unsigned long;

inline constexpr StringEncoding kASCIIStringEncoding = 1;
inline constexpr StringEncoding kJapaneseEUCStringEncoding = 3;
inline constexpr StringEncoding kUTF8StringEncoding = 4;
inline constexpr StringEncoding kISOLatin1StringEncoding = 5;
inline constexpr StringEncoding kShiftJISStringEncoding = 8;
inline constexpr StringEncoding kISOLatin2StringEncoding = 9;
inline constexpr StringEncoding kUTF16StringEncoding = 10;
inline constexpr StringEncoding kWindowsCP1251StringEncoding = 11;
inline constexpr StringEncoding kWindowsCP1252StringEncoding = 12;
inline constexpr StringEncoding kWindowsCP1253StringEncoding = 13;
inline constexpr StringEncoding kWindowsCP1254StringEncoding = 14;
inline constexpr StringEncoding kWindowsCP1250StringEncoding = 15;
inline constexpr StringEncoding kISO2022JPStringEncoding = 21;
inline constexpr StringEncoding kMacOSRomanStringEncoding = 30;
inline constexpr StringEncoding kUTF16BigEndianStringEncoding = 0x90000100;
inline constexpr StringEncoding kUTF16LittleEndianStringEncoding = 0x94000100;
inline constexpr StringEncoding kUTF32StringEncoding = 0x8c000100;
inline constexpr StringEncoding kUTF32BigEndianStringEncoding = 0x98000100;
inline constexpr StringEncoding kUTF32LittleEndianStringEncoding = 0x9c000100;

/// The encoding an IANA character-set name ("utf-8", "ISO-8859-1", "latin1", "windows-1252")
/// stands for, compared without regard to case; 0 when the name is not known. Any thread.
StringEncoding stringEncodingForIANACharsetName(std::string_view name);

/// `bytes` decoded from `encoding` into UTF-8; nothing when the bytes are not valid in that
/// encoding or the encoding is not known (strict: nothing is replaced). Any thread.
std::optional<std::string> decodeString(std::string_view bytes, StringEncoding encoding);

/// `text` (UTF-8) encoded in `encoding`; nothing when a character has no place in that encoding,
/// the text is not valid UTF-8, or the encoding is not known (strict: nothing is replaced).
/// UTF-16 and UTF-32 without an order are written as the converter writes them (big-endian,
/// with a byte-order mark). Any thread.
std::optional<std::string> encodeString(std::string_view text, StringEncoding encoding);

} // namespace morvix::platform
