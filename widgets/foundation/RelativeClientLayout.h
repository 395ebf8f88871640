#pragma once
// The layout object of a widget placed by attachments.

#include "widgets/foundation/ClientLayout.h"

#include <array>

namespace morvix {

/// Places the view by layout constraints, one per attachment of its layout data ("left",
/// "right", "top", "bottom", "width", "height", "centerX", "centerY", "baseline"; see
/// `LayoutAttributes` for the values), installed on the superview:
///  1. The view stops translating its autoresizing mask; without a superview nothing more
///     happens.
///  2. The constraints of the previous `layout` are removed, so laying out again never stacks
///     duplicates.
///  3. "top" defaults to 0 unless one of "top", "bottom", "centerY", "baseline" is given, and
///     "left" to 0 unless one of "left", "right", "centerX" is; a key present with null counts
///     as given. An attachment whose reference lies outside the superview's subtree is refused
///     (and logged) by the superview and counts as not given.
///  4. The constraints are made and installed in the order left, top, width, height, right,
///     bottom, centerX, centerY, baseline.
///  5. Per axis (left/centerX/right, top/centerY/bottom) the view hugs its content at 250 when
///     exactly two of the three are given and one of those is not a number, else at 750.
///  6. The span constraints are renewed; then the superview lays out again, inside a 0.4 s
///     animation when the layout is animated, on its next layout pass otherwise.
/// References are resolved when `layout` runs. Made by `ClientLayout::newLayoutWithView`. Main
/// thread only.
class RelativeClientLayout final : public ClientLayout {
public:
    void layout() override;
    /// Removes the attachment constraints, then what the base removes.
    void dispose() override;

private:
    friend class ClientLayout;
    using ClientLayout::ClientLayout;

    static constexpr std::size_t kKeyCount = 9;
    using Attachments = std::array<std::shared_ptr<platform::LayoutConstraint>, kKeyCount>;

    void applyLayoutWithConstraints(platform::View& view, platform::View& superview);
    Attachments makeAttachments(const std::shared_ptr<platform::View>& view, platform::View& superview) const;
    void applyDefaults(const std::shared_ptr<platform::View>& view, Attachments& attachments) const;
    void applyHuggingPriority(platform::View& view, const Attachments& attachments) const;
};

} // namespace morvix
