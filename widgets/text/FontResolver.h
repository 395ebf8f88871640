#pragma once
// Fonts from CSS-like description texts.

#include "platform/graphics/Font.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix {

/// Turns a font description text such as
/// `font-family: DejaVu Sans,serif; font-size: 14px; font-weight: bold;` into an installed
/// font. Declarations are separated by ";"; "font-family" (families separated by ","),
/// "font-size" (a leading number; any unit after it is ignored), "font-weight" (only "bold"
/// counts) and "font-style" (only "italic" counts) are read, names case-sensitively, the last
/// declaration of a property winning. A declaration that is only the property name, with
/// nothing after it, has no value. Stateless; any thread.
class FontResolver final {
public:
    /// The font of the first listed family that is installed (exact, case-sensitive family
    /// name), in the face the registry gives for the traits; the preferred body face when no
    /// family is installed. Never fails: a face that cannot be made falls back to the system
    /// font of the size and traits.
    static platform::Font fontWithDescription(std::string_view description);

    /// The size in points: the leading number of "font-size", read without regard to the
    /// process locale; 12 when there is none, or when it is not a finite number.
    static double extractSize(std::string_view description);
    /// True when "font-weight" is exactly "bold".
    static bool extractWeight(std::string_view description);
    /// True when "font-style" is exactly "italic".
    static bool extractStyle(std::string_view description);
    /// The trimmed text after the property name and one separator character, from the last
    /// declaration that begins with the name; nothing when none does, or when that declaration
    /// is the name alone.
    static std::optional<std::string> extractValue(std::string_view property, std::string_view description);

    /// The face name for the description's families and the traits: the registry's entry for
    /// the first installed family, or nothing.
    static std::optional<std::string> extractFontName(std::string_view description, bool bold, bool italic);
    /// The families of a "font-family" value, trimmed and normalised.
    static std::vector<std::string> splitFamilies(std::string_view families);
    /// Maps the generic names (compared in lower case): "sans-serif" to the system font's face
    /// name, "serif" to "Times New Roman" and "monospace" to "Courier New", each replaced by its
    /// installed metric-compatible stand-in where Linux lacks it. Other names stay as given.
    static std::string normalizeFamily(std::string_view family);
    /// The installed family of exactly this name, or nothing.
    static std::optional<std::string> findFamily(const std::string& name);

    /// The font for a face name (or a system-font description text from the registry) at the
    /// size with the traits; nothing when the face is not installed.
    static std::optional<platform::Font> computeFont(const std::string& faceName, double size, bool bold, bool italic);
    /// The system font of the size: bold when bold is asked for, else italic when italic is,
    /// else regular.
    static platform::Font computeFallbackFont(double size, bool bold, bool italic);

    /// The text without leading and trailing blanks, tabs and line ends.
    static std::string_view trim(std::string_view text);

    static constexpr double kDefaultSize = 12;
};

} // namespace morvix
