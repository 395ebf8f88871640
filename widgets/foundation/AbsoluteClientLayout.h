#pragma once
// The layout object of a widget placed by a frame.

#include "platform/graphics/Rect.h"
#include "widgets/foundation/ClientLayout.h"

namespace morvix {

/// Places the view at the frame {"left", "top", "width", "height"} of its layout data (each
/// read as a single-precision value), keeping its autoresizing mask as constraints:
///  1. a frame equal to the view's current one only renews the span constraints;
///  2. in a scroll view the frame is shifted by the content offset and set without animation;
///  3. otherwise it is set in a 0.4 s ease-in-out animation from the current state when the
///     layout is animated, directly when not;
///  4. a label, or a visible view with a pattern background, is then redrawn;
///  5. the span constraints are renewed for the superview.
/// Made by `ClientLayout::newLayoutWithView`. Main thread only.
class AbsoluteClientLayout final : public ClientLayout {
public:
    void layout() override;

private:
    friend class ClientLayout;
    using ClientLayout::ClientLayout;

    platform::Rect frameFromData() const;
    void setFrame(platform::View& view, platform::Rect frame) const;
};

} // namespace morvix
