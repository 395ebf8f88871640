#pragma once
// A picture of a view, for the touch feedback's mask.

#include <memory>

namespace morvix {

namespace platform {
class Image;
class View;
}

/// Renders a view into an image. Main thread only.
class ViewScreenshot final {
public:
    ViewScreenshot() = delete;

    /// The view's bounds as drawn now, at scale 1 with a transparent background; null when the
    /// bounds are empty.
    static std::shared_ptr<platform::Image> screenshot(platform::View& view);
};

} // namespace morvix
