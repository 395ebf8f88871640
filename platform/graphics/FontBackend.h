#pragma once
// The one pango context that fonts and text layouts share.

#include <mutex>

typedef struct _PangoContext PangoContext;

namespace morvix::platform {

/// Owns the process's pango font map and context, set to 72 dots per inch (so that a point is
/// one user unit) with hinting and metric hinting off and glyph positions unrounded, so that
/// measured widths are fractional and do not depend on the output device. Pango is not
/// thread-safe: every use of the context, and of fonts and layouts made from it, happens while
/// holding `lock()`. Any thread.
class FontBackend final {
public:
    /// Held by every caller of `context()`; recursive, so that a layout may query fonts.
    static std::unique_lock<std::recursive_mutex> lock();
    /// The shared context, made on first use. Only while holding `lock()`.
    static PangoContext* context();

    FontBackend() = delete;
};

} // namespace morvix::platform
