#pragma once
// The fonts installed on this machine, as fontconfig lists them.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

/// One installed face: its PostScript name, the family it belongs to and its style as
/// fontconfig reports it (weights and widths on fontconfig's scales).
struct FontFace {
    std::string faceName;
    std::string familyName;
    int weight = 80;
    int slant = 0;
    int width = 100;

    /// Semibold and heavier counts as bold.
    bool isBold() const;
    /// Italic and oblique faces.
    bool isItalic() const;
};

/// The installed families and faces, read once from fontconfig on first use and kept for the
/// life of the process (fonts installed later are not seen). A family is named by the first
/// family name of its faces, a face by its PostScript name. Any thread: built under
/// `std::call_once`, read-only afterwards.
class FontCatalog final {
public:
    static const FontCatalog& installed();

    /// Every family name, sorted by byte order.
    const std::vector<std::string>& familyNames() const { return m_familyNames; }
    /// The PostScript names of a family's faces, sorted; empty for an unknown family.
    std::vector<std::string> faceNames(const std::string& familyName) const;
    bool hasFamily(const std::string& familyName) const { return m_families.count(familyName) != 0; }
    /// The face with this PostScript name, or nothing when it is not installed.
    const FontFace* face(const std::string& faceName) const;
    /// The faces of a family; empty for an unknown family.
    std::vector<const FontFace*> faces(const std::string& familyName) const;

    /// The face fontconfig picks for "sans-serif": the preferred face for body text and the
    /// face of the system font.
    const FontFace& preferredBodyFace() const { return m_preferredBody; }

    FontCatalog(const FontCatalog&) = delete;
    FontCatalog& operator=(const FontCatalog&) = delete;

private:
    FontCatalog();

    std::map<std::string, FontFace> m_faces;
    std::map<std::string, std::vector<std::string>> m_families;
    std::vector<std::string> m_familyNames;
    FontFace m_preferredBody;
};

} // namespace morvix::platform
