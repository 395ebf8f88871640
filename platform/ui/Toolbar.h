#pragma once
// The bar at the bottom of a navigation controller.

#include "platform/ui/View.h"

#include <memory>
#include <optional>
#include <vector>

namespace morvix::platform {

/// The bar at the bottom of a navigation controller: bar button items from left to right, with
/// flexible spaces sharing the width left over. 44 points high. Main thread only.
class Toolbar final : public View {
public:
    static constexpr double kHeight = 44;

    static std::shared_ptr<Toolbar> create(const Rect& frame = {});
    const char* className() const override { return "Toolbar"; }

    const std::vector<std::shared_ptr<BarButtonItem>>& items() const { return m_items; }
    void setItems(std::vector<std::shared_ptr<BarButtonItem>> items);
    std::optional<Color> barTintColor() const { return m_barTint; }
    void setBarTintColor(std::optional<Color> color) { m_barTint = color; }
    bool isTranslucent() const { return m_translucent; }
    void setTranslucent(bool translucent) { m_translucent = translucent; }

    Size sizeThatFits(Size size) const override { return { size.width, kHeight }; }
    void layoutSubviews() override;

private:
    Toolbar(const Rect& frame) : View(frame) { }
    std::vector<std::shared_ptr<BarButtonItem>> m_items;
    std::vector<std::shared_ptr<View>> m_itemViews;
    std::optional<Color> m_barTint;
    bool m_translucent = true;
};

} // namespace morvix::platform
