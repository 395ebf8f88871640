#include "platform/graphics/FontBackend.h"

#include <pango/pangocairo.h>

namespace morvix::platform {

namespace {

std::recursive_mutex& backendMutex()
{
    static std::recursive_mutex mutex; // guards the pango font map and context
    return mutex;
}

PangoContext* makeContext()
{
    PangoFontMap* fontMap = pango_cairo_font_map_new();
    PangoContext* context = pango_font_map_create_context(fontMap);
    g_object_unref(fontMap); // the context keeps its font map alive
    pango_cairo_context_set_resolution(context, 72);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context, FALSE);
    return context;
}

} // namespace

std::unique_lock<std::recursive_mutex> FontBackend::lock()
{
    return std::unique_lock(backendMutex());
}

PangoContext* FontBackend::context()
{
    // Kept for the life of the process, like the font map it holds.
    static PangoContext* context = makeContext();
    return context;
}

} // namespace morvix::platform
