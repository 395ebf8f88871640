#pragma once
// The bar at the top of a navigation controller: title, back button and bar button items.

#include "platform/graphics/Font.h"
#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

class Image;

/// The look of a bar: the platform's light bar, or the dark one. Recorded; the headless bars
/// draw both alike.
enum class BarStyle { Default = 0, Black = 1 };

/// Shows the top item of a stack of navigation items: its title, a back button (titled by the
/// item below, or "Back" when that title would take more than a third of the bar; unless
/// hidden), the left items from the left edge and the right items from the right edge, each as
/// wide as `BarButtonItem::layoutWidth`, and the title between them (see `titleFrame`). 44 points
/// high. Main thread only.
class NavigationBar : public View {
public:
    static constexpr double kHeight = 44;
    static constexpr double kItemSpacing = 8;

    static std::shared_ptr<NavigationBar> create(const Rect& frame = {});
    const char* className() const override { return "NavigationBar"; }

    const std::vector<std::shared_ptr<NavigationItem>>& items() const { return m_items; }
    void setItems(std::vector<std::shared_ptr<NavigationItem>> items);
    std::shared_ptr<NavigationItem> topItem() const { return m_items.empty() ? nullptr : m_items.back(); }
    std::shared_ptr<NavigationItem> backItem() const { return m_items.size() < 2 ? nullptr : m_items[m_items.size() - 2]; }

    /// The back button shown now; null when there is none.
    std::shared_ptr<BarButtonItem> backButton() const { return m_backButton; }
    /// Runs when the back button is tapped (the navigation controller pops).
    std::function<void()> onBack;

    std::optional<Color> barTintColor() const { return m_barTint; }
    void setBarTintColor(std::optional<Color> color) { m_barTint = color; }
    std::optional<Color> titleColor() const { return m_titleColor; }
    void setTitleColor(std::optional<Color> color) { m_titleColor = color; }
    bool isTranslucent() const { return m_translucent; }
    void setTranslucent(bool translucent) { m_translucent = translucent; }
    /// The picture behind the bar in its default metrics, drawn over the whole bar in place of
    /// the bar tint (a resizable image keeps its caps); null draws the bar tint.
    std::shared_ptr<Image> backgroundImage() const { return m_backgroundImage; }
    void setBackgroundImage(std::shared_ptr<Image> image);
    BarStyle barStyle() const { return m_barStyle; }
    void setBarStyle(BarStyle style) { m_barStyle = style; }

    /// The font of the top item's title.
    static Font titleFont() { return Font::system(17, { .bold = true }); }
    /// Where the top item's title shows when it has no title view, in bounds coordinates, in the
    /// room between the items the last layout placed: the title's own width centred on the bar
    /// when it fits there, else moved towards the wider side as far as it must, else the whole
    /// room, where the title is drawn shortened with "…". Empty when the items leave no room, or
    /// without a title or top item. A title changed since the layout is placed as it is now.
    Rect titleFrame() const;

    Size sizeThatFits(Size size) const override { return { size.width, kHeight }; }
    void layoutSubviews() override;

    /// Puts an item's view at `x`, as wide as the item (shared with the toolbar).
    static void placeItem(const std::shared_ptr<BarButtonItem>& item, double x, double height);
    /// Makes `wanted` the bar's item views, adding and removing subviews as needed.
    static void replaceItemViews(View& bar, std::vector<std::shared_ptr<View>>& current, std::vector<std::shared_ptr<View>> wanted);

protected:
    explicit NavigationBar(const Rect& frame) : View(frame) { }

private:
    double titleWidth(const std::string& title) const;

    std::vector<std::shared_ptr<NavigationItem>> m_items;
    std::shared_ptr<BarButtonItem> m_backButton;
    std::vector<std::shared_ptr<View>> m_itemViews;
    std::optional<Color> m_barTint;
    std::optional<Color> m_titleColor;
    bool m_translucent = true;
    std::shared_ptr<Image> m_backgroundImage;
    BarStyle m_barStyle = BarStyle::Default;
    // The room between the items, from the last layout.
    double m_titleRoomLeft = 0;
    double m_titleRoomRight = 0;
    // The last title measured and its width on one line: every layout and drawing asks again.
    mutable std::string m_measuredTitle;
    mutable double m_measuredTitleWidth = 0;
};

} // namespace morvix::platform
