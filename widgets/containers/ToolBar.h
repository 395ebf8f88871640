#pragma once
// The bar of tool items.

#include "widgets/foundation/Control.h"

#include <memory>
#include <optional>
#include <string_view>

namespace morvix {

namespace platform {
class Image;
class NavigationItem;
}
class DelegatingNavigationBar;
class ToolItem;

/// "zub.widgets.ToolBar": a navigation bar with one navigation item that shows the visible
/// "zub.widgets.ToolItem" children as buttons, in "index" order (equal indices keep the
/// children's order). An item with data "title" true gives the bar its title (its text as
/// written, mnemonic markers included) and sends the items after it to the right side; the
/// others go left. With two title items the later text wins and the split stays at the first.
///
/// "background" is the bar's tint (and, with style "FLAT", a plain picture of it behind the bar
/// and behind each button, bordered in the foreground for titled buttons; without "FLAT" each
/// button's tint); "foreground" is the title and tint colour, and the buttons' title colour (at
/// alpha 0.5 when disabled). The items are rebuilt after each of these and after every change of
/// the children. Main thread only.
class ToolBar : public RemoteClass<ToolBar, Control> {
public:
    static constexpr std::string_view kRemoteType = "zub.widgets.ToolBar";
    /// The alpha of a disabled button's title colour.
    static constexpr float kDisabledAlpha = 0.5f;

    ToolBar(CreationKey key, std::string id, std::shared_ptr<ClientContext> client);
    ~ToolBar() override;

    static const PropertyTable& properties();
    /// "FLAT".
    static const WireTable& wire();

    std::shared_ptr<platform::View> view() const override;
    const std::shared_ptr<DelegatingNavigationBar>& toolbar() const { return m_toolbar; }
    const std::shared_ptr<platform::NavigationItem>& item() const { return m_item; }

    /// The bar's tint.
    std::optional<platform::Color> barBackground() const;
    void setBackground(std::optional<platform::Color> color) override;
    void setForeground(std::optional<platform::Color> color) override;
    void setStyle(std::optional<platform::Value> style) override;
    void addObject(std::shared_ptr<RemoteObject> child) override;
    void removeObject(const RemoteObject& child) override;

    /// Places the visible tool items on the bar (see the class comment).
    void updateItems();

    /// A 3 x 3 picture at scale 1 in `color`; with a border colour, the ring is in that colour
    /// and only the centre in `color`, and the picture stretches between caps of 1 point.
    static std::shared_ptr<platform::Image> imageWithColor(platform::Color color, std::optional<platform::Color> border);

protected:
    void didConstruct() override;

private:
    void configure(ToolItem& item) const;
    void applyFlatBackground();

    std::shared_ptr<DelegatingNavigationBar> m_toolbar;
    std::shared_ptr<platform::NavigationItem> m_item;
};

} // namespace morvix
