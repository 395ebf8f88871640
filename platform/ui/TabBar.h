#pragma once
// The bar of tabs at the bottom of a tabbed screen, and its items.

#include "platform/graphics/Color.h"
#include "platform/ui/View.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::platform {

class Image;
class TabBar;

enum class TabBarItemState { Normal, Highlighted };

/// One tab: title, image, badge, enabled flag and a title colour per state. A model the bar
/// reads when it draws; changing it redraws the bar showing it. Main thread only.
class TabBarItem final {
public:
    static std::shared_ptr<TabBarItem> create(std::string title = {});
    TabBarItem(const TabBarItem&) = delete;
    TabBarItem& operator=(const TabBarItem&) = delete;

    const std::string& title() const { return m_title; }
    void setTitle(std::string title);
    std::shared_ptr<Image> image() const { return m_image; }
    void setImage(std::shared_ptr<Image> image);
    /// No badge when empty.
    const std::string& badgeValue() const { return m_badge; }
    void setBadgeValue(std::string badge);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    /// The title colour for `state`; none leaves the bar's own.
    std::optional<Color> titleColor(TabBarItemState state) const;
    void setTitleColor(std::optional<Color> color, TabBarItemState state);

private:
    friend class TabBar;
    TabBarItem() = default;
    void changed();

    std::string m_title;
    std::shared_ptr<Image> m_image;
    std::string m_badge;
    bool m_enabled = true;
    std::map<TabBarItemState, Color> m_titleColors;
    std::weak_ptr<TabBar> m_bar;
};

class TabBarDelegate {
public:
    virtual ~TabBarDelegate() = default;
    /// A person tapped `item`, an enabled item of the bar; it is already the selected item.
    virtual void tabBarDidSelectItem(TabBar& bar, const std::shared_ptr<TabBarItem>& item) = 0;
};

/// A 49-point bar of equal-width tabs. `setItems` replaces them without animation (a selected
/// item no longer among them is unselected). A person's tap on an enabled item selects it and
/// tells the delegate, held weakly, even when it was selected already; `setSelectedItem` from
/// code tells nobody. Drawn in the bar tint (light grey by default), the selected item's image
/// and title in the selected-image tint (the platform's colour by default), badges as red
/// capsules. Main thread only.
class TabBar : public View {
public:
    static constexpr double kHeight = 49;

    static std::shared_ptr<TabBar> create(const Rect& frame = {});
    const char* className() const override { return "TabBar"; }

    const std::vector<std::shared_ptr<TabBarItem>>& items() const { return m_items; }
    void setItems(std::vector<std::shared_ptr<TabBarItem>> items, Animated animated = Animated::No);
    std::shared_ptr<TabBarItem> selectedItem() const { return m_selected; }
    /// An item not on the bar selects none.
    void setSelectedItem(std::shared_ptr<TabBarItem> item);
    std::optional<Color> barTintColor() const { return m_barTint; }
    void setBarTintColor(std::optional<Color> color);
    std::optional<Color> selectedImageTintColor() const { return m_selectedTint; }
    void setSelectedImageTintColor(std::optional<Color> color);
    void setDelegate(std::weak_ptr<TabBarDelegate> delegate) { m_delegate = std::move(delegate); }

    /// The item under `point` (bounds coordinates), or null.
    std::shared_ptr<TabBarItem> itemAtPoint(Point point) const;

    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesBegan(const TouchSet&, const Event&) override { }
    void touchesMoved(const TouchSet&, const Event&) override { }
    void touchesCancelled(const TouchSet&, const Event&) override { }
    Size sizeThatFits(Size size) const override { return { size.width, kHeight }; }
    /// `kHeight` high, with no width of its own.
    Size intrinsicContentSize() const override { return { kNoIntrinsicMetric, kHeight }; }
    void draw(GraphicsContext& context, const Rect& rect) override;
    bool hasCustomDrawing() const override { return true; }

protected:
    explicit TabBar(const Rect& frame);

private:
    std::vector<std::shared_ptr<TabBarItem>> m_items;
    std::shared_ptr<TabBarItem> m_selected;
    std::optional<Color> m_barTint;
    std::optional<Color> m_selectedTint;
    std::weak_ptr<TabBarDelegate> m_delegate;
};

} // namespace morvix::platform
