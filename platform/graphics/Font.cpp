#include "platform/graphics/Font.h"

#include "platform/graphics/FontBackend.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace morvix::platform {

namespace {

PangoStretch stretchForWidth(int width)
{
    struct Step {
        int width;
        PangoStretch stretch;
    };
    static constexpr Step steps[] = {
        { FC_WIDTH_ULTRACONDENSED, PANGO_STRETCH_ULTRA_CONDENSED },
        { FC_WIDTH_EXTRACONDENSED, PANGO_STRETCH_EXTRA_CONDENSED },
        { FC_WIDTH_CONDENSED, PANGO_STRETCH_CONDENSED },
        { FC_WIDTH_SEMICONDENSED, PANGO_STRETCH_SEMI_CONDENSED },
        { FC_WIDTH_NORMAL, PANGO_STRETCH_NORMAL },
        { FC_WIDTH_SEMIEXPANDED, PANGO_STRETCH_SEMI_EXPANDED },
        { FC_WIDTH_EXPANDED, PANGO_STRETCH_EXPANDED },
        { FC_WIDTH_EXTRAEXPANDED, PANGO_STRETCH_EXTRA_EXPANDED },
        { FC_WIDTH_ULTRAEXPANDED, PANGO_STRETCH_ULTRA_EXPANDED },
    };
    const Step* best = &steps[4];
    for (const auto& step : steps) {
        if (std::abs(step.width - width) < std::abs(best->width - width))
            best = &step;
    }
    return best->stretch;
}

PangoStyle styleForSlant(int slant)
{
    if (slant == FC_SLANT_ITALIC)
        return PANGO_STYLE_ITALIC;
    if (slant == FC_SLANT_OBLIQUE)
        return PANGO_STYLE_OBLIQUE;
    return PANGO_STYLE_NORMAL;
}

double clampedSize(double pointSize)
{
    if (!(pointSize > 0)) // also catches NaN
        return 0;
    return std::min(pointSize, Font::kMaximumPointSize);
}

// How well a face fits a wish for traits and width; lower is better.
int traitDistance(const FontFace& face, FontTraits traits, int width)
{
    int wantedWeight = traits.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
    return std::abs(face.width - width) * 1000 + std::abs(face.weight - wantedWeight);
}

// Faces the library asks for by name that Linux does not ship, each with the installed face that
// stands in for it: the developer console's monospaced faces become DejaVu Sans Mono.
constexpr std::pair<std::string_view, std::string_view> kFaceStandIns[] = {
    { "Menlo-Regular", "DejaVuSansMono" },
    { "Menlo-Bold", "DejaVuSansMono-Bold" },
};

const FontFace* installedFace(const std::string& faceName)
{
    const auto& catalog = FontCatalog::installed();
    if (const FontFace* face = catalog.face(faceName))
        return face;
    for (const auto& [name, standIn] : kFaceStandIns) {
        if (name == faceName)
            return catalog.face(std::string(standIn));
    }
    return nullptr;
}

} // namespace

Font::Font(FontFace face, double pointSize)
    : m_face(std::move(face))
    , m_pointSize(clampedSize(pointSize))
    , m_metrics(std::make_shared<std::optional<Metrics>>())
{
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, m_face.familyName.c_str());
    pango_font_description_set_weight(description, static_cast<PangoWeight>(FcWeightToOpenType(m_face.weight)));
    pango_font_description_set_style(description, styleForSlant(m_face.slant));
    pango_font_description_set_stretch(description, stretchForWidth(m_face.width));
    pango_font_description_set_size(description, static_cast<int>(std::lround(m_pointSize * PANGO_SCALE)));
    m_description.reset(description, pango_font_description_free);
}

std::optional<Font> Font::withName(const std::string& faceName, double pointSize)
{
    const FontFace* face = installedFace(faceName);
    if (!face)
        return std::nullopt;
    return Font(*face, pointSize);
}

Font Font::system(double pointSize, FontTraits traits)
{
    Font plain(FontCatalog::installed().preferredBodyFace(), pointSize);
    return plain.withTraits(traits).value_or(plain);
}

std::optional<Font> Font::withTraits(FontTraits traits) const
{
    if (this->traits() == traits)
        return *this;
    const FontFace* best = nullptr;
    for (const FontFace* face : FontCatalog::installed().faces(m_face.familyName)) {
        if (face->isBold() != traits.bold || face->isItalic() != traits.italic)
            continue;
        if (!best || traitDistance(*face, traits, m_face.width) < traitDistance(*best, traits, m_face.width))
            best = face;
    }
    if (!best)
        return std::nullopt;
    return Font(*best, m_pointSize);
}

Font Font::withSize(double pointSize) const
{
    return Font(m_face, pointSize);
}

bool Font::operator==(const Font& other) const
{
    return m_face.faceName == other.m_face.faceName && m_face.familyName == other.m_face.familyName
        && m_pointSize == other.m_pointSize && traits() == other.traits();
}

const Font::Metrics& Font::metrics() const
{
    auto lock = FontBackend::lock();
    if (m_metrics->has_value())
        return **m_metrics;
    PangoFontMetrics* pangoMetrics = pango_context_get_metrics(FontBackend::context(), m_description.get(), nullptr);
    Metrics metrics;
    metrics.ascent = double(pango_font_metrics_get_ascent(pangoMetrics)) / PANGO_SCALE;
    metrics.descent = double(pango_font_metrics_get_descent(pangoMetrics)) / PANGO_SCALE;
    double height = double(pango_font_metrics_get_height(pangoMetrics)) / PANGO_SCALE;
    metrics.leading = std::max(0.0, height - metrics.ascent - metrics.descent);
    pango_font_metrics_unref(pangoMetrics);
    *m_metrics = metrics;
    return **m_metrics;
}

double Font::ascent() const
{
    return metrics().ascent;
}

double Font::descent() const
{
    return metrics().descent;
}

double Font::leading() const
{
    return metrics().leading;
}

} // namespace morvix::platform
