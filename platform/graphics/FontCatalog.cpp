#include "platform/graphics/FontCatalog.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cassert>
#include <mutex>

namespace morvix::platform {

namespace {

std::optional<FontFace> faceFromPattern(FcPattern* pattern)
{
    FcChar8* family = nullptr;
    FcChar8* postscript = nullptr;
    if (FcPatternGetString(pattern, FC_FAMILY, 0, &family) != FcResultMatch)
        return std::nullopt;
    if (FcPatternGetString(pattern, FC_POSTSCRIPT_NAME, 0, &postscript) != FcResultMatch)
        return std::nullopt;
    FontFace face;
    face.familyName = reinterpret_cast<const char*>(family);
    face.faceName = reinterpret_cast<const char*>(postscript);
    FcPatternGetInteger(pattern, FC_WEIGHT, 0, &face.weight);
    FcPatternGetInteger(pattern, FC_SLANT, 0, &face.slant);
    FcPatternGetInteger(pattern, FC_WIDTH, 0, &face.width);
    return face;
}

// The face fontconfig's substitution rules pick for a family or generic name.
std::optional<FontFace> matchFace(const char* name)
{
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name));
    if (!pattern)
        return std::nullopt;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return std::nullopt;
    auto face = faceFromPattern(match);
    FcPatternDestroy(match);
    return face;
}

} // namespace

bool FontFace::isBold() const
{
    return weight >= FC_WEIGHT_DEMIBOLD;
}

bool FontFace::isItalic() const
{
    return slant != FC_SLANT_ROMAN;
}

const FontCatalog& FontCatalog::installed()
{
    static std::once_flag once;
    static const FontCatalog* catalog = nullptr;
    std::call_once(once, [] { catalog = new FontCatalog(); });
    return *catalog;
}

FontCatalog::FontCatalog()
{
    FcInit();
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_POSTSCRIPT_NAME, FC_WEIGHT, FC_SLANT, FC_WIDTH, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    for (int index = 0; set && index < set->nfont; ++index) {
        auto face = faceFromPattern(set->fonts[index]);
        if (!face || m_faces.count(face->faceName))
            continue;
        m_families[face->familyName].push_back(face->faceName);
        m_faces.emplace(face->faceName, std::move(*face));
    }
    if (set)
        FcFontSetDestroy(set);
    for (auto& [family, faces] : m_families) {
        std::sort(faces.begin(), faces.end());
        m_familyNames.push_back(family);
    }
    auto body = matchFace("sans-serif");
    assert(body && "fontconfig finds no face for sans-serif");
    if (body)
        m_preferredBody = *body;
}

std::vector<std::string> FontCatalog::faceNames(const std::string& familyName) const
{
    auto found = m_families.find(familyName);
    if (found == m_families.end())
        return {};
    return found->second;
}

const FontFace* FontCatalog::face(const std::string& faceName) const
{
    auto found = m_faces.find(faceName);
    return found == m_faces.end() ? nullptr : &found->second;
}

std::vector<const FontFace*> FontCatalog::faces(const std::string& familyName) const
{
    std::vector<const FontFace*> result;
    for (const auto& name : faceNames(familyName))
        result.push_back(face(name));
    return result;
}

} // namespace morvix::platform
