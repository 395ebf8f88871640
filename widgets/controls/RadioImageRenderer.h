#pragma once
// The images of radio buttons.

#include "widgets/controls/StateImageRenderer.h"

namespace morvix {

/// Unchecked: a circle outline. Checked: the same circle with a filled dot in it. Main thread
/// only.
class RadioImageRenderer final : public StateImageRenderer {
protected:
    void drawChecked(platform::GraphicsContext& context) override;
    void drawUnchecked(platform::GraphicsContext& context) override;
};

} // namespace morvix
