#pragma once
// The face to use for each installed family and pair of traits.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace morvix {

/// A table from "family;bold;italic" (for example "DejaVu Sans;1;0") to the name of the face
/// that family uses for those traits, built once from the installed fonts. Where a family has no
/// face of a kind, the entry is one of the four system-font description texts
/// (`kSystemRegular` ...), which the resolver turns into the system font with those traits.
/// The process-wide instance is built on first use under `std::call_once` and is read-only
/// afterwards, so it may be used from any thread; fonts installed later are not seen.
class FontRegistry final {
public:
    /// A family name with the names of its faces.
    using Family = std::pair<std::string, std::vector<std::string>>;

    /// The registry of the installed fonts.
    static const FontRegistry& instance();
    /// A registry of the given families, in that order (tests give their own).
    explicit FontRegistry(const std::vector<Family>& families);

    /// The face name (or system-font description text) for the family and traits; nothing
    /// for a family the registry does not know.
    std::optional<std::string> fontForFamily(const std::string& family, bool bold, bool italic) const;

    /// "family;bold;italic" with the flags as 0 or 1.
    static std::string computeKey(const std::string& family, bool bold, bool italic);
    /// Face-name classifiers: names containing "Italic" or "Oblique", or ending in "It" or
    /// "Ita", are italic; names containing "Heavy", "Bold", "Black" or "Wide", ending in "-W6",
    /// or ending in "-Medium" while containing "Heiti", are bold.
    static bool isBold(const std::string& faceName);
    static bool isItalic(const std::string& faceName);
    /// The faces in order of preference: "Roman" before "Book" and "Medium", "Regular" before
    /// "Medium", "Heavy" before "Black" before "Bold", "Light" and "Condensed" faces last, and
    /// otherwise alphabetically without regard to case. Deterministic for any input order.
    static std::vector<std::string> sortFontNames(std::vector<std::string> faceNames);

    static constexpr const char* kSystemRegular = "font-family: \".SFUIText-Regular\"; font-weight: normal; font-style: normal;";
    static constexpr const char* kSystemBold = "font-family: \".SFUIText-Semibold\"; font-weight: bold; font-style: normal;";
    static constexpr const char* kSystemItalic = "font-family: \".SFUIText-Italic\"; font-weight: normal; font-style: italic;";
    static constexpr const char* kSystemBoldItalic = "font-family: \".SFUIText-SemiboldItalic\"; font-weight: bold; font-style: italic;";

private:
    static std::string computeFont(const std::vector<std::string>& sortedFaces, bool bold, bool italic);

    std::map<std::string, std::string> m_fonts;
};

} // namespace morvix
