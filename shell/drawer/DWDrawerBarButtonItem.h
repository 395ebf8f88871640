#pragma once
// The bar button item with the three-bar menu icon.

#include "platform/ui/BarButtonItem.h"
#include "shell/drawer/DWDrawerMenuButtonView.h"

#include <memory>
#include <optional>

namespace morvix {

/// A plain bar button item showing the three-bar menu image (`drawerButtonItemImage`), or, on
/// systems whose foundation is too old for tinted item images, a drawn `DWDrawerMenuButtonView`
/// as its custom view that runs the item's action when tapped. Main thread only.
class DWDrawerBarButtonItem final : public platform::BarButtonItem {
public:
    /// The image item when the platform's foundation version is above 993, else the button
    /// view item. The action runs while `target` is alive.
    static std::shared_ptr<DWDrawerBarButtonItem> create(std::weak_ptr<void> target, Action action);
    /// The item with a drawn button view of 26 x 26 points as its custom view.
    static std::shared_ptr<DWDrawerBarButtonItem> createWithButtonView(std::weak_ptr<void> target, Action action);

    /// The drawn button of the custom-view form; null for the image form.
    std::shared_ptr<DWDrawerMenuButtonView> buttonView() const { return m_buttonView; }
    /// Runs the item's action, as a touch lifted inside the button view does.
    void touchUpInside(platform::Control& sender);

    /// These forward to the button view; none (and nothing stored) without one.
    std::optional<platform::Color> menuButtonColorForState(platform::ControlState state) const;
    void setMenuButtonColor(std::optional<platform::Color> color, platform::ControlState state);
    std::optional<platform::Color> shadowColorForState(platform::ControlState state) const;
    void setShadowColor(std::optional<platform::Color> color, platform::ControlState state);
    /// The item's tint, passed to the button view too.
    void setTintColor(std::optional<platform::Color> color);

    /// The 26 x 26 point menu image at the screen's scale: three white bars 16 x 1 points at
    /// x = 5 and y = 6, 12 and 18. Drawn once per process; every call returns the same image.
    static std::shared_ptr<platform::Image> drawerButtonItemImage();

private:
    DWDrawerBarButtonItem() = default;

    std::shared_ptr<DWDrawerMenuButtonView> m_buttonView;
};

} // namespace morvix
