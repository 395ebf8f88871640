#pragma once
// The plain push button.

#include "widgets/controls/Button.h"

namespace morvix {

/// A button drawn on its own grey background (RGB 247) with rounded corners and a bold title,
/// with a border of the foreground colour under "BORDER". Background images are ignored: the
/// background colour alone fills it. Main thread only.
class PushButton final : public Button {
public:
    /// Its base's table with its "Selection" and "BORDER".
    static const WireTable& wire();
    const WireTable& wireTable() const override { return wire(); }
    PushButton(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);

    platform::Font defaultFont() const override;
    /// Null means the active colour; the title (darker while highlighted) and the border take it.
    void setForeground(std::optional<platform::Color> color) override;
    /// Null means the default grey; the view's colour, and a highlight of it while pressed.
    void setBackground(std::optional<platform::Color> color) override;
    void setBackgroundImage(std::optional<platform::Value> image) override;
    /// "BORDER": a border 1 point wide.
    void setStyle(std::optional<platform::Value> style) override;
    /// Applies the background again, then `Control`'s.
    void sizeChanged(platform::Size size) override;

    static platform::Color defaultBackground();

protected:
    void didConstruct() override;
};

} // namespace morvix
