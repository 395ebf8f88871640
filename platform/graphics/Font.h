#pragma once
// A font: an installed face at a point size.

#include "platform/graphics/FontCatalog.h"

#include <memory>
#include <optional>
#include <string>

typedef struct _PangoFontDescription PangoFontDescription;

namespace morvix::platform {

/// The style traits a font is asked for or has.
struct FontTraits {
    bool bold = false;
    bool italic = false;

    bool operator==(const FontTraits&) const = default;
};

/// An installed face at a point size, drawn and measured through pango at 72 dpi (a point is one
/// user unit). Plain value type: cheap to copy, equal when face, family, size and traits are
/// equal. Made only from installed faces, so a Font always draws with the face it names. Any
/// thread; the metrics take the font backend's lock.
class Font {
public:
    /// The installed face with this PostScript name at the size, or nothing when no such face is
    /// installed. "Menlo-Regular" and "Menlo-Bold", which Linux lacks, give the DejaVu Sans Mono
    /// faces. Sizes below 0 become 0; sizes above `kMaximumPointSize` are clamped to it.
    static std::optional<Font> withName(const std::string& faceName, double pointSize);
    /// The system font: the preferred body face ("sans-serif") at the size, in the variant
    /// with the traits when the family has one.
    static Font system(double pointSize, FontTraits traits = {});

    /// The face of the same family with exactly these traits, at the same size; nothing when the
    /// family has no such face. Among several candidates the one of the same width and nearest
    /// to a regular (or, for bold, a bold) weight is taken.
    std::optional<Font> withTraits(FontTraits traits) const;
    /// The same face at another size.
    Font withSize(double pointSize) const;

    const std::string& faceName() const { return m_face.faceName; }
    const std::string& familyName() const { return m_face.familyName; }
    double pointSize() const { return m_pointSize; }
    FontTraits traits() const { return { m_face.isBold(), m_face.isItalic() }; }
    bool isBold() const { return m_face.isBold(); }
    bool isItalic() const { return m_face.isItalic(); }

    /// Distance from the baseline to the top of the line, positive.
    double ascent() const;
    /// Distance from the baseline to the bottom of the line, positive.
    double descent() const;
    /// Extra space the face asks for between lines (0 for most faces).
    double leading() const;
    /// ascent + descent + leading.
    double lineHeight() const { return ascent() + descent() + leading(); }

    /// The pango description of this font, owned by the font. Only while holding
    /// `FontBackend::lock()` when handed to pango.
    const PangoFontDescription* pangoDescription() const { return m_description.get(); }

    bool operator==(const Font& other) const;

    static constexpr double kMaximumPointSize = 10000;

private:
    Font(FontFace face, double pointSize);
    struct Metrics {
        double ascent = 0;
        double descent = 0;
        double leading = 0;
    };
    const Metrics& metrics() const;

    FontFace m_face;
    double m_pointSize = 0;
    std::shared_ptr<PangoFontDescription> m_description;
    std::shared_ptr<std::optional<Metrics>> m_metrics;
};

} // namespace morvix::platform
