#include "platform/graphics/TextLayout.h"

#include "platform/graphics/FontBackend.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

namespace morvix::platform {

namespace {

guint16 colorChannel(float component)
{
    return static_cast<guint16>(std::lround(std::clamp(component, 0.0f, 1.0f) * 65535));
}

void addAttribute(PangoAttrList* list, PangoAttribute* attribute, const AttributedString::Run& run)
{
    attribute->start_index = static_cast<guint>(run.location);
    attribute->end_index = static_cast<guint>(run.location + run.length);
    pango_attr_list_insert(list, attribute);
}

PangoAttrList* attributeList(const AttributedString& text)
{
    PangoAttrList* list = pango_attr_list_new();
    for (const auto& run : text.runs()) {
        const TextAttributes& attributes = run.attributes;
        if (attributes.font)
            addAttribute(list, pango_attr_font_desc_new(attributes.font->pangoDescription()), run);
        if (const auto& color = attributes.foregroundColor) {
            addAttribute(list, pango_attr_foreground_new(colorChannel(color->red), colorChannel(color->green), colorChannel(color->blue)), run);
            addAttribute(list, pango_attr_foreground_alpha_new(colorChannel(color->alpha)), run);
        }
        if (attributes.underlineStyle && *attributes.underlineStyle != 0) {
            // A style of 9 asks for a double line; every other style draws a single one.
            auto underline = *attributes.underlineStyle == 9 ? PANGO_UNDERLINE_DOUBLE : PANGO_UNDERLINE_SINGLE;
            addAttribute(list, pango_attr_underline_new(underline), run);
        }
        if (attributes.strikethroughStyle && *attributes.strikethroughStyle != 0)
            addAttribute(list, pango_attr_strikethrough_new(TRUE), run);
    }
    return list;
}

// Pango widths are ints in 1/1024 points; "no limit" is -1, and large widths are clamped so
// that the conversion cannot overflow.
int pangoWrapWidth(const std::optional<double>& wrapWidth)
{
    if (!wrapWidth || !std::isfinite(*wrapWidth) || *wrapWidth <= 0)
        return -1;
    double clamped = std::min(*wrapWidth, TextLayout::kMaximumWrapWidth);
    return std::max(1, static_cast<int>(clamped * PANGO_SCALE));
}

PangoAlignment pangoAlignment(TextAlignment alignment)
{
    switch (alignment) {
    case TextAlignment::Left:
        return PANGO_ALIGN_LEFT;
    case TextAlignment::Center:
        return PANGO_ALIGN_CENTER;
    case TextAlignment::Right:
        return PANGO_ALIGN_RIGHT;
    }
    return PANGO_ALIGN_LEFT;
}

PangoEllipsizeMode pangoEllipsize(TextTruncation truncation)
{
    switch (truncation) {
    case TextTruncation::None:
        return PANGO_ELLIPSIZE_NONE;
    case TextTruncation::Head:
        return PANGO_ELLIPSIZE_START;
    case TextTruncation::Middle:
        return PANGO_ELLIPSIZE_MIDDLE;
    case TextTruncation::Tail:
        return PANGO_ELLIPSIZE_END;
    }
    return PANGO_ELLIPSIZE_NONE;
}

} // namespace

PangoLayout* TextLayout::createPangoLayout(const AttributedString& text, const Options& options)
{
    PangoLayout* layout = pango_layout_new(FontBackend::context());
    pango_layout_set_font_description(layout, Font::system(12).pangoDescription());
    pango_layout_set_text(layout, text.string().data(), static_cast<int>(text.length()));
    PangoAttrList* attributes = attributeList(text);
    if (options.wrap == TextWrap::Character) {
        // Breaking after any character means no hyphen where a word is split.
        pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
    }
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
    pango_layout_set_wrap(layout, options.wrap == TextWrap::Character ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
    int width = pangoWrapWidth(options.wrapWidth);
    pango_layout_set_width(layout, width);
    if (options.truncation != TextTruncation::None && width > 0 && options.lineLimit > 0) {
        // A negative height is a number of lines per paragraph; the last of them is ellipsized.
        pango_layout_set_ellipsize(layout, pangoEllipsize(options.truncation));
        pango_layout_set_height(layout, -options.lineLimit);
    }
    pango_layout_set_alignment(layout, pangoAlignment(options.alignment));
    return layout;
}

TextLayout::TextLayout(const AttributedString& text, const Options& options)
{
    if (text.empty())
        return;
    auto lock = FontBackend::lock();
    PangoLayout* layout = createPangoLayout(text, options);
    PangoLayoutIter* iterator = pango_layout_get_iter(layout);
    do {
        if (options.lineLimit > 0 && m_lines.size() >= static_cast<std::size_t>(options.lineLimit))
            break;
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iterator, nullptr, &logical);
        int top = 0;
        int bottom = 0;
        pango_layout_iter_get_line_yrange(iterator, &top, &bottom);
        m_lines.push_back({ double(logical.width) / PANGO_SCALE, double(bottom - top) / PANGO_SCALE,
            double(pango_layout_iter_get_baseline(iterator)) / PANGO_SCALE });
    } while (pango_layout_iter_next_line(iterator));
    pango_layout_iter_free(iterator);
    g_object_unref(layout);

    for (const auto& line : m_lines) {
        m_size.width = std::max(m_size.width, line.width);
        m_size.height += line.height;
    }
}

} // namespace morvix::platform
