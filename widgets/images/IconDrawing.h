#pragma once
// Helpers shared by the vector-drawn icons of the application frame.

#include "platform/graphics/Point.h"

#include <functional>
#include <memory>
#include <span>

namespace morvix {

namespace platform {
class GraphicsContext;
class Image;
}

/// Draws a `side` by `side` point icon with `draw` into a new, not opaque image at the main
/// screen's scale; null only when no drawing surface can be made.
std::shared_ptr<platform::Image> drawIconImage(double side, const std::function<void(platform::GraphicsContext&)>& draw);
/// Fills the closed polygon through `points` with the context's fill colour, non-zero winding.
void fillIconPolygon(platform::GraphicsContext& context, std::span<const platform::Point> points);

} // namespace morvix
