#include "widgets/text/FontRegistry.h"

#include "platform/graphics/FontCatalog.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <string_view>

namespace morvix {

namespace {

bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool isLightOrCondensed(std::string_view name)
{
    return contains(name, "Light") || contains(name, "Condensed");
}

bool caseInsensitiveLess(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) < std::tolower(y);
    });
}

// The pairwise preference between two faces: true when `a` belongs after `b`. The rules that
// look only at `a` (or only at `b`) answer the same for both orders of two such faces, so this
// relation is not an ordering on its own; `sortFontNames` uses it only in an insertion sort,
// which never needs it to be one.
bool sortsAfter(std::string_view a, std::string_view b)
{
    if (contains(a, "BookOblique") || contains(a, "MediumOblique"))
        return true;
    if (contains(a, "Book") && contains(b, "Roman"))
        return true;
    if (contains(a, "Roman") && contains(b, "Book"))
        return false;
    if (contains(a, "Medium") && contains(b, "Roman"))
        return true;
    if (contains(a, "Roman") && contains(b, "Medium"))
        return false;
    if (contains(a, "Medium") && contains(b, "Regular"))
        return true;
    if (contains(a, "Regular") && contains(b, "Medium"))
        return false;
    if (contains(a, "Black") && contains(b, "Heavy"))
        return true;
    if (contains(a, "Heavy") && contains(b, "Black"))
        return false;
    if (contains(a, "Bold") && contains(b, "Black"))
        return false;
    if (contains(a, "Black") && contains(b, "Bold"))
        return true;
    if (isLightOrCondensed(a))
        return true;
    if (isLightOrCondensed(b))
        return false;
    return caseInsensitiveLess(b, a);
}

} // namespace

const FontRegistry& FontRegistry::instance()
{
    static std::once_flag once;
    static const FontRegistry* registry = nullptr;
    std::call_once(once, [] {
        const auto& catalog = platform::FontCatalog::installed();
        std::vector<Family> families;
        for (const auto& family : catalog.familyNames())
            families.emplace_back(family, catalog.faceNames(family));
        registry = new FontRegistry(families);
    });
    return *registry;
}

FontRegistry::FontRegistry(const std::vector<Family>& families)
{
    for (const auto& [family, faces] : families) {
        auto sorted = sortFontNames(faces);
        for (bool bold : { false, true }) {
            for (bool italic : { false, true })
                m_fonts[computeKey(family, bold, italic)] = computeFont(sorted, bold, italic);
        }
    }
}

std::optional<std::string> FontRegistry::fontForFamily(const std::string& family, bool bold, bool italic) const
{
    auto found = m_fonts.find(computeKey(family, bold, italic));
    if (found == m_fonts.end())
        return std::nullopt;
    return found->second;
}

std::string FontRegistry::computeKey(const std::string& family, bool bold, bool italic)
{
    return family + ";" + (bold ? "1" : "0") + ";" + (italic ? "1" : "0");
}

bool FontRegistry::isBold(const std::string& faceName)
{
    return contains(faceName, "Heavy") || contains(faceName, "Bold") || contains(faceName, "Black")
        || contains(faceName, "Wide") || endsWith(faceName, "-W6")
        || (endsWith(faceName, "-Medium") && contains(faceName, "Heiti"));
}

bool FontRegistry::isItalic(const std::string& faceName)
{
    return contains(faceName, "Italic") || contains(faceName, "Oblique") || endsWith(faceName, "It")
        || endsWith(faceName, "Ita");
}

std::vector<std::string> FontRegistry::sortFontNames(std::vector<std::string> faceNames)
{
    // Start from a fixed order so that the result does not depend on the order the platform
    // listed the faces in, then insert each face before the first face it does not sort after.
    std::sort(faceNames.begin(), faceNames.end());
    std::vector<std::string> sorted;
    for (auto& name : faceNames) {
        auto position = std::find_if(sorted.begin(), sorted.end(), [&](const std::string& placed) {
            return !sortsAfter(name, placed);
        });
        sorted.insert(position, std::move(name));
    }
    return sorted;
}

std::string FontRegistry::computeFont(const std::vector<std::string>& sortedFaces, bool bold, bool italic)
{
    for (const auto& face : sortedFaces) {
        if (isBold(face) == bold && isItalic(face) == italic)
            return face;
    }
    if (bold && italic)
        return kSystemBoldItalic;
    if (bold)
        return kSystemBold;
    if (italic)
        return kSystemItalic;
    return kSystemRegular;
}

} // namespace morvix
