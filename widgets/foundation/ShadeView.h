#pragma once
// The dimming layer behind a modal Shell.

#include "platform/graphics/Color.h"
#include "platform/ui/View.h"

#include <memory>

namespace morvix {

/// A plain view filled with one colour, not opaque, that a modal `Shell` puts directly below
/// its own view to dim (and block touches to) everything behind it. Owned by its Shell. Main
/// thread only.
class ShadeView final : public platform::View {
public:
    static std::shared_ptr<ShadeView> create(const platform::Rect& frame, platform::Color color);
    const char* className() const override { return "ShadeView"; }

    const platform::Color& color() const { return m_color; }
    /// Stores the colour, makes it the background colour and redraws.
    void setColor(platform::Color color);

private:
    ShadeView(const platform::Rect& frame, platform::Color color);

    platform::Color m_color;
};

} // namespace morvix
