#pragma once
// Where a Shell comes from when it moves onto the screen.

#include "platform/graphics/Rect.h"
#include "platform/graphics/Size.h"

namespace morvix {

/// The rectangle a Shell moves in from and out to, worked out from the edges of the area it
/// touches. Pure functions; any thread.
class AnimationOrigin final {
public:
    AnimationOrigin() = delete;

    /// The first rule that holds, for r = (x, y, w, h) in an area of (W, H):
    ///  1. r covers the area (x <= 0, x + w >= W, y <= 0, y + h >= H): the right origin;
    ///  2. it touches the top only (y <= 0, y + h < H): the top origin;
    ///  3. it touches the bottom only (y > 0, y + h >= H): the bottom origin;
    ///  4. it touches the left only (x <= 0, x + w < W): the left origin;
    ///  5. it touches the right only (x > 0, x + w >= W): the right origin;
    ///  6. otherwise r itself: a Shell touching no edge opens as a dialog.
    static platform::Rect computeOrigin(const platform::Rect& rect, platform::Size area);

    /// `rect` moved just out of the area, the other three values kept: x = -w (left), x = W
    /// (right), y = -h (top), y = H (bottom).
    static platform::Rect createLeftOrigin(const platform::Rect& rect, platform::Size area);
    static platform::Rect createRightOrigin(const platform::Rect& rect, platform::Size area);
    static platform::Rect createTopOrigin(const platform::Rect& rect, platform::Size area);
    static platform::Rect createBottomOrigin(const platform::Rect& rect, platform::Size area);
};

} // namespace morvix
