#pragma once
// The images of check boxes.

#include "widgets/controls/StateImageRenderer.h"

namespace morvix {

/// Unchecked: a rounded square outline. Checked: a filled rounded square with the check mark
/// left transparent (the mark's outline runs against the square's, so the non-zero rule leaves
/// it out). Main thread only.
class CheckImageRenderer final : public StateImageRenderer {
protected:
    void drawChecked(platform::GraphicsContext& context) override;
    void drawUnchecked(platform::GraphicsContext& context) override;
};

} // namespace morvix
