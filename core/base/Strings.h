#pragma once
// Small text helpers of the client core.

#include <optional>
#include <string>
#include <string_view>

namespace morvix {

/// Text helpers: joining lines, dropping tabs, MD5 names and percent-encoding. Texts are UTF-8.
/// Stateless; any thread. Where a caller may have no text, it maps its `std::optional` through
/// these (an absent text gives an absent result).
class Strings final {
public:
    Strings() = delete;

    /// The text with every line-break character removed, the pieces joined with nothing in
    /// between: LF, VT, FF, CR, U+0085, U+2028 and U+2029 ("a\r\nb" gives "ab").
    static std::string toSingleLine(std::string_view text);
    /// The text with every tab character removed.
    static std::string removeTabs(std::string_view text);
    /// The MD5 digest of the text's bytes up to the first zero byte, as 32 lower-case
    /// hexadecimal digits. Patch folders are named with it, so the truncation stays.
    static std::string MD5(std::string_view text);
    /// The text percent-escaped in the character encoding `encoding` (an ICU converter name
    /// such as "UTF-8" or "ISO-8859-1"): only A-Z, a-z, 0-9 and "-._~" stay as they are; every
    /// other byte of the encoded text becomes "%XX" with upper-case hexadecimal digits. Nothing
    /// when the text is not valid UTF-8, the encoding is unknown or cannot hold a character.
    static std::optional<std::string> urlEncodeUsingEncoding(std::string_view text, std::string_view encoding = "UTF-8");

private:
    static std::optional<std::string> encode(std::string_view text, std::string_view encoding);
};

} // namespace morvix
