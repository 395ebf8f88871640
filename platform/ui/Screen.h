#pragma once
// The device screen: its size in points and its scale.

#include "platform/graphics/Rect.h"

namespace morvix::platform {

/// The one screen of the headless device. Defaults: 320 by 568 points at scale 2; the embedding
/// application or a test sets other values. Main thread only.
class Screen final {
public:
    static Screen& main();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    Rect bounds() const { return m_bounds; }
    void setBounds(const Rect& bounds) { m_bounds = bounds; }
    /// Pixels per point.
    double scale() const { return m_scale; }
    void setScale(double scale) { m_scale = scale > 0 ? scale : 1; }
    /// Back to 320 by 568 at scale 2.
    void resetForTesting();

private:
    Screen() = default;
    Rect m_bounds { 0, 0, 320, 568 };
    double m_scale = 2;
};

} // namespace morvix::platform
