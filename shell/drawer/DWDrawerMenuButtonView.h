#pragma once
// The drawn three-bar menu button.

#include "platform/ui/controls/Button.h"

#include <memory>
#include <optional>

namespace morvix {

/// A button drawn as three rounded bars, each with a one-point shadow below it, in colours per
/// state. Only the normal (0) and highlighted (1) states have colours: any other state reads
/// none and stores nothing, though setting it still redraws. Touches, selection, highlighting
/// and tint changes redraw. Main thread only.
class DWDrawerMenuButtonView final : public platform::Button {
public:
    static std::shared_ptr<DWDrawerMenuButtonView> create(const platform::Rect& frame);
    const char* className() const override { return "DWDrawerMenuButtonView"; }

    std::optional<platform::Color> menuButtonColorForState(platform::ControlState state) const;
    void setMenuButtonColor(std::optional<platform::Color> color, platform::ControlState state);
    std::optional<platform::Color> shadowColorForState(platform::ControlState state) const;
    void setShadowColor(std::optional<platform::Color> color, platform::ControlState state);

    void draw(platform::GraphicsContext& context, const platform::Rect& rect) override;
    void touchesBegan(const platform::TouchSet& touches, const platform::Event& event) override;
    void touchesEnded(const platform::TouchSet& touches, const platform::Event& event) override;
    void touchesCancelled(const platform::TouchSet& touches, const platform::Event& event) override;
    void setSelected(bool selected) override;
    void setHighlighted(bool highlighted) override;
    void setTintColor(std::optional<platform::Color> color);
    void tintColorDidChange() { setNeedsDisplay(); }

private:
    explicit DWDrawerMenuButtonView(const platform::Rect& frame);

    std::optional<platform::Color> m_menuButtonNormalColor;
    std::optional<platform::Color> m_menuButtonHighlightedColor;
    std::optional<platform::Color> m_shadowNormalColor;
    std::optional<platform::Color> m_shadowHighlightedColor;
};

} // namespace morvix
