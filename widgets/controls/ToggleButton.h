#pragma once
// The toggle button: a push button that stays pressed.

#include "widgets/controls/Button.h"

namespace morvix {

/// A button with a toggle state drawn as an outline in the foreground colour, filled with the
/// foreground while selected. Its colours (`updateColor`) follow each change of foreground,
/// background and selection, and each tap, in a 0.2 s animation:
///  - selected: fill and border in the foreground; the title in the background, or white when
///    the background is clear;
///  - not selected: fill in the background, border and title in the foreground.
/// The fill is the normal background image, and a highlight of it the pressed one. Background
/// images are ignored. Main thread only.
class ToggleButton final : public Button {
public:
    /// Its base's table with its "Selection".
    static const WireTable& wire();
    const WireTable& wireTable() const override { return wire(); }
    static constexpr double kColorDuration = 0.2;

    ToggleButton(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);

    platform::Font defaultFont() const override;
    bool hasToggleState() const override { return true; }
    /// Null means the active colour.
    void setForeground(std::optional<platform::Color> color) override;
    /// Null means clear. Stored; the view's own background stays clear.
    void setBackground(std::optional<platform::Color> color) override;
    std::optional<platform::Color> backgroundColor() const override { return m_backgroundColor; }
    void setBackgroundImage(std::optional<platform::Value> image) override;
    void setSelection(bool selection) override;
    void buttonUp() override;

protected:
    void didConstruct() override;

private:
    void updateColor();

    platform::Color m_backgroundColor = platform::Color::clear();
};

} // namespace morvix
