#pragma once
// One drawing-state record of a canvas's drawing context.

#include "platform/foundation/Value.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/GraphicsContext.h"

#include <memory>
#include <string>

namespace morvix {

/// The line width, colours, line style, alpha and text placement a drawing context draws
/// with. The line width and alpha keep the wire values as given, since finger drawing reports
/// them back as they were stored. A record always has both colours (black at first). Shared by
/// `std::shared_ptr`: the finger-drawing overlay follows the live top record. Main thread only.
class GCProperties final {
public:
    static std::shared_ptr<GCProperties> properties() { return std::make_shared<GCProperties>(); }
    /// A new record with the same values.
    std::shared_ptr<GCProperties> clone() const { return std::make_shared<GCProperties>(*this); }

    /// Applies stroke colour, fill colour, line width, cap and join, in that order; not the
    /// alpha or the text fields.
    void restore(platform::GraphicsContext& context) const;
    /// "round" and "square"; anything else is a butt cap.
    platform::LineCap cgLineCap() const;
    /// "round" and "bevel"; anything else is a mitre join.
    platform::LineJoin cgLineJoin() const;
    /// The stored line width as a float; 1 when it is not a number.
    float lineWidthValue() const;
    /// The stored alpha as a float, clamped to 0 to 1; 1 when it is not a number.
    float globalAlphaValue() const;

    /// An empty or missing value stores "alphabetic".
    void setTextBaseline(std::string baseline) { textBaseline = baseline.empty() ? "alphabetic" : std::move(baseline); }
    /// An empty or missing value stores "start".
    void setTextAlign(std::string align) { textAlign = align.empty() ? "start" : std::move(align); }

    platform::Value lineWidth = 1;
    platform::Color fillStyle = platform::Color::black();
    platform::Color strokeStyle = platform::Color::black();
    std::string lineCap;
    std::string lineJoin;
    platform::Value globalAlpha = 1;
    std::string textBaseline = "alphabetic";
    std::string textAlign = "start";
};

} // namespace morvix
