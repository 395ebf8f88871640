#pragma once
// The text of a JSON string token as the reader takes it from a response body.

#include <optional>
#include <string>
#include <string_view>

namespace morvix {

/// Turns the raw bytes between the quotes of a JSON string token into its text, strictly:
/// the bytes must be well-formed UTF-8 (no overlong forms, no encoded surrogates, nothing
/// beyond U+10FFFF), and each escape is undone, with a `\u` escape of a lone surrogate (a high
/// one not followed by an escaped low one, or a low one alone) becoming U+FFFD. The parser
/// has already checked the token's syntax (escape letters, hexadecimal digits, no control
/// characters). Stateless; any thread.
class ProtocolString final {
public:
    /// The text of the token `content`, or nothing when it is not valid UTF-8.
    static std::optional<std::string> decode(std::string_view content);
    /// The same into `text`, which is emptied first and keeps its room (a reader decodes every
    /// escaped token into one buffer this way). False, with `text` unspecified, when `content`
    /// is not valid UTF-8.
    static bool decode(std::string_view content, std::string& text);
    /// True when `text` is well-formed UTF-8.
    static bool isValidUTF8(std::string_view text);

    ProtocolString() = delete;
};

} // namespace morvix
